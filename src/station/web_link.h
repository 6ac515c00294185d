#pragma once

#include <filesystem>
#include <memory>

#include "config/web_config.h"
#include "station/live_monitoring.h"
#include "station/station_state.h"
#include "web/accounts.h"
#include "web/web_server.h"

namespace qrv::shell {

class WebStationSource;

// A file named in quorvanel.toml: relative names are in the station directory.
std::filesystem::path InStation(const StationPaths& paths, const std::string& file);

// The accounts file of a station: its own file beside the settings, never a
// key of the older station's files.
std::filesystem::path WebAccountsFile(const StationPaths& paths);

// The dashboard of a station while [web] enables it: the accounts, what the
// server may see of the station, and the server. Destroy it before
// monitoring.
class StationWeb {
  public:
    StationWeb(const WebConfig& config, StationState& state, LiveMonitoring& monitoring,
               Clock& clock, EventLog& log);
    ~StationWeb();
    StationWeb(const StationWeb&) = delete;
    StationWeb& operator=(const StationWeb&) = delete;

    // Listening, or trying again until its address can be bound.
    bool Running() const { return server_ != nullptr; }
    // The server once it listens, else none.
    web::WebServer* Server();

  private:
    std::unique_ptr<WebStationSource> source_;
    web::AccountStore accounts_;
    std::unique_ptr<web::RetriedWebServer> server_;
};

}  // namespace qrv::shell
