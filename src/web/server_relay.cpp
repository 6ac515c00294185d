// The loop's side of a TLS connection: its relay from the accept on, the head
// looked at once decrypted, and the time limits of a handshake and of a
// client that stops reading.
#include <sys/epoll.h>
#include <sys/socket.h>

#include <optional>
#include <vector>

#include "web/refusal_text.h"
#include "web/request_head.h"
#include "web/server_loop.h"

namespace qrv::web {

void ServerLoop::WatchEdges(int fd) {
    epoll_event event{};
    // Edge-triggered: a relay moves all it can at each edge.
    event.events = EPOLLIN | EPOLLOUT | EPOLLRDHUP | EPOLLET;
    event.data.fd = fd;
    ::epoll_ctl(epollFd_, EPOLL_CTL_ADD, fd, &event);
}

void ServerLoop::StartRelay(int fd, Waiting waiting) {
    const std::uint64_t id = nextRelay_++;
    waiting.relay = id;
    relays_.emplace(
        id, Relayed{std::make_unique<TlsRelay>(fd, *credentials_), waiting, waiting.accepted});
    relayFds_[fd] = id;
    WatchEdges(fd);
    PumpRelay(id);
}

void ServerLoop::PumpRelay(std::uint64_t id) {
    const auto found = relays_.find(id);
    if (found == relays_.end()) {
        return;
    }
    Relayed& relayed = found->second;
    if (relayed.relay->Pump()) {
        relayed.lastMoved = Steady::now();
    }
    if (!relayed.relay->Joined() && relayed.relay->HandshakeDone() && !relayed.relay->Answered()) {
        LookAtTlsHead(id, relayed);
    }
    if (relayed.relay->Finished()) {
        CloseRelay(id);
    }
}

void ServerLoop::LookAtTlsHead(std::uint64_t id, Relayed& relayed) {
    const HeadState state = CheckRequestHead(relayed.relay->Received());
    if (state == HeadState::kIncomplete) {
        return;
    }
    if (const std::optional<HeadRefusal> refusal = RefusalOf(state)) {
        relayed.relay->Answer(AnswerBytes(Refusal(refusal->status, refusal->text, true)));
        return;
    }
    int pair[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, pair) != 0) {
        HttpResponse busy = Refusal(503, "the server is busy", true);
        busy.AddHeader("Retry-After", "5");
        relayed.relay->Answer(AnswerBytes(busy));
        return;
    }
    relayFds_[pair[0]] = id;
    WatchEdges(pair[0]);
    relayed.relay->Join(pair[0]);
    HandOver(pair[1], relayed.waiting);
}

void ServerLoop::AnswerThroughRelay(std::uint64_t id, const std::string& bytes) {
    const auto found = relays_.find(id);
    if (found == relays_.end()) {
        return;
    }
    found->second.relay->Answer(bytes);
    // A full time limit for the client to take its answer.
    found->second.lastMoved = Steady::now();
    if (found->second.relay->Finished()) {
        CloseRelay(id);
    }
}

void ServerLoop::CloseRelay(std::uint64_t id) {
    const auto found = relays_.find(id);
    const TlsRelay& relay = *found->second.relay;
    for (const int fd : {relay.ClientFd(), relay.NearFd()}) {
        if (fd >= 0) {
            ::epoll_ctl(epollFd_, EPOLL_CTL_DEL, fd, nullptr);
            relayFds_.erase(fd);
        }
    }
    limits_.Release(found->second.waiting.address);
    relays_.erase(found);
}

void ServerLoop::SweepRelays(Steady::time_point now) {
    std::vector<std::uint64_t> late;
    std::vector<std::uint64_t> stalled;
    for (const auto& [id, relayed] : relays_) {
        const TlsRelay& relay = *relayed.relay;
        if (!relay.Joined() && !relay.Answered() && now >= relayed.waiting.accepted + timeout_) {
            late.push_back(id);
        } else if (relay.Sending() && now >= relayed.lastMoved + timeout_) {
            stalled.push_back(id);
        }
    }
    for (const std::uint64_t id : late) {
        // A request had begun once the handshake was through; before, there
        // is nobody to answer.
        if (relays_.at(id).relay->HandshakeDone()) {
            AnswerThroughRelay(id, AnswerBytes(Refusal(408, "the request took too long", true)));
        } else {
            CloseRelay(id);
        }
    }
    for (const std::uint64_t id : stalled) {
        CloseRelay(id);
    }
}

}  // namespace qrv::web
