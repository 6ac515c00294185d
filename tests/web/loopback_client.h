#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace qrv::web::testing {

// One client connection with a receive time-out, so that no test can hang on
// a server that does not answer.
class Client {
  public:
    // from: the loopback address to send from (all of 127.0.0.0/8 is this
    // machine), so that one test can be many clients.
    explicit Client(int port, const char* from = "127.0.0.1")
        : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in source{};
        source.sin_family = AF_INET;
        ::inet_pton(AF_INET, from, &source.sin_addr);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&source), sizeof source);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const timeval timeout{0, 200 * 1000};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~Client() { ::close(fd_); }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    bool Connected() const { return connected_; }
    bool Send(std::string_view text) {
        return ::send(fd_, text.data(), text.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(text.size());
    }
    // Reads until wanted has arrived, the server closes, or the deadline.
    bool ReadUntil(std::string_view wanted, std::chrono::milliseconds within) {
        const auto deadline = std::chrono::steady_clock::now() + within;
        while (received_.find(wanted) == std::string::npos) {
            if (std::chrono::steady_clock::now() > deadline || closed_) {
                return false;
            }
            Receive();
        }
        return true;
    }
    // Whether the server closed the connection before the deadline.
    bool ClosedWithin(std::chrono::milliseconds within) {
        const auto deadline = std::chrono::steady_clock::now() + within;
        while (!closed_ && std::chrono::steady_clock::now() < deadline) {
            Receive();
        }
        return closed_;
    }
    // Takes what has arrived without waiting; whether the server closed.
    bool Closed() {
        Receive(MSG_DONTWAIT);
        return closed_;
    }
    const std::string& Received() const { return received_; }

  private:
    void Receive(int flags = 0) {
        char buffer[4096];
        const ssize_t got = ::recv(fd_, buffer, sizeof buffer, flags);
        if (got > 0) {
            received_.append(buffer, static_cast<std::size_t>(got));
        } else if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            closed_ = true;
        }
    }

    int fd_;
    bool connected_ = false;
    bool closed_ = false;
    std::string received_;
};

// A header of a whole answer as received; empty when it has none.
inline std::string HeaderOf(const std::string& answer, const std::string& name) {
    const std::size_t at = answer.find("\r\n" + name + ": ");
    if (at == std::string::npos || at > answer.find("\r\n\r\n")) {
        return {};
    }
    const std::size_t start = at + name.size() + 4;
    return answer.substr(start, answer.find("\r\n", start) - start);
}

inline std::string BodyOf(const std::string& answer) {
    const std::size_t at = answer.find("\r\n\r\n");
    return at == std::string::npos ? std::string() : answer.substr(at + 4);
}

}  // namespace qrv::web::testing
