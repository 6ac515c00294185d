#include "station/web_link.h"

#include "station/web_station_source.h"
#include "web/listen_retry.h"

namespace qrv::shell {

namespace {

std::filesystem::path ProgramDirectory() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : program.parent_path();
}

// The report program installed beside this one, or in a build tree the one
// built with it.
std::filesystem::path ReportTool() {
    const std::filesystem::path here = ProgramDirectory();
    std::error_code error;
    for (const std::filesystem::path& candidate :
         {here / "quorvanel-report",
          here / ".." / ".." / ".." / "tools" / "report" / "quorvanel-report",
          std::filesystem::path("/usr/bin/quorvanel-report")}) {
        if (std::filesystem::is_regular_file(candidate, error)) {
            return std::filesystem::weakly_canonical(candidate, error);
        }
    }
    return {};
}

}  // namespace

std::filesystem::path InStation(const StationPaths& paths, const std::string& file) {
    if (file.empty() || std::filesystem::path(file).is_absolute()) {
        return file;
    }
    return paths.CurrentDirName / file;
}

std::filesystem::path WebAccountsFile(const StationPaths& paths) {
    return paths.CurrentDirName / "web-accounts.json";
}

StationWeb::StationWeb(const WebConfig& config, StationState& state, LiveMonitoring& monitoring,
                       Clock& clock, EventLog& log)
    : source_(std::make_unique<WebStationSource>(state, monitoring, clock)),
      accounts_(WebAccountsFile(state.paths)) {
    if (const std::string problem = accounts_.Load(); !problem.empty()) {
        log.LogProblem("Web accounts: " + problem);
    }
    WebConfig resolved = config;
    resolved.certFile = InStation(state.paths, config.certFile).string();
    resolved.keyFile = InStation(state.paths, config.keyFile).string();
    const std::filesystem::path root = web::StaticFiles::FindRoot(
        InStation(state.paths, config.root).string(), ProgramDirectory());
    server_ = web::StartWebServer({resolved, *source_, accounts_, root, ReportTool(), clock, log});
}

StationWeb::~StationWeb() = default;

web::WebServer* StationWeb::Server() {
    return server_ ? server_->Listening() : nullptr;
}

}  // namespace qrv::shell
