#pragma once

#include <netinet/in.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "config/web_config.h"
#include "web/connection_limits.h"
#include "web/live_push.h"
#include "web/tls_certificate.h"
#include "web/tls_relay.h"
#include "web/web_app.h"
#include "web/worker_pool.h"

struct MHD_Daemon;
struct MHD_Connection;

namespace qrv::web {

// The dashboard's sockets, on one event thread: it accepts, decrypts TLS
// itself, holds each connection's head until it is whole and well formed,
// hands it to the server library as plain HTTP, enforces each request's deadline and feeds the live
// pages, none of which waits for anything. A complete request goes to a small pool of workers (the
// routes may check a password or render a report) while its connection is suspended, so a slow
// client holds no thread at all.
class ServerLoop {
  public:
    ServerLoop(const WebConfig& config, WebApp& app, LivePush& push,
               const ServerCertificate* certificate);
    ~ServerLoop();
    ServerLoop(const ServerLoop&) = delete;
    ServerLoop& operator=(const ServerLoop&) = delete;

    // Empty when it listens.
    const std::string& Problem() const { return problem_; }
    // Whether it failed only to bind its address.
    bool ListenFailed() const { return listenFailed_; }
    int Port() const { return port_; }

    struct Exchange;
    struct Tracked;
    struct LiveStream;

  private:
    using Steady = std::chrono::steady_clock;

    // A connection accepted whose head has not all arrived.
    struct Waiting {
        sockaddr_in from{};
        std::string address;
        Steady::time_point accepted;
        // The TLS relay it comes through, which holds its place in the
        // limits; 0 over plain HTTP.
        std::uint64_t relay = 0;
    };

    // A TLS client's connection, from its accept to its close.
    struct Relayed {
        std::unique_ptr<TlsRelay> relay;
        Waiting waiting;
        // When a byte last moved, for a client that stops reading.
        Steady::time_point lastMoved;
    };

    bool Listen();
    bool StartLibrary();
    void Run();
    int WaitMilliseconds(Steady::time_point now) const;
    void AcceptAll();
    void LookAtHead(int fd);
    void HandOver(int fd, const Waiting& waiting);
    void Drop(int fd, const std::string& address);
    void RefuseRaw(int fd, int status, const std::string& text);
    void StartRelay(int fd, Waiting waiting);
    void PumpRelay(std::uint64_t id);
    void LookAtTlsHead(std::uint64_t id, Relayed& relayed);
    void AnswerThroughRelay(std::uint64_t id, const std::string& bytes);
    void CloseRelay(std::uint64_t id);
    void SweepRelays(Steady::time_point now);
    void WatchEdges(int fd);
    void TakeInbox();
    void Sweep(Steady::time_point now);
    void Tick(Steady::time_point now);
    void Finish();

    friend struct LibraryCalls;
    void Started(MHD_Connection* connection, void** socketContext);
    void Closed(MHD_Connection* connection, void** socketContext);
    int Receive(MHD_Connection* connection, Exchange& exchange, const char* method,
                const char* uploadData, std::size_t* uploadSize);
    int Refuse(MHD_Connection* connection, Exchange& exchange, Tracked& tracked, int status,
               const std::string& text);
    int Dispatch(MHD_Connection* connection, Exchange& exchange);
    int Answer(MHD_Connection* connection, const HttpResponse& response, bool tls);
    int OpenStream(MHD_Connection* connection, Exchange& exchange);
    void PostReady(MHD_Connection* connection);
    void PostWake(std::uint64_t stream);

    const WebConfig& config_;
    WebApp& app_;
    LivePush& push_;
    const bool tls_;
    const std::chrono::milliseconds timeout_;
    std::string problem_;
    bool listenFailed_ = false;
    int port_ = 0;
    int listenFd_ = -1;
    int epollFd_ = -1;
    int wakeFd_ = -1;
    MHD_Daemon* daemon_ = nullptr;
    // Outlives every relay's session.
    std::unique_ptr<TlsServerCredentials> credentials_;

    // The event thread's own.
    ConnectionLimits limits_;
    std::map<int, Waiting> waiting_;
    // Handed to the library, until it says the connection started.
    std::map<int, Waiting> handed_;
    std::map<MHD_Connection*, Tracked*> tracked_;
    std::map<MHD_Connection*, Exchange*> working_;
    std::map<std::uint64_t, LiveStream*> streams_;
    std::map<std::uint64_t, Relayed> relays_;
    // Both sockets of each relay.
    std::map<int, std::uint64_t> relayFds_;
    std::uint64_t nextRelay_ = 1;
    std::uint64_t nextStream_ = 1;
    Steady::time_point nextTick_;

    // From the workers and the live feed's follower.
    std::mutex inboxMutex_;
    std::vector<MHD_Connection*> ready_;
    std::vector<std::uint64_t> woken_;

    std::atomic<bool> stop_ = false;
    // Destroyed before the rest, so that no job outlives what it posts to.
    std::unique_ptr<WorkerPool> workers_;
    std::thread thread_;
};

}  // namespace qrv::web
