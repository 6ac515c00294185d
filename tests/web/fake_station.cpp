#include "fake_station.h"

#include <fmt/format.h>

namespace qrv::web::testing {

FakeStation::FakeStation(std::filesystem::path directory) : directory_(std::move(directory)) {
    std::filesystem::create_directories(directory_ / "QRVDATA");
    for (int i = 0; i < 3; ++i) {
        SensorRecord record;
        record.Line = 1;
        record.Rom = {0x28, static_cast<std::int16_t>(i + 1), 0, 0, 0, 0, 0, 0x5A};
        record.Name = fmt::format("Freezer \"{}\"", i + 1);
        record.SensorType = kTypeTemperature;
        record.Units = "°C";
        record.Value = -18.0;
        record.AlarmHigh = -10;
        records_.push_back(record);
    }
}

LiveSnapshot FakeStation::Snapshot(int taal) {
    const std::lock_guard lock(mutex_);
    LiveSnapshot snapshot;
    snapshot.time = Now();
    snapshot.station.networkName = "Lab";
    snapshot.station.muted = muted_;
    if (notices_.lastGivenUp) {
        snapshot.station.noticeProblem =
            "to " + notices_.lastGivenUp->contact + ": " + notices_.lastGivenUp->detail;
    }
    for (std::size_t i = 0; i < records_.size(); ++i) {
        LiveRow row = RowFromRecord(records_[i], static_cast<int>(i));
        row.cells = {records_[i].Name, fmt::format("{:.1f}", records_[i].Value),
                     taal == 1 ? "Ein" : "On", ""};
        if (const auto standing = timeAlarms_.find(records_[i].Rom);
            standing != timeAlarms_.end()) {
            row.timeAlarm = TimeAlarmNote(standing->second);
        }
        snapshot.probes.push_back(row);
    }
    return snapshot;
}

NoticeTotals FakeStation::Notices() {
    const std::lock_guard lock(mutex_);
    return notices_;
}

void FakeStation::SetNotices(NoticeTotals notices) {
    const std::lock_guard lock(mutex_);
    notices_ = std::move(notices);
}

void FakeStation::SetTimeAlarm(int index, StandingTimeAlarm standing) {
    const std::lock_guard lock(mutex_);
    timeAlarms_[records_[static_cast<std::size_t>(index)].Rom] = standing;
}

std::optional<SensorRecord> FakeStation::Probe(const RomCode& rom) {
    const std::lock_guard lock(mutex_);
    for (const SensorRecord& record : records_) {
        if (record.Rom == rom) {
            return record;
        }
    }
    return std::nullopt;
}

void FakeStation::Mute(const std::string& who, const std::string& comment) {
    const std::lock_guard lock(mutex_);
    muted_ = true;
    commands_.push_back("mute " + who + ": " + comment);
}

void FakeStation::Unmute(const std::string& who) {
    const std::lock_guard lock(mutex_);
    muted_ = false;
    commands_.push_back("unmute " + who);
}

TestSmsAnswer FakeStation::SendTestSms(std::optional<int> contact, const std::string& who) {
    if (!contact || *contact != 0) {
        return {TestSmsAnswer::Outcome::kNoSuchContact, {}};
    }
    const std::lock_guard lock(mutex_);
    if (!smsProblem_.empty()) {
        return {TestSmsAnswer::Outcome::kNotSent, smsProblem_};
    }
    commands_.push_back("test " + who);
    return {};
}

void FakeStation::SetSmsProblem(std::string problem) {
    const std::lock_guard lock(mutex_);
    smsProblem_ = std::move(problem);
}

void FakeStation::Read(int index, double value) {
    LiveEvent event;
    {
        const std::lock_guard lock(mutex_);
        SensorRecord& record = records_[static_cast<std::size_t>(index)];
        record.Value = value;
        event = ProbeEvent(LiveEventKind::kReading, Now(), index, record);
    }
    feed_.Publish(event);
}

std::vector<std::string> FakeStation::Commands() {
    const std::lock_guard lock(mutex_);
    return commands_;
}

}  // namespace qrv::web::testing
