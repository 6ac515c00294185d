#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "web/web_server.h"

namespace qrv::web {

// The dashboard's server, or the wait for it: at boot the listen address may
// come up after the station, and a port may still be held by the station's
// last run. A thread of its own starts the server again every interval until
// it listens, with one line in the log for the wait and one when it listens.
class RetriedWebServer {
  public:
    // `first` is the server tried already, listening or not.
    RetriedWebServer(const WebServer::Parts& parts, std::unique_ptr<WebServer> first,
                     std::chrono::milliseconds interval);
    ~RetriedWebServer();
    RetriedWebServer(const RetriedWebServer&) = delete;
    RetriedWebServer& operator=(const RetriedWebServer&) = delete;

    // The port listened on; 0 while it waits.
    int Port() const;
    // The server once it listens (it then stays), else none.
    WebServer* Listening() const;

  private:
    void Retry();
    void LogListening();

    const WebServer::Parts parts_;
    const std::chrono::milliseconds interval_;
    mutable std::mutex mutex_;
    std::condition_variable stopped_;
    bool stop_ = false;
    std::unique_ptr<WebServer> server_;
    std::thread retries_;
};

}  // namespace qrv::web
