#include "app/shell/web_link.h"

#include <fmt/format.h>

#include "acquisition/alarm_texts.h"
#include "app/shell/commands.h"
#include "app/shell/results_table.h"
#include "app/shell/station_records.h"
#include "text/texts.h"

namespace qrv::shell {

namespace {

std::filesystem::path ProgramDirectory() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : program.parent_path();
}

std::filesystem::path InStation(const StationPaths& paths, const std::string& file) {
    if (file.empty() || std::filesystem::path(file).is_absolute()) {
        return file;
    }
    return paths.CurrentDirName / file;
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

std::filesystem::path WebAccountsFile(const StationPaths& paths) {
    return paths.CurrentDirName / "web-accounts.json";
}

class StationWeb::Source final : public web::StationSource {
  public:
    Source(StationState& state, LiveMonitoring& monitoring, Clock& clock, EventLog& log)
        : state_(state), monitoring_(monitoring), clock_(clock), log_(log) {}

    LiveFeed& Feed() override { return monitoring_.Feed(); }

    web::LiveSnapshot Snapshot(int taal) override {
        const SensorTable table = state_.sensors.Copy();
        const int alarmEnable = state_.settingsOwner.GeneralAlarmEnable();
        web::LiveSnapshot snapshot;
        snapshot.time = clock_.Now();
        web::LiveStation& station = snapshot.station;
        station.networkName = table.NetworkName;
        station.networkLost = state_.CommunicationErrorAlarm != 0;
        station.acquisition = state_.NetworkAsyncTimerEnabled != 0;
        station.alarmsEnabled = alarmEnable != 0;
        station.muted = state_.AlarmUserStatus == 0;
        station.alarm = state_.SensorAlarm != 0 || station.networkLost;
        if (station.alarm) {
            station.banner = std::string(
                text::GroupText(text::Group::AlarmBanner, station.networkLost ? 0 : 1, taal));
        }
        station.headers = BuildResultsHeaders(table.NetworkName, taal, alarmEnable).titles;
        for (int i = 0; i <= table.GetMax1820Index(); ++i) {
            const SensorRecord& record = table.SensorArray[static_cast<std::size_t>(i)];
            web::LiveRow row = web::RowFromRecord(record, i);
            const ResultsRow shown = BuildResultsRow(record, taal);
            row.cells = shown.cells;
            row.background = shown.background;
            row.color = shown.text;
            station.probesLost += row.lost ? 1 : 0;
            snapshot.probes.push_back(std::move(row));
        }
        return snapshot;
    }

    std::optional<SensorRecord> Probe(const RomCode& rom) override {
        const auto table = state_.sensors.Lock();
        for (int i = 0; i <= table->GetMax1820Index(); ++i) {
            if (table->SensorArray[static_cast<std::size_t>(i)].Rom == rom) {
                return table->SensorArray[static_cast<std::size_t>(i)];
            }
        }
        return std::nullopt;
    }

    std::filesystem::path DataDirectory() override {
        return state_.paths.DataDirectory(state_.WantedUserMode);
    }
    std::filesystem::path StationDirectory() override { return state_.paths.CurrentDirName; }
    LocalDateTime Now() override { return clock_.Now(); }

    void Mute(const std::string& who, const std::string& comment) override {
        state_.AlarmUserStatus = 0;
        log_.LogMessageToDisk(fmt::format("Alarm switched OFF by web account {}", who));
        monitoring_.Acknowledge(who, comment);
    }

    void Unmute(const std::string& who) override {
        state_.AlarmUserStatus = 1;
        log_.LogMessageToDisk(fmt::format("Alarm switched ON by web account {}", who));
        AuditEventBy(state_, clock_, log_, who, "alarm switched on");
    }

    std::vector<std::string> Contacts() override {
        std::vector<std::string> names;
        if (notify::Notifier* notifier = monitoring_.Notifications()) {
            for (const NotifyContact& contact : notifier->Contacts()) {
                names.push_back(contact.name);
            }
        }
        return names;
    }

    bool SendTestSms(std::optional<int> contact, const std::string& who) override {
        notify::Notifier* notifier = monitoring_.Notifications();
        if (notifier != nullptr) {
            if (!contact || *contact < 0 ||
                *contact >= static_cast<int>(notifier->Contacts().size())) {
                return false;
            }
            log_.LogMessageToDisk(
                fmt::format("Test message to {} sent by web account {}",
                            notifier->Contacts()[static_cast<std::size_t>(*contact)].name, who));
            AuditEventBy(state_, clock_, log_, who, "test message sent", {},
                         notifier->Contacts()[static_cast<std::size_t>(*contact)].name);
            notifier->SendTestMessage(*contact);
            return true;
        }
        if (contact) {
            return false;
        }
        log_.LogMessageToDisk(fmt::format("Test SMS sent by web account {}", who));
        AuditEventBy(state_, clock_, log_, who, "test message sent");
        const std::string networkName = state_.sensors.Lock()->NetworkName;
        monitoring_.Acquisition().Sms().SendTestMessage(
            acquisition::TestSmsText("Web test", state_.settingsOwner.Taal(), clock_.Now(),
                                     networkName),
            [](int) {});
        return true;
    }

  private:
    StationState& state_;
    LiveMonitoring& monitoring_;
    Clock& clock_;
    EventLog& log_;
};

StationWeb::StationWeb(const WebConfig& config, StationState& state, LiveMonitoring& monitoring,
                       Clock& clock, EventLog& log)
    : source_(std::make_unique<Source>(state, monitoring, clock, log)),
      accounts_(WebAccountsFile(state.paths)) {
    if (const std::string problem = accounts_.Load(); !problem.empty()) {
        log.LogMessageToDisk("Web accounts: " + problem);
    }
    WebConfig resolved = config;
    resolved.certFile = InStation(state.paths, config.certFile).string();
    resolved.keyFile = InStation(state.paths, config.keyFile).string();
    const std::filesystem::path root = web::StaticFiles::FindRoot(
        InStation(state.paths, config.root).string(), ProgramDirectory());
    server_ = web::StartWebServer({resolved, *source_, accounts_, root, ReportTool(), clock, log});
}

StationWeb::~StationWeb() = default;

std::unique_ptr<StationWeb> StartWeb(const WebConfig& config, StationState& state,
                                     LiveMonitoring& monitoring, Clock& clock, EventLog& log) {
    if (!config.enabled) {
        return nullptr;
    }
    return std::make_unique<StationWeb>(config, state, monitoring, clock, log);
}

}  // namespace qrv::shell
