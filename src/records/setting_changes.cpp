#include "records/setting_changes.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <span>

#include "sensors/rom_text.h"

namespace qrv::records {

namespace {

constexpr std::array<std::string_view, 7> kDayNames{"Monday", "Tuesday",  "Wednesday", "Thursday",
                                                    "Friday", "Saturday", "Sunday"};

template <typename T>
void AddIfChanged(std::vector<SettingChange>& changes, std::string what, const T& old,
                  const T& now) {
    if (old != now) {
        changes.push_back({std::move(what), fmt::format("{}", old), fmt::format("{}", now)});
    }
}

std::string ProbeLabel(const SensorRecord& record) {
    return fmt::format("probe {} {}", SerialNumberHex(record.Rom), record.Name);
}

std::span<const SensorRecord> UsedRecords(const SensorTable& table) {
    return std::span(table.SensorArray)
        .first(static_cast<std::size_t>(table.GetMax1820Index() + 1));
}

const SensorRecord* FindByRom(std::span<const SensorRecord> records, const RomCode& rom) {
    const auto found = std::find_if(records.begin(), records.end(),
                                    [&rom](const SensorRecord& r) { return r.Rom == rom; });
    return found == records.end() ? nullptr : &*found;
}

std::string Settings(const SensorRecord& r) {
    return fmt::format(
        "status {}, alarm {}..{} delay {} s, pre-alarm {}..{} delay {} s, SMS {}, "
        "relay {}",
        r.Status, r.AlarmLow, r.AlarmHigh, r.AlarmDelay, r.TripLow, r.TripHigh, r.TripDelay,
        r.SmsEnable, r.RelayEnable);
}

void CompareProbe(const SensorRecord& before, const SensorRecord& after,
                  std::vector<SettingChange>& changes) {
    const std::string label = ProbeLabel(after);
    const auto field = [&](std::string_view name, const auto& old, const auto& now) {
        AddIfChanged(changes, fmt::format("{}: {}", label, name), old, now);
    };
    field("Name", before.Name, after.Name);
    field("Status", before.Status, after.Status);
    field("AlarmLow", before.AlarmLow, after.AlarmLow);
    field("AlarmHigh", before.AlarmHigh, after.AlarmHigh);
    field("AlarmDelay", before.AlarmDelay, after.AlarmDelay);
    field("TripLow", before.TripLow, after.TripLow);
    field("TripHigh", before.TripHigh, after.TripHigh);
    field("TripDelay", before.TripDelay, after.TripDelay);
    field("SmsEnable", before.SmsEnable, after.SmsEnable);
    field("RelayEnable", before.RelayEnable, after.RelayEnable);
    for (std::size_t d = 0; d < kDayNames.size(); ++d) {
        const AlarmWindow& old = before.AlarmTimes[d];
        const AlarmWindow& now = after.AlarmTimes[d];
        if (old.Start != now.Start || old.Stop != now.Stop) {
            changes.push_back({fmt::format("{}: alarm window {}", label, kDayNames[d]),
                               fmt::format("{}..{}", old.Start, old.Stop),
                               fmt::format("{}..{}", now.Start, now.Stop)});
        }
    }
}

}  // namespace

std::vector<SettingChange> ProbeSettingChanges(const SensorTable& before,
                                               const SensorTable& after) {
    std::vector<SettingChange> changes;
    const auto old = UsedRecords(before);
    const auto now = UsedRecords(after);
    for (const SensorRecord& record : old) {
        if (!FindByRom(now, record.Rom)) {
            changes.push_back({ProbeLabel(record) + ": deleted", Settings(record), ""});
        }
    }
    for (const SensorRecord& record : now) {
        if (const SensorRecord* was = FindByRom(old, record.Rom)) {
            CompareProbe(*was, record, changes);
        } else {
            changes.push_back({ProbeLabel(record) + ": added", "", Settings(record)});
        }
    }
    if (before.NetworkName != after.NetworkName) {
        changes.push_back({"network name", before.NetworkName, after.NetworkName});
    }
    return changes;
}

std::vector<SettingChange> TimeAlarmChanges(const SensorRecord& probe,
                                            const std::optional<TimeAlarm>& before,
                                            const std::optional<TimeAlarm>& after) {
    const auto text = [](const std::optional<TimeAlarm>& alarm,
                         std::optional<int> TimeAlarm::*side) -> std::string {
        if (!alarm) {
            return {};
        }
        const std::optional<int>& minutes = (*alarm).*side;
        return minutes ? std::to_string(*minutes) : std::string();
    };
    std::vector<SettingChange> changes;
    const std::string label = ProbeLabel(probe);
    AddIfChanged(changes, label + ": minutes above high in 24 h",
                 text(before, &TimeAlarm::minutesAbove), text(after, &TimeAlarm::minutesAbove));
    AddIfChanged(changes, label + ": minutes below low in 24 h",
                 text(before, &TimeAlarm::minutesBelow), text(after, &TimeAlarm::minutesBelow));
    return changes;
}

std::vector<SettingChange> StationSettingChanges(const SystemSettings& before,
                                                 const SystemSettings& after) {
    std::vector<SettingChange> changes;
    const auto field = [&changes](std::string_view name, const auto& old, const auto& now) {
        AddIfChanged(changes, fmt::format("station setting {}", name), old, now);
    };
    field("SerialPort", before.SerialPort, after.SerialPort);
    field("Taal", before.Taal, after.Taal);
    field("DisplayKeuze", before.DisplayKeuze, after.DisplayKeuze);
    field("KeuzeTempUnits", before.KeuzeTempUnits, after.KeuzeTempUnits);
    field("KeuzeSampleTime", before.KeuzeSampleTime, after.KeuzeSampleTime);
    field("KeuzeGraphStyle", before.KeuzeGraphStyle, after.KeuzeGraphStyle);
    field("SmSDestination", before.SmSDestination, after.SmSDestination);
    field("SmSProgramSource", before.SmSProgramSource, after.SmSProgramSource);
    field("GeneralAlarmEnable", before.GeneralAlarmEnable, after.GeneralAlarmEnable);
    return changes;
}

}  // namespace qrv::records
