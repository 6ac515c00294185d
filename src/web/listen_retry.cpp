#include "web/listen_retry.h"

#include <fmt/format.h>

namespace qrv::web {

RetriedWebServer::RetriedWebServer(const WebServer::Parts& parts, std::unique_ptr<WebServer> first,
                                   std::chrono::milliseconds interval)
    : parts_(parts), interval_(interval) {
    if (first->Running()) {
        LogListening();
        server_ = std::move(first);
        return;
    }
    parts_.log.LogProblem(fmt::format("Web server not started yet: {}; trying again every {} s",
                                      first->Problem(),
                                      std::chrono::ceil<std::chrono::seconds>(interval).count()));
    retries_ = std::thread([this] { Retry(); });
}

RetriedWebServer::~RetriedWebServer() {
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    stopped_.notify_all();
    if (retries_.joinable()) {
        retries_.join();
    }
}

int RetriedWebServer::Port() const {
    const WebServer* server = Listening();
    return server ? server->Port() : 0;
}

WebServer* RetriedWebServer::Listening() const {
    const std::lock_guard lock(mutex_);
    return server_.get();
}

void RetriedWebServer::Retry() {
    std::unique_lock lock(mutex_);
    while (!stopped_.wait_for(lock, interval_, [this] { return stop_; })) {
        lock.unlock();
        auto server = std::make_unique<WebServer>(parts_);
        lock.lock();
        if (server->Running()) {
            LogListening();
            server_ = std::move(server);
            return;
        }
        if (!server->MayListenLater()) {
            // Bound now, but refused for a reason no retry mends.
            parts_.log.LogProblem("Web server not started: " + server->Problem());
            return;
        }
    }
}

void RetriedWebServer::LogListening() {
    parts_.log.LogMessageToDisk(fmt::format("Web server listening on {}{}", parts_.config.listen,
                                            parts_.config.Tls() ? " (HTTPS)" : ""));
}

}  // namespace qrv::web
