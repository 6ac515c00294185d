// The loop's side of a connection before the server library has it: the
// listening socket, the limits at accept, and the head looked at whole.
#include <arpa/inet.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <microhttpd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <optional>

#include <fmt/format.h>

#include "web/refusal_text.h"
#include "web/request_head.h"
#include "web/server_loop.h"

namespace qrv::web {

namespace {

constexpr int kListenBacklog = 128;

std::string AddressText(const sockaddr_in& address) {
    std::array<char, INET_ADDRSTRLEN> text{};
    ::inet_ntop(AF_INET, &address.sin_addr, text.data(), text.size());
    return text.data();
}

std::optional<sockaddr_in> ListenAddress(const std::string& listen) {
    const std::size_t colon = listen.rfind(':');
    sockaddr_in address{};
    address.sin_family = AF_INET;
    if (colon == std::string::npos ||
        ::inet_pton(AF_INET, listen.substr(0, colon).c_str(), &address.sin_addr) != 1) {
        return std::nullopt;
    }
    address.sin_port = htons(static_cast<std::uint16_t>(std::stoi(listen.substr(colon + 1))));
    return address;
}

}  // namespace

bool ServerLoop::Listen() {
    const std::optional<sockaddr_in> address = ListenAddress(config_.listen);
    if (!address) {
        problem_ = fmt::format("cannot listen on {}: not an IPv4 address and port", config_.listen);
        return false;
    }
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int on = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (listenFd_ < 0 ||
        ::bind(listenFd_, reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0 ||
        ::listen(listenFd_, kListenBacklog) != 0) {
        problem_ = fmt::format("cannot listen on {}: {}", config_.listen, std::strerror(errno));
        listenFailed_ = true;
        return false;
    }
    sockaddr_in bound{};
    socklen_t size = sizeof bound;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&bound), &size);
    port_ = ntohs(bound.sin_port);
    return true;
}

void ServerLoop::AcceptAll() {
    while (true) {
        sockaddr_in from{};
        socklen_t size = sizeof from;
        const int fd = ::accept4(listenFd_, reinterpret_cast<sockaddr*>(&from), &size,
                                 SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            return;
        }
        const Waiting waiting{from, AddressText(from), Steady::now()};
        if (!limits_.Admit(waiting.address)) {
            if (!tls_) {
                HttpResponse busy = Refusal(503, "too many connections from this address", false);
                busy.AddHeader("Retry-After", "10");
                SendWithoutWaiting(fd, AnswerBytes(busy));
            }
            ::close(fd);
            continue;
        }
        // Headers and body leave in separate writes; without this, the
        // small-write delay held every answer ~40 ms.
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        if (tls_) {
            StartRelay(fd, waiting);
            continue;
        }
        waiting_.emplace(fd, waiting);
        epoll_event event{};
        // Edge-triggered: the head is only peeked at, and each new piece of
        // it is a new edge.
        event.events = EPOLLIN | EPOLLRDHUP | EPOLLET;
        event.data.fd = fd;
        ::epoll_ctl(epollFd_, EPOLL_CTL_ADD, fd, &event);
        LookAtHead(fd);
    }
}

void ServerLoop::LookAtHead(int fd) {
    std::array<char, kMaxHeadBytes + 1> head{};
    const ssize_t got = ::recv(fd, head.data(), head.size(), MSG_PEEK | MSG_DONTWAIT);
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
        return;
    }
    if (got <= 0) {
        Drop(fd, waiting_.at(fd).address);
        return;
    }
    const HeadState state =
        CheckRequestHead(std::string_view(head.data(), static_cast<std::size_t>(got)));
    if (state == HeadState::kIncomplete) {
        return;
    }
    if (const std::optional<HeadRefusal> refusal = RefusalOf(state)) {
        RefuseRaw(fd, refusal->status, refusal->text);
        return;
    }
    ::epoll_ctl(epollFd_, EPOLL_CTL_DEL, fd, nullptr);
    const Waiting waiting = waiting_.at(fd);
    waiting_.erase(fd);
    HandOver(fd, waiting);
}

void ServerLoop::HandOver(int fd, const Waiting& waiting) {
    handed_[fd] = waiting;
    if (MHD_add_connection(daemon_, fd, reinterpret_cast<const sockaddr*>(&waiting.from),
                           sizeof waiting.from) != MHD_YES) {
        // The library has closed the socket; a relay sees its end close
        // and gives the place back itself.
        handed_.erase(fd);
        if (waiting.relay == 0) {
            limits_.Release(waiting.address);
        }
    }
}

void ServerLoop::Drop(int fd, const std::string& address) {
    ::epoll_ctl(epollFd_, EPOLL_CTL_DEL, fd, nullptr);
    ::close(fd);
    limits_.Release(address);
    waiting_.erase(fd);
}

void ServerLoop::RefuseRaw(int fd, int status, const std::string& text) {
    SendWithoutWaiting(fd, AnswerBytes(Refusal(status, text, false)));
    Drop(fd, waiting_.at(fd).address);
}

}  // namespace qrv::web
