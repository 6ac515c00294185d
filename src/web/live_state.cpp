#include "web/live_state.h"

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "web/json_text.h"

#include "sensors/rom_text.h"

namespace qrv::web {

namespace {

using nlohmann::json;

json CalibrationObject(const std::optional<LiveCalibration>& calibration) {
    if (!calibration) {
        return nullptr;
    }
    return json{{"nextDue", calibration->nextDue},
                {"due", calibration->due.empty() ? json(nullptr) : json(calibration->due)}};
}

json TimeAlarmObject(const std::optional<LiveTimeAlarm>& timeAlarm) {
    if (!timeAlarm) {
        return nullptr;
    }
    return json{{"side", timeAlarm->side}, {"minutes", timeAlarm->minutes}};
}

json RowObject(const LiveRow& row) {
    json cells = json::array();
    for (const std::string& cell : row.cells) {
        cells.push_back(cell);
    }
    return json{{"rom", row.rom},
                {"index", row.index},
                {"name", row.name},
                {"type", row.type},
                {"units", row.units},
                {"status", row.status},
                {"cells", cells},
                {"background", ColourText(row.background)},
                {"color", ColourText(row.color)},
                {"value", row.value ? json(*row.value) : json(nullptr)},
                {"alarm", row.alarm},
                {"lost", row.lost},
                {"lastRead", row.lastRead ? json(IsoTime(*row.lastRead)) : json(nullptr)},
                {"calibration", CalibrationObject(row.calibration)},
                {"timeAlarm", TimeAlarmObject(row.timeAlarm)}};
}

json StationObject(const LiveStation& station) {
    json headers = json::array();
    for (const std::string& header : station.headers) {
        headers.push_back(header);
    }
    return json{{"networkName", station.networkName},
                {"networkLost", station.networkLost},
                {"acquisition", station.acquisition},
                {"alarmsEnabled", station.alarmsEnabled},
                {"muted", station.muted},
                {"alarm", station.alarm},
                {"banner", station.banner},
                {"headers", headers},
                {"probesLost", station.probesLost},
                {"noticeProblem", station.noticeProblem}};
}

}  // namespace

std::string ColourText(std::uint32_t rgb) {
    return fmt::format("#{:06X}", rgb & 0xFFFFFFu);
}

std::optional<RomCode> ParseRomText(std::string_view text) {
    if (text.size() != 2 * kRomLength) {
        return std::nullopt;
    }
    RomCode rom{};
    for (std::size_t i = 0; i < rom.size(); ++i) {
        int byte = 0;
        for (const char c : text.substr(2 * i, 2)) {
            int digit = 0;
            if (c >= '0' && c <= '9') {
                digit = c - '0';
            } else if (c >= 'A' && c <= 'F') {
                digit = c - 'A' + 10;
            } else if (c >= 'a' && c <= 'f') {
                digit = c - 'a' + 10;
            } else {
                return std::nullopt;
            }
            byte = byte * 16 + digit;
        }
        rom[i] = static_cast<std::int16_t>(byte);
    }
    return rom;
}

std::string IsoTime(const LocalDateTime& time) {
    return fmt::format("{:04}-{:02}-{:02}T{:02}:{:02}:{:02}", time.year, time.month, time.day,
                       time.hour, time.minute, time.second);
}

std::string_view TypeName(int sensorType) {
    switch (sensorType) {
        case kTypeTemperature:
            return "temperature";
        case kTypeHumidity:
            return "humidity";
        case kTypeSwitch:
            return "switch";
        default:
            return "unknown";
    }
}

std::string_view StatusName(int status) {
    switch (status) {
        case kStatusOff:
            return "off";
        case kStatusInhibit:
            return "inhibit";
        default:
            return "active";
    }
}

std::optional<LiveTimeAlarm> TimeAlarmNote(const StandingTimeAlarm& standing) {
    switch (standing.side) {
        case kTimeAlarmHigh:
            return LiveTimeAlarm{"high", standing.minutes};
        case kTimeAlarmLow:
            return LiveTimeAlarm{"low", standing.minutes};
        default:
            return std::nullopt;
    }
}

LiveRow RowFromRecord(const SensorRecord& record, int index) {
    LiveRow row;
    row.rom = RomToHex(record.Rom);
    row.index = index;
    row.name = record.Name;
    row.type = std::string(TypeName(record.SensorType));
    row.units = record.Units;
    row.status = std::string(StatusName(record.Status));
    row.alarm = record.AlarmState;
    row.lost = record.AlarmState == kAlarmLost;
    if (!IsErrorValue(record.Value) && record.Status != kStatusOff && !row.lost) {
        row.value = record.Value;
    }
    return row;
}

std::string SnapshotJson(const LiveSnapshot& snapshot) {
    json probes = json::array();
    for (const LiveRow& row : snapshot.probes) {
        probes.push_back(RowObject(row));
    }
    return JsonText(json{{"time", IsoTime(snapshot.time)},
                         {"station", StationObject(snapshot.station)},
                         {"probes", probes}});
}

std::string RowJson(const LiveRow& row) {
    return JsonText(RowObject(row));
}

LiveChange Compare(const LiveSnapshot& before, const LiveSnapshot& after) {
    LiveChange change;
    if (before.probes.size() != after.probes.size()) {
        change.needsSnapshot = true;
        return change;
    }
    json rows = json::array();
    for (std::size_t i = 0; i < after.probes.size(); ++i) {
        if (before.probes[i].rom != after.probes[i].rom) {
            change.needsSnapshot = true;
            return change;
        }
        if (!(before.probes[i] == after.probes[i])) {
            rows.push_back(RowObject(after.probes[i]));
        }
    }
    const bool stationChanged = !(before.station == after.station);
    if (rows.empty() && !stationChanged) {
        return change;
    }
    json update{{"time", IsoTime(after.time)}, {"probes", rows}};
    if (stationChanged) {
        update["station"] = StationObject(after.station);
    }
    change.update = JsonText(update);
    return change;
}

}  // namespace qrv::web
