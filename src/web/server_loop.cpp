#include "web/server_loop.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <microhttpd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <optional>

#include <fmt/format.h>

#include "web/client_address.h"
#include "web/refusal_text.h"

namespace qrv::web {

namespace {

using Steady = std::chrono::steady_clock;

constexpr std::size_t kMaxConnections = 512;
constexpr std::size_t kWorkers = 16;
constexpr std::size_t kWaitingJobs = 64;
constexpr std::chrono::seconds kPing{15};
constexpr std::chrono::milliseconds kTick{1000};
// Room for the largest head allowed and the library's own buffers.
constexpr std::size_t kConnectionMemory = std::size_t{64} * 1024;
constexpr std::size_t kStreamBlock = 4096;

std::string Lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

// Keeps a header value from ending the header early.
std::string HeaderSafe(std::string_view value) {
    std::string out(value);
    std::replace_if(
        out.begin(), out.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return out;
}

MHD_Result Flag(bool yes) {
    return yes ? MHD_YES : MHD_NO;
}

}  // namespace

// One request as it arrives, then while a worker answers it.
struct ServerLoop::Exchange {
    enum class Stage { kHead, kBody, kWorking, kAnswered };
    Stage stage = Stage::kHead;
    std::string uri;
    HttpRequest request;
    // Written by the worker, read after it has posted the connection back.
    struct Outcome {
        HttpResponse response;
        std::shared_ptr<PushStream> stream;
        std::string session;
        std::atomic<bool> done = false;
    };
    std::shared_ptr<Outcome> outcome = std::make_shared<Outcome>();
};

// A connection the library holds, from its start to its close.
struct ServerLoop::Tracked {
    int fd = -1;
    std::string address;
    // The TLS relay in front of it; 0 over plain HTTP.
    std::uint64_t relay = 0;
    Steady::time_point accepted;
    // Until the request is whole it must be so by its deadline.
    bool receiving = true;
    bool expired = false;
};

// One open live page.
struct ServerLoop::LiveStream {
    ServerLoop* loop = nullptr;
    MHD_Connection* connection = nullptr;
    std::uint64_t id = 0;
    std::shared_ptr<PushStream> stream;
    std::string session;
    std::string pending = "retry: 2000\n\n";
    Steady::time_point lastWrite = Steady::now();
    bool suspended = false;
    bool ending = false;
};

// The library's calls, with its exact signatures, passed on to the loop.
struct LibraryCalls {
    static std::size_t KeepEscapes(void*, MHD_Connection*, char* text) {
        // The routes get the path as sent: decoded here, an encoded NUL
        // would end it early and an encoded slash would become a separator.
        return std::strlen(text);
    }

    static void* RequestStarts(void*, const char* uri, MHD_Connection*) {
        auto* exchange = new ServerLoop::Exchange;
        exchange->uri = uri != nullptr ? uri : "";
        return exchange;
    }

    static MHD_Result Access(void* self, MHD_Connection* connection, const char*,
                             const char* method, const char*, const char* uploadData,
                             std::size_t* uploadSize, void** exchange) {
        if (*exchange == nullptr) {
            return MHD_NO;
        }
        return Flag(static_cast<ServerLoop*>(self)->Receive(
                        connection, *static_cast<ServerLoop::Exchange*>(*exchange), method,
                        uploadData, uploadSize) != 0);
    }

    static void Completed(void*, MHD_Connection*, void** exchange, MHD_RequestTerminationCode) {
        delete static_cast<ServerLoop::Exchange*>(*exchange);
        *exchange = nullptr;
    }

    static void ConnectionChanged(void* self, MHD_Connection* connection, void** socketContext,
                                  MHD_ConnectionNotificationCode change) {
        auto* loop = static_cast<ServerLoop*>(self);
        if (change == MHD_CONNECTION_NOTIFY_STARTED) {
            loop->Started(connection, socketContext);
        } else {
            loop->Closed(connection, socketContext);
        }
    }

    static ssize_t ReadStream(void* live, std::uint64_t, char* buffer, std::size_t max) {
        auto& stream = *static_cast<ServerLoop::LiveStream*>(live);
        if (stream.pending.empty()) {
            const std::optional<std::string> message = stream.stream->Next();
            if (!message || stream.ending) {
                return MHD_CONTENT_READER_END_OF_STREAM;
            }
            if (!message->empty()) {
                stream.pending = *message;
            } else if (Steady::now() - stream.lastWrite >= kPing) {
                stream.pending = ": ping\n\n";
            } else {
                // Nothing to send: the connection waits off the event loop
                // until the follower queues something or the tick looks.
                stream.suspended = true;
                MHD_suspend_connection(stream.connection);
                return 0;
            }
        }
        const std::size_t size = std::min(max, stream.pending.size());
        std::copy_n(stream.pending.data(), size, buffer);
        stream.pending.erase(0, size);
        stream.lastWrite = Steady::now();
        return static_cast<ssize_t>(size);
    }

