#include "mqtt/probe_payloads.h"

#include <cmath>

#include <fmt/format.h>

#include "mqtt/json_text.h"
#include "sensors/rom_text.h"
#include "text/texts.h"

namespace qrv::mqtt {

namespace {

constexpr int kEnglish = 0;

// The "not read yet" mark and every error code lie below the error limit.
std::optional<double> ReadingOf(double value) {
    if (IsErrorValue(value)) {
        return std::nullopt;
    }
    return value;
}

std::string StatusText(int status) {
    switch (status) {
        case kStatusActive:
            return "on";
        case kStatusOff:
            return "off";
        case kStatusInhibit:
            return "on, no alarm";
        default:
            return "unknown";
    }
}

std::string UnitOf(int sensorType) {
    switch (sensorType) {
        case kTypeTemperature:
            return "\u00B0C";
        case kTypeHumidity:
            return "%";
        default:
            return "";
    }
}

// Readings keep the probe's resolution without the noise of the humidity
// smoothing's thirds in the last digits.
double Rounded(double value) {
    return std::round(value * 1000.0) / 1000.0;
}

nlohmann::json TimeJson(const std::optional<LocalDateTime>& time) {
    return time ? nlohmann::json(IsoTime(*time)) : nlohmann::json(nullptr);
}

// The object the web dashboard's rows carry too, so one reader serves both.
nlohmann::json TimeAlarmJson(const std::optional<StandingTimeAlarm>& timeAlarm) {
    if (!timeAlarm || (timeAlarm->side != kTimeAlarmHigh && timeAlarm->side != kTimeAlarmLow)) {
        return nullptr;
    }
    return {{"side", timeAlarm->side == kTimeAlarmHigh ? "high" : "low"},
            {"minutes", timeAlarm->minutes}};
}

}  // namespace

PublishedProbe PublishedProbeOf(const SensorRecord& record, const LocalDateTime& now) {
    PublishedProbe probe;
    probe.rom = record.Rom;
    probe.name = record.Name;
    probe.sensorType = record.SensorType;
    probe.status = record.Status;
    probe.alarm = record.AlarmState;
    probe.previousAlarm = record.AlarmState;
    probe.value = ReadingOf(record.Value);
    if (probe.value) {
        probe.time = now;
    }
    return probe;
}

std::string IsoTime(const LocalDateTime& time) {
    return fmt::format("{:04}-{:02}-{:02}T{:02}:{:02}:{:02}", time.year, time.month, time.day,
                       time.hour, time.minute, time.second);
}

std::string AlarmText(int alarm) {
    // The views' own English status texts; programs that read the payloads
    // should not follow the station's language.
    switch (alarm) {
        case kAlarmNone:
            return "OK";
        case kAlarmHigh:
            return text::Plain(text::Key::TXT_PROBE_STATUS_HIGH, kEnglish);
        case kAlarmLow:
            return text::Plain(text::Key::TXT_PROBE_STATUS_LOW, kEnglish);
        case kPreAlarmHigh:
            return text::Plain(text::Key::TXT_PROBE_STATUS_PREHIGH, kEnglish);
        case kPreAlarmLow:
            return text::Plain(text::Key::TXT_PROBE_STATUS_PRELOW, kEnglish);
        case kAlarmLost:
            return text::Plain(text::Key::TXT_PROBE_STATUS_LOST, kEnglish);
        default:
            return "Unknown";
    }
}

std::string ProbeStateJson(const PublishedProbe& probe) {
    const bool shown = probe.value && probe.status != kStatusOff && probe.alarm != kAlarmLost;
    nlohmann::json json;
    json["name"] = probe.name;
    json["rom"] = RomToHex(probe.rom);
    json["value"] = shown ? nlohmann::json(Rounded(*probe.value)) : nlohmann::json(nullptr);
    json["unit"] = UnitOf(probe.sensorType);
    if (probe.sensorType == kTypeSwitch) {
        json["contact"] =
            shown ? nlohmann::json(std::lround(*probe.value) != 0 ? "ON" : "OFF") : nullptr;
    }
    json["status"] = StatusText(probe.status);
    json["alarm"] = AlarmText(probe.alarm);
    json["alarm_code"] = probe.alarm;
    json["time"] = TimeJson(probe.time);
    if (probe.sensorType == kTypeTemperature || probe.sensorType == kTypeHumidity) {
        json["time_alarm"] = TimeAlarmJson(probe.timeAlarm);
    }
    return JsonText(json);
}

std::string ProbeAttributesJson(const PublishedProbe& probe) {
    nlohmann::json json;
    json["rom"] = RomToHex(probe.rom);
    json["status"] = StatusText(probe.status);
    if (probe.sensorType == kTypeTemperature || probe.sensorType == kTypeHumidity) {
        json["time_alarm"] = TimeAlarmJson(probe.timeAlarm);
    }
    return JsonText(json);
}

std::string ProbeAlarmJson(const PublishedProbe& probe) {
    nlohmann::json json;
    json["name"] = probe.name;
    json["rom"] = RomToHex(probe.rom);
    json["state"] = AlarmText(probe.alarm);
    json["code"] = probe.alarm;
    json["previous"] = AlarmText(probe.previousAlarm);
    json["previous_code"] = probe.previousAlarm;
    json["time"] = TimeJson(probe.alarmTime);
    return JsonText(json);
}

std::optional<std::string> StationEventJson(const LiveEvent& event) {
    std::string name;
    switch (event.kind) {
        case LiveEventKind::kStored:
            name = "stored";
            break;
        case LiveEventKind::kStoreFailed:
            name = "store_failed";
            break;
        case LiveEventKind::kNetworkLost:
            name = "network_lost";
            break;
        case LiveEventKind::kNetworkBack:
            name = "network_back";
            break;
        case LiveEventKind::kAcquisitionPaused:
            name = "acquisition_paused";
            break;
        case LiveEventKind::kAcquisitionResumed:
            name = "acquisition_resumed";
            break;
        default:
            return std::nullopt;
    }
    nlohmann::json json;
    json["event"] = name;
    json["time"] = IsoTime(event.time);
    if (event.kind == LiveEventKind::kStoreFailed) {
        json["reason"] = event.reason;
    }
    return JsonText(json);
}

}  // namespace qrv::mqtt
