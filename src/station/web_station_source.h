#pragma once

#include "station/live_monitoring.h"
#include "station/station_state.h"
#include "web/station_source.h"

namespace qrv::shell {

// What the dashboard sees of a running station and may do to it: copies of
// the probe table and the flags, the window's own texts, and the commands
// of the alarm button and the test SMS.
class WebStationSource final : public web::StationSource {
  public:
    WebStationSource(StationState& state, LiveMonitoring& monitoring, Clock& clock)
        : state_(state), monitoring_(monitoring), clock_(clock) {}

    LiveFeed& Feed() override { return monitoring_.Feed(); }
    web::LiveSnapshot Snapshot(int taal) override;
    std::optional<SensorRecord> Probe(const RomCode& rom) override;
    web::ProbeViewTexts ProbeView(const SensorRecord& record, int taal) override;
    std::filesystem::path DataDirectory() override;
    std::filesystem::path StationDirectory() override { return state_.paths.CurrentDirName; }
    LocalDateTime Now() override { return clock_.Now(); }
    BusErrorCounts BusErrors() override;
    NoticeTotals Notices() override;
    void Mute(const std::string& who, const std::string& comment) override;
    void Unmute(const std::string& who) override;
    std::vector<std::string> Contacts() override;
    web::TestSmsAnswer SendTestSms(std::optional<int> contact, const std::string& who) override;

  private:
    StationState& state_;
    LiveMonitoring& monitoring_;
    Clock& clock_;
};

}  // namespace qrv::shell
