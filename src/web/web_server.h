#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "config/web_config.h"
#include "runtime/clock.h"
#include "runtime/event_log.h"
#include "web/accounts.h"
#include "web/live_push.h"
#include "web/reports.h"
#include "web/server_loop.h"
#include "web/static_files.h"
#include "web/station_source.h"
#include "web/web_app.h"

namespace qrv::web {

// The dashboard's HTTP(S) server on threads of its own (one event thread for
// every connection, a few workers for the routes, and the live feed's
// follower). Nothing it does waits for the acquisition; a slow client holds
// no thread, and its connection only for the configured request time.
class WebServer {
  public:
    struct Parts {
        WebConfig config;
        StationSource& station;
        AccountStore& accounts;
        std::filesystem::path pagesRoot;
        // quorvanel-report; empty for none.
        std::filesystem::path reportTool;
        Clock& clock;
        EventLog& log;
    };

    // Starts listening; Problem() says why not when it did not.
    explicit WebServer(const Parts& parts);
    ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    bool Running() const { return loop_ != nullptr; }
    const std::string& Problem() const { return problem_; }
    // Whether it failed only to bind its address, which a later try may do
    // (an address not up yet, a port not yet given back).
    bool MayListenLater() const { return listenFailed_; }
    // The port listened on (the one chosen when the configured port is 0).
    int Port() const { return port_; }
    LivePush& Push() { return *push_; }

  private:
    Parts parts_;
    std::unique_ptr<LivePush> push_;
    StaticFiles files_;
    std::unique_ptr<ReportService> reports_;
    std::unique_ptr<WebApp> app_;
    std::string problem_;
    bool listenFailed_ = false;
    int port_ = 0;
    std::unique_ptr<ServerLoop> loop_;
};

class RetriedWebServer;

inline constexpr std::chrono::milliseconds kListenRetryInterval{5000};

// The server of a station when [web] enables it and it may start, or none,
// with the reason in the log. One whose address cannot be bound yet is tried
// again every `retryEvery` until it listens.
std::unique_ptr<RetriedWebServer> StartWebServer(
    const WebServer::Parts& parts, std::chrono::milliseconds retryEvery = kListenRetryInterval);

}  // namespace qrv::web
