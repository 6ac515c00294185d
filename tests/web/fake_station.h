#pragma once

#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "runtime/clock.h"
#include "web/station_source.h"

namespace qrv::web::testing {

// A station of three probes whose live table a test sets, recording the
// commands the server gives it.
class FakeStation final : public StationSource {
  public:
    explicit FakeStation(std::filesystem::path directory);

    LiveFeed& Feed() override { return feed_; }
    LiveSnapshot Snapshot(int taal) override;
    std::optional<SensorRecord> Probe(const RomCode& rom) override;
    std::filesystem::path DataDirectory() override { return directory_ / "QRVDATA"; }
    std::filesystem::path StationDirectory() override { return directory_; }
    LocalDateTime Now() override { return {2026, 1, 5, 12, 0, 0, 0}; }
    // The probe's name and the language asked for, in red.
    ProbeViewTexts ProbeView(const SensorRecord& record, int taal) override {
        return {record.Name + " in " + std::to_string(taal), "4.0", 0xFF0000};
    }
    BusErrorCounts BusErrors() override { return busErrors; }
    NoticeTotals Notices() override;
    void Mute(const std::string& who, const std::string& comment) override;
    void Unmute(const std::string& who) override;
    std::vector<std::string> Contacts() override { return {"Night shift"}; }
    TestSmsAnswer SendTestSms(std::optional<int> contact, const std::string& who) override;
    // Why a test message cannot be sent; empty: it can.
    void SetSmsProblem(std::string problem);

    // A new reading of probe index, published on the feed as acquisition
    // does.
    void Read(int index, double value);
    // The alarm on time out of range the station holds for probe index.
    void SetTimeAlarm(int index, StandingTimeAlarm standing);
    std::vector<std::string> Commands();
    const SensorRecord& Record(int index) const {
        return records_[static_cast<std::size_t>(index)];
    }

    BusErrorCounts busErrors{};
    // What the call list's tally holds; the live table shows the notice given
    // up as "to CONTACT: DETAIL".
    void SetNotices(NoticeTotals notices);

  private:
    const std::filesystem::path directory_;
    LiveFeed feed_;
    std::mutex mutex_;
    std::vector<SensorRecord> records_;
    StandingTimeAlarms timeAlarms_;
    std::vector<std::string> commands_;
    std::string smsProblem_;
    NoticeTotals notices_;
    bool muted_ = false;
};

}  // namespace qrv::web::testing
