#include "acquisition/alarm_texts.h"

#include <array>
#include <cmath>

#include <fmt/format.h>

#include "runtime/date_strings.h"
#include "runtime/formats.h"
#include "text/texts.h"

namespace qrv::acquisition {

using text::Key;

namespace {

Key LabelKey(int code) {
    switch (code) {
        case kAlarmHigh:
            return Key::TXT_LOG_ALARM_TO_HIGH;
        case kAlarmLow:
            return Key::TXT_LOG_ALARM_TO_LOW;
        case kPreAlarmHigh:
            return Key::TXT_LOG_ALARM_PRE_HIGH;
        case kPreAlarmLow:
            return Key::TXT_LOG_ALARM_PRE_LOW;
        case kAlarmLost:
            return Key::TXT_LOG_ALARM_LOST_SENSOR;
        case kAlarmEndedMessage:
            return Key::TXT_LOG_ALARM_ENDED;
        case kTimeAlarmHigh:
            return Key::TXT_LOG_ALARM_TIME_HIGH;
        case kTimeAlarmLow:
            return Key::TXT_LOG_ALARM_TIME_LOW;
        case kTimeAlarmEnded:
            return Key::TXT_LOG_ALARM_TIME_ENDED;
        default:
            return Key::TXT_LOG_ALARM_UNKNOWN;
    }
}

// The contact text of a switch value (truncated): "" for anything but 0 and 1.
std::string SwitchText(double value, int taal) {
    const double contact = std::trunc(value);
    if (contact == 0.0) {
        return text::Plain(Key::TXT_SWITCH_CLOSED, taal);
    }
    if (contact == 1.0) {
        return text::Plain(Key::TXT_SWITCH_OPEN, taal);
    }
    return {};
}

// " 61 min in 24 h": what the alarm on the time out of range counts.
std::string MinutesInDay(int minutes, int taal) {
    return fmt::format("{:4d}", minutes) + text::Plain(Key::TXT_LOG_TIME_IN_DAY, taal);
}

std::string ClearReasonText(AlarmClearReason reason) {
    // In the order of AlarmClearReason; fixed English like the unit's messages.
    static constexpr std::array<std::string_view, 5> kReasons{"probe not found", "network stopped",
                                                              "network not installed",
                                                              "probes deleted", "alarms disabled"};
    return std::string(kReasons[static_cast<std::size_t>(reason)]);
}

// The pieces every alarm SMS is made of, around the value part.
std::string SmsText(int code, std::string_view name, std::string_view valuePart, int taal,
                    const LocalDateTime& now, std::string_view networkName) {
    std::string sms = text::Plain(Key::TXT_SENT_PRE_TEXT, taal) + "  ";
    sms += " " + AlarmLabel(code, taal);
    sms.append("   ").append(name).append("  ");
    sms += valuePart;
    sms += EuroDate(now) + ", ";
    sms += TimeText(now) + ",  ";
    sms += networkName;
    return sms;
}

}  // namespace

std::string AlarmLabel(int code, int taal) {
    return text::Plain(LabelKey(code), taal);
}

std::string ProbeAlarmMessage(int code, const SensorRecord& record, int taal) {
    std::string message = AlarmLabel(code, taal) + "  " + record.Name;
    if (code == kAlarmLost) {
        return message;
    }
    if (record.SensorType == kTypeSwitch) {
        const std::string contact = SwitchText(record.Value, taal);
        if (!contact.empty()) {
            message += " " + contact;
        }
        return message;
    }
    return message + "  " + notation::Real(record.Value, 1, 6) + record.Units;
}

std::string ClearedAlarmMessage(AlarmClearReason reason, const SensorRecord& record) {
    return "Alarm cleared, " + ClearReasonText(reason) + ":  " + record.Name;
}

std::string ClearedTimeAlarmMessage(AlarmClearReason reason, std::string_view name) {
    return "Time alarm cleared, " + ClearReasonText(reason) + ":  " + std::string(name);
}

std::string TimeAlarmMessage(int code, std::string_view name, int minutes, int taal) {
    return AlarmLabel(code, taal) + "  " + std::string(name) + "  " + MinutesInDay(minutes, taal);
}

std::string TimeAlarmSmsText(int code, std::string_view name, int minutes, int taal,
                             const LocalDateTime& now, std::string_view networkName) {
    return SmsText(code, name, MinutesInDay(minutes, taal) + ",", taal, now, networkName);
}

std::string AlarmSmsText(int code, const SensorRecord& record, int taal, const LocalDateTime& now,
                         std::string_view networkName) {
    std::string sms;
    if (code != kAlarmLost) {
        switch (record.SensorType) {
            case kTypeTemperature:
                sms += notation::Real(record.Value, 1, 6) + " C,";
                break;
            case kTypeHumidity:
                sms += notation::Real(record.Value, 1, 6) + " %,";
                break;
            case kTypeSwitch:
                if (const std::string contact = SwitchText(record.Value, taal); !contact.empty()) {
                    sms += contact + " ,";
                }
                break;
            default:
                sms += notation::Real(record.Value, 1, 6) + " ,";
                break;
        }
    }
    return SmsText(code, record.Name, sms, taal, now, networkName);
}

std::string TestSmsText(std::string_view typed, int taal, const LocalDateTime& now,
                        std::string_view networkName) {
    std::string sms = text::Plain(Key::TXT_SENT_PRE_TEXT, taal) + "  ";
    sms.append(typed).append("\n  ");
    sms += EuroDate(now) + ", ";
    sms += TimeText(now) + ",  ";
    sms += networkName;
    return sms;
}

}  // namespace qrv::acquisition