    static void EndStream(void* live) {
        auto* stream = static_cast<ServerLoop::LiveStream*>(live);
        stream->stream->SetWaker({});
        stream->loop->push_.Unsubscribe(stream->stream);
        stream->loop->streams_.erase(stream->id);
        delete stream;
    }
};

ServerLoop::ServerLoop(const WebConfig& config, WebApp& app, LivePush& push,
                       const ServerCertificate* certificate)
    : config_(config),
      app_(app),
      push_(push),
      tls_(certificate != nullptr),
      timeout_(config.requestTimeoutMs),
      limits_(kMaxConnections, static_cast<std::size_t>(config.maxConnectionsPerAddress),
              [&config] {
                  std::vector<std::string> shared = config.trustedProxies;
                  shared.emplace_back("127.0.0.1");
                  return shared;
              }()) {
    if (certificate != nullptr) {
        credentials_ = std::make_unique<TlsServerCredentials>(*certificate);
        if (!credentials_->Problem().empty()) {
            problem_ = "cannot serve TLS with this certificate and key: " + credentials_->Problem();
            return;
        }
    }
    if (!Listen() || !StartLibrary()) {
        return;
    }
    workers_ = std::make_unique<WorkerPool>(kWorkers, kWaitingJobs);
    nextTick_ = Steady::now() + kTick;
    thread_ = std::thread([this] { Run(); });
}

ServerLoop::~ServerLoop() {
    if (thread_.joinable()) {
        stop_ = true;
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(wakeFd_, &one, sizeof one);
        thread_.join();
    }
    // The jobs still running finish before what they post to goes.
    workers_.reset();
    for (const auto& [fd, waiting] : waiting_) {
        ::close(fd);
    }
    for (const int fd : {listenFd_, epollFd_, wakeFd_}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

bool ServerLoop::StartLibrary() {
    const auto seconds = static_cast<unsigned>((config_.requestTimeoutMs + 999) / 1000);
    std::vector<MHD_OptionItem> options{
        {MHD_OPTION_CONNECTION_LIMIT, static_cast<intptr_t>(kMaxConnections), nullptr},
        // A client that stops reading an answer; the request's own deadline
        // is the loop's, which counts from the connection's start.
        {MHD_OPTION_CONNECTION_TIMEOUT, static_cast<intptr_t>(seconds), nullptr},
        {MHD_OPTION_CONNECTION_MEMORY_LIMIT, static_cast<intptr_t>(kConnectionMemory), nullptr},
        {MHD_OPTION_UNESCAPE_CALLBACK, reinterpret_cast<intptr_t>(&LibraryCalls::KeepEscapes),
         nullptr},
        {MHD_OPTION_URI_LOG_CALLBACK, reinterpret_cast<intptr_t>(&LibraryCalls::RequestStarts),
         this},
        {MHD_OPTION_NOTIFY_COMPLETED, reinterpret_cast<intptr_t>(&LibraryCalls::Completed), this},
        {MHD_OPTION_NOTIFY_CONNECTION, reinterpret_cast<intptr_t>(&LibraryCalls::ConnectionChanged),
         this},
    };
    options.push_back({MHD_OPTION_END, 0, nullptr});
    // Connections come from the loop's own accept, once their head is whole,
    // always as plain HTTP: TLS ends in the loop's relays.
    const unsigned flags = MHD_USE_NO_LISTEN_SOCKET | MHD_USE_EPOLL | MHD_ALLOW_SUSPEND_RESUME;
    daemon_ = MHD_start_daemon(flags, 0, nullptr, nullptr, &LibraryCalls::Access, this,
                               MHD_OPTION_ARRAY, options.data(), MHD_OPTION_END);
    if (daemon_ == nullptr) {
        problem_ = "the server library did not start";
        return false;
    }
    epollFd_ = ::epoll_create1(EPOLL_CLOEXEC);
    wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    const int libraryFd = MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_EPOLL_FD)->epoll_fd;
    for (const int fd : {listenFd_, wakeFd_, libraryFd}) {
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.fd = fd;
        ::epoll_ctl(epollFd_, EPOLL_CTL_ADD, fd, &event);
    }
    return true;
}

void ServerLoop::Run() {
    std::array<epoll_event, 64> events{};
    while (!stop_) {
        const int count = ::epoll_wait(epollFd_, events.data(), static_cast<int>(events.size()),
                                       WaitMilliseconds(Steady::now()));
        for (int i = 0; i < count; ++i) {
            const int fd = events[static_cast<std::size_t>(i)].data.fd;
            if (fd == listenFd_) {
                AcceptAll();
            } else if (fd == wakeFd_) {
                std::uint64_t value = 0;
                [[maybe_unused]] const ssize_t got = ::read(wakeFd_, &value, sizeof value);
            } else if (const auto relay = relayFds_.find(fd); relay != relayFds_.end()) {
                PumpRelay(relay->second);
            } else if (waiting_.count(fd) != 0) {
                LookAtHead(fd);
                // The head is only peeked at, so a client gone before it was
                // whole still shows its part: it can never finish it, and its
                // place is given back now, not at the deadline.
                const std::uint32_t gone = EPOLLRDHUP | EPOLLHUP | EPOLLERR;
                if ((events[static_cast<std::size_t>(i)].events & gone) != 0 &&
                    waiting_.count(fd) != 0) {
                    Drop(fd, waiting_.at(fd).address);
                }
            }
        }
        TakeInbox();
        MHD_run(daemon_);
        const auto now = Steady::now();
        Sweep(now);
        if (now >= nextTick_) {
            Tick(now);
        }
    }
    Finish();
}

int ServerLoop::WaitMilliseconds(Steady::time_point now) const {
    Steady::time_point until = nextTick_;
    for (const auto& [fd, waiting] : waiting_) {
        until = std::min(until, waiting.accepted + timeout_);
    }
    for (const auto& [connection, tracked] : tracked_) {
        if (tracked->receiving && !tracked->expired) {
            until = std::min(until, tracked->accepted + timeout_);
        }
    }
    for (const auto& [id, relayed] : relays_) {
        if (!relayed.relay->Joined() && !relayed.relay->Answered()) {
            until = std::min(until, relayed.waiting.accepted + timeout_);
        }
        if (relayed.relay->Sending()) {
            until = std::min(until, relayed.lastMoved + timeout_);
        }
    }
    auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(until - now).count() + 1;
    MHD_UNSIGNED_LONG_LONG library = 0;
    if (MHD_get_timeout(daemon_, &library) == MHD_YES) {
        wait = std::min<long long>(wait, static_cast<long long>(library));
    }
    return static_cast<int>(std::max<long long>(wait, 0));
}

void ServerLoop::Started(MHD_Connection* connection, void** socketContext) {
    const int fd =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD)->connect_fd;
    auto* tracked = new Tracked;
    tracked->fd = fd;
    const auto handed = handed_.find(fd);
    if (handed != handed_.end()) {
        tracked->address = handed->second.address;
        tracked->accepted = handed->second.accepted;
        tracked->relay = handed->second.relay;
        handed_.erase(handed);
    }
    *socketContext = tracked;
    tracked_[connection] = tracked;
}

void ServerLoop::Closed(MHD_Connection* connection, void** socketContext) {
    auto* tracked = static_cast<Tracked*>(*socketContext);
    if (tracked == nullptr) {
        return;
    }
    if (tracked->relay == 0) {
        limits_.Release(tracked->address);
    }
    tracked_.erase(connection);
    delete tracked;
    *socketContext = nullptr;
}

int ServerLoop::Receive(MHD_Connection* connection, Exchange& exchange, const char* method,
                        const char* uploadData, std::size_t* uploadSize) {
    auto* tracked = static_cast<Tracked*>(
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT)->socket_context);
    if (tracked == nullptr || tracked->expired) {
        return 0;
    }
    switch (exchange.stage) {
        case Exchange::Stage::kHead: {
            exchange.stage = Exchange::Stage::kBody;
            HttpRequest& request = exchange.request;
            request.method = method;
            const std::size_t question = exchange.uri.find('?');
            request.path = exchange.uri.substr(0, question);
            request.query =
                question == std::string::npos ? std::string() : exchange.uri.substr(question + 1);
            MHD_get_connection_values(
                connection, MHD_HEADER_KIND,
                [](void* headers, MHD_ValueKind, const char* name, const char* value) {
                    (*static_cast<std::map<std::string, std::string>*>(headers))[Lower(name)] =
                        value != nullptr ? value : "";
                    return MHD_YES;
                },
                &request.headers);
            const ClientOrigin origin =
                ResolveClient(tracked->address, tls_, request.headers, config_.trustedProxies);
            request.remoteAddress = origin.address;
            request.tls = origin.tls;
            const std::string length = request.Header("content-length");
            if (!length.empty() && std::strtoull(length.c_str(), nullptr, 10) > kMaxBodyBytes) {
                return Refuse(connection, exchange, *tracked, 413, "the request is too large");
            }
            return 1;
        }
        case Exchange::Stage::kBody:
            if (*uploadSize > 0) {
                exchange.request.body.append(uploadData, *uploadSize);
                *uploadSize = 0;
                if (exchange.request.body.size() > kMaxBodyBytes) {
                    return Refuse(connection, exchange, *tracked, 413, "the request is too large");
                }
                return 1;
            }
            tracked->receiving = false;
            return Dispatch(connection, exchange);
        case Exchange::Stage::kWorking:
            working_.erase(connection);
            if (!exchange.outcome->done) {
                // Resumed by the server's stop.
                return 0;
            }
            if (exchange.outcome->stream) {
                return OpenStream(connection, exchange);
            }
            return Answer(connection, exchange.outcome->response, exchange.request.tls);
        case Exchange::Stage::kAnswered:
            // The rest of a body refused early.
            *uploadSize = 0;
            return 1;
    }
    return 0;
}

int ServerLoop::Refuse(MHD_Connection* connection, Exchange& exchange, Tracked& tracked, int status,
                       const std::string& text) {
    // Answered now: the deadline no longer applies, and the rest of the body
    // is not the routes' business.
    tracked.receiving = false;
    exchange.stage = Exchange::Stage::kAnswered;
    return Answer(connection, Refusal(status, text, tls_), tls_);
}

int ServerLoop::Dispatch(MHD_Connection* connection, Exchange& exchange) {
    const std::shared_ptr<Exchange::Outcome> outcome = exchange.outcome;
    const bool stream = exchange.request.method == "GET" && exchange.request.path == "/api/events";
    auto job = [this, connection, outcome, stream, request = exchange.request] {
        if (!stream) {
            outcome->response = app_.Handle(request);
        } else if (const std::optional<Session> session = app_.SessionOf(request, false)) {
            outcome->stream = push_.Subscribe(session->taal, session->id);
            outcome->session = session->id;
            if (!outcome->stream) {
                outcome->response = ErrorResponse(503, "too many live pages are open");
                outcome->response.AddHeader("Retry-After", "10");
                AddSecurityHeaders(outcome->response, true);
            }
        } else {
            outcome->response = ErrorResponse(401, "log in first");
            AddSecurityHeaders(outcome->response, true);
        }
        outcome->done = true;
        PostReady(connection);
    };
    if (!workers_->Submit(std::move(job))) {
        HttpResponse busy = Refusal(503, "the server is busy", exchange.request.tls);
        busy.AddHeader("Retry-After", "5");
        exchange.stage = Exchange::Stage::kAnswered;
        return Answer(connection, busy, exchange.request.tls);
    }
    exchange.stage = Exchange::Stage::kWorking;
    working_[connection] = &exchange;
    MHD_suspend_connection(connection);
    return 1;
}

int ServerLoop::Answer(MHD_Connection* connection, const HttpResponse& response, bool tls) {
    MHD_Response* answer = MHD_create_response_from_buffer(
        response.body.size(), const_cast<char*>(response.body.data()), MHD_RESPMEM_MUST_COPY);
    if (!response.contentType.empty()) {
        MHD_add_response_header(answer, "Content-Type", response.contentType.c_str());
    }
    for (const auto& [name, value] : response.headers) {
        MHD_add_response_header(answer, name.c_str(), HeaderSafe(value).c_str());
    }
    if (tls && response.HeaderValue("Strict-Transport-Security").empty()) {
        HttpResponse transport;
        AddTransportHeaders(transport, true);
        for (const auto& [name, value] : transport.headers) {
            MHD_add_response_header(answer, name.c_str(), value.c_str());
        }
    }
    // One request per connection: its deadline then counts from the
    // connection's start, and every head passes the loop's check.
    MHD_add_response_header(answer, "Connection", "close");
    const MHD_Result queued =
        MHD_queue_response(connection, static_cast<unsigned>(response.status), answer);
    MHD_destroy_response(answer);
    return queued == MHD_YES ? 1 : 0;
}

int ServerLoop::OpenStream(MHD_Connection* connection, Exchange& exchange) {
    auto* live = new LiveStream;
    live->loop = this;
    live->connection = connection;
    live->id = nextStream_++;
    live->stream = exchange.outcome->stream;
    live->session = exchange.outcome->session;
    streams_[live->id] = live;
    live->stream->SetWaker([this, id = live->id] { PostWake(id); });
    MHD_Response* answer = MHD_create_response_from_callback(
        MHD_SIZE_UNKNOWN, kStreamBlock, &LibraryCalls::ReadStream, live, &LibraryCalls::EndStream);
    HttpResponse head;
    AddSecurityHeaders(head, true);
    AddTransportHeaders(head, exchange.request.tls);
    MHD_add_response_header(answer, "Content-Type", "text/event-stream");
    for (const auto& [name, value] : head.headers) {
        MHD_add_response_header(answer, name.c_str(), value.c_str());
    }
    MHD_add_response_header(answer, "Connection", "close");
    const MHD_Result queued = MHD_queue_response(connection, 200, answer);
    MHD_destroy_response(answer);
    return queued == MHD_YES ? 1 : 0;
}

void ServerLoop::PostReady(MHD_Connection* connection) {
    {
        const std::lock_guard lock(inboxMutex_);
        ready_.push_back(connection);
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakeFd_, &one, sizeof one);
}

void ServerLoop::PostWake(std::uint64_t stream) {
    {
        const std::lock_guard lock(inboxMutex_);
        woken_.push_back(stream);
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakeFd_, &one, sizeof one);
}

void ServerLoop::TakeInbox() {
    std::vector<MHD_Connection*> ready;
    std::vector<std::uint64_t> woken;
    {
        const std::lock_guard lock(inboxMutex_);
        ready.swap(ready_);
        woken.swap(woken_);
    }
    for (MHD_Connection* connection : ready) {
        // Suspended connections are not closed by the library: it is
        // still there, waiting for this.
        if (working_.count(connection) != 0) {
            MHD_resume_connection(connection);
        }
    }
    for (const std::uint64_t id : woken) {
        const auto found = streams_.find(id);
        if (found != streams_.end() && found->second->suspended) {
            found->second->suspended = false;
            MHD_resume_connection(found->second->connection);
        }
    }
}

void ServerLoop::Sweep(Steady::time_point now) {
    std::vector<int> late;
    for (const auto& [fd, waiting] : waiting_) {
        if (now >= waiting.accepted + timeout_) {
            late.push_back(fd);
        }
    }
    for (const int fd : late) {
        RefuseRaw(fd, 408, "the request took too long");
    }
    for (const auto& [connection, tracked] : tracked_) {
        if (!tracked->receiving || tracked->expired || now < tracked->accepted + timeout_) {
            continue;
        }
        // Nothing of an answer has gone out yet, and the library waits for
        // more of the request: the refusal goes beside it, then the
        // connection is shut so that the library closes it.
        tracked->expired = true;
        const std::string text = AnswerBytes(Refusal(408, "the request took too long", tls_));
        if (tracked->relay != 0) {
            AnswerThroughRelay(tracked->relay, text);
        } else {
            SendWithoutWaiting(tracked->fd, text);
        }
        ::shutdown(tracked->fd, SHUT_RDWR);
    }
    SweepRelays(now);
}

void ServerLoop::Tick(Steady::time_point now) {
    nextTick_ = now + kTick;
    for (const auto& [id, live] : streams_) {
        // A session ended elsewhere (an account removed or given a new
        // password on the command line) ends its live pages at once.
        if (!live->ending && !app_.SessionAlive(live->session)) {
            live->ending = true;
        }
        if (live->suspended && (live->ending || now - live->lastWrite >= kPing)) {
            live->suspended = false;
            MHD_resume_connection(live->connection);
        }
    }
}

void ServerLoop::Finish() {
    push_.CloseAll();
    for (const auto& [id, live] : streams_) {
        live->ending = true;
        if (live->suspended) {
            live->suspended = false;
            MHD_resume_connection(live->connection);
        }
    }
    // The library must not be stopped with a connection suspended.
    for (const auto& [connection, exchange] : working_) {
        MHD_resume_connection(connection);
    }
    MHD_run(daemon_);
    MHD_stop_daemon(daemon_);
    daemon_ = nullptr;
}

}  // namespace qrv::web
