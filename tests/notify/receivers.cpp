#include "receivers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

extern char** environ;

namespace qrv::testing {

namespace {

int FreeLoopbackSocket(int& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return fd;
}

bool Connects(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

}  // namespace

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

HttpReceiver::HttpReceiver() {
    listener_ = FreeLoopbackSocket(port_);
    ::listen(listener_, 16);
    thread_ = std::jthread([this](const std::stop_token& stop) { Serve(stop); });
}

HttpReceiver::~HttpReceiver() {
    thread_.request_stop();
    thread_.join();
    ::close(listener_);
}

std::string HttpReceiver::Url() const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/hook";
}

void HttpReceiver::AnswerWith(int status) {
    std::lock_guard lock(mutex_);
    status_ = status;
}

void HttpReceiver::Hold(bool hold) {
    std::lock_guard lock(mutex_);
    hold_ = hold;
    released_.notify_all();
}

std::vector<HttpReceiver::Request> HttpReceiver::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void HttpReceiver::Serve(const std::stop_token& stop) {
    while (!stop.stop_requested()) {
        pollfd waiting{listener_, POLLIN, 0};
        if (::poll(&waiting, 1, 20) <= 0) {
            continue;
        }
        const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection >= 0) {
            Answer(connection, stop);
            ::close(connection);
        }
    }
}

void HttpReceiver::Answer(int connection, const std::stop_token& stop) {
    std::string data;
    std::size_t headEnd = std::string::npos;
    std::size_t length = 0;
    char buffer[4096];
    while (!stop.stop_requested()) {
        pollfd readable{connection, POLLIN, 0};
        if (::poll(&readable, 1, 20) <= 0) {
            continue;
        }
        const ssize_t n = ::read(connection, buffer, sizeof buffer);
        if (n <= 0) {
            return;
        }
        data.append(buffer, static_cast<std::size_t>(n));
        if (headEnd == std::string::npos &&
            (headEnd = data.find("\r\n\r\n")) != std::string::npos) {
            const auto at = data.find("Content-Length: ");
            length = at < headEnd ? std::stoul(data.substr(at + 16)) : 0;
        }
        if (headEnd != std::string::npos && data.size() >= headEnd + 4 + length) {
            break;
        }
    }
    if (headEnd == std::string::npos) {
        return;
    }
    std::unique_lock lock(mutex_);
    requests_.push_back({data.substr(0, headEnd), data.substr(headEnd + 4, length)});
    released_.wait(lock, stop, [this] { return !hold_; });
    const std::string answer = "HTTP/1.1 " + std::to_string(status_) +
                               " Whatever\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok";
    lock.unlock();
    if (!stop.stop_requested()) {
        [[maybe_unused]] const ssize_t written = ::write(connection, answer.data(), answer.size());
    }
}

SmtpReceiver::SmtpReceiver(const std::filesystem::path& maildir) : maildir_(maildir) {
    ::close(FreeLoopbackSocket(port_));
    const std::string listen = "127.0.0.1:" + std::to_string(port_);
    const std::string dir = maildir_.string();
    std::vector<std::string> args{
        "/usr/bin/python3",          "-m", "aiosmtpd", "-n", "-l", listen, "-c",
        "aiosmtpd.handlers.Mailbox", dir};
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    if (::posix_spawn(&pid_, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        pid_ = -1;
        return;
    }
    ready_ = WaitUntil([this] { return Connects(port_); });
}

SmtpReceiver::~SmtpReceiver() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
}

std::string SmtpReceiver::Url() const {
    return "smtp://127.0.0.1:" + std::to_string(port_);
}

std::vector<std::string> SmtpReceiver::Mails() const {
    std::vector<std::string> mails;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(maildir_ / "new", error)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        mails.push_back(text.str());
    }
    return mails;
}

}  // namespace qrv::testing
