#include "station/time_alarm_setup.h"

#include <fmt/format.h>

#include <chrono>
#include <map>
#include <memory>
#include <span>

#include "records/outside_changes.h"
#include "records/time_alarm.h"
#include "runtime/calendar.h"
#include "runtime/text_file.h"
#include "station/outside_changes_audit.h"
#include "storage/history_sensor.h"
#include "storage/read_progress.h"

namespace qrv::shell {

namespace {

LocalDateTime DayBefore(const LocalDateTime& day) {
    const std::chrono::year_month_day before{CivilDay(day.year, day.month, day.day) -
                                             std::chrono::days{1}};
    LocalDateTime d;
    d.year = static_cast<int>(before.year());
    d.month = static_cast<int>(static_cast<unsigned>(before.month()));
    d.day = static_cast<int>(static_cast<unsigned>(before.day()));
    return d;
}

const HistoEntry* EntryOf(const HistoryData& day, const RomCode& rom, int sensorType) {
    KeyChars key = MakeProbeKey(rom, sensorType);
    key[0] = '0';  // as the readers give every key
    for (int e = 0; e <= day.HistoryMaxIndex; ++e) {
        if (day.HistoSensor[static_cast<std::size_t>(e)].ProbeKey == key) {
            return &day.HistoSensor[static_cast<std::size_t>(e)];
        }
    }
    return nullptr;
}

std::filesystem::path TimeAlarmFile(const StationState& state) {
    return state.paths.CurrentDirName / records::kTimeAlarmFileName;
}

void SeedFromStoredValues(StationState& state, acquisition::TimeOutOfRangeAlarms& alarms,
                          const Clock& clock) {
    const std::vector<RomCode> unseeded = alarms.Unseeded();
    if (unseeded.empty()) {
        return;
    }
    const SensorTable table = state.sensors.Copy();
    const LocalDateTime now = clock.Now();
    const std::int64_t before = records::MinuteKey(now);
    std::map<RomCode, records::OutOfRangeWindow> windows;
    auto day = std::make_unique<HistoryData>();
    SilentProgress progress;
    for (const LocalDateTime& date : {DayBefore(now), now}) {
        const std::filesystem::path file =
            state.paths.DataDirectory(state.WantedUserMode) /
            fmt::format("{:04d}-{:02d}-{:02d}.qrd", date.year, date.month, date.day);
        const FileBytes bytes = ReadFileBytes(file);
        if (bytes.result != kFileOk) {
            continue;
        }
        ClearHistoSensorStructure(*day);
        day->HistoryFileName = file;
        ReadHistoryFromBytes(bytes.bytes, *day, state.settings.Taal, progress);
        for (const RomCode& rom : unseeded) {
            const int index = table.Find1820inDataStruct(rom);
            if (index < 0) {
                continue;
            }
            const SensorRecord& record = table.SensorArray[static_cast<std::size_t>(index)];
            const HistoEntry* entry = EntryOf(*day, rom, record.SensorType);
            if (entry == nullptr) {
                continue;
            }
            const auto count = static_cast<std::size_t>(entry->LastIndex + 1);
            records::AddStoredDay(windows[rom], date, std::span(entry->SampleTime).first(count),
                                  std::span(entry->SampleValue).first(count), record.AlarmLow,
                                  record.AlarmHigh, before);
        }
    }
    for (const RomCode& rom : unseeded) {
        alarms.Seed(rom, windows[rom]);
    }
}

}  // namespace

void PrepareTimeAlarms(StationState& state, acquisition::TimeOutOfRangeAlarms& alarms,
                       const Clock& clock, EventLog& log) {
    state.timeAlarmStamp = StampOf(TimeAlarmFile(state));
    records::TimeAlarmFileResult read = records::ReadTimeAlarmFile(TimeAlarmFile(state));
    if (!read.error.empty()) {
        log.LogMessageToDisk("Time alarms not read, no alarm on time out of range: " + read.error);
    }
    alarms.Configure(std::move(read.book));
    SeedFromStoredValues(state, alarms, clock);
}

bool ReloadTimeAlarmsIfChanged(StationState& state, acquisition::TimeOutOfRangeAlarms& alarms,
                               const Clock& clock, EventLog& log) {
    const FileStamp stamp = StampOf(TimeAlarmFile(state));
    if (stamp == state.timeAlarmStamp) {
        return false;
    }
    state.timeAlarmStamp = stamp;
    records::TimeAlarmFileResult read = records::ReadTimeAlarmFile(TimeAlarmFile(state));
    if (!read.error.empty()) {
        log.LogMessageToDisk("Time alarms not reread, the thresholds in use are kept: " +
                             read.error);
        return false;
    }
    // The window's own changes come back here too: only news is logged.
    if (read.book == alarms.Book()) {
        return false;
    }
    log.LogMessageToDisk("Time alarms reread from " + std::string(records::kTimeAlarmFileName));
    AuditOutsideChanges(
        state, clock, log, TimeAlarmFile(state),
        records::TimeAlarmBookChanges(alarms.Book(), read.book, state.sensors.Copy()));
    alarms.Configure(std::move(read.book));
    SeedFromStoredValues(state, alarms, clock);
    return true;
}

}  // namespace qrv::shell
