#include "acquisition/alarm_texts.h"

#include <array>
#include <cmath>

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
    // In the order of AlarmClearReason; fixed English like the unit's messages.
    static constexpr std::array<std::string_view, 5> kReasons{"probe not found", "network stopped",
                                                              "network not installed",
                                                              "probes deleted", "alarms disabled"};
    return "Alarm cleared, " + std::string(kReasons[static_cast<std::size_t>(reason)]) + ":  " +
           record.Name;
}

std::string AlarmSmsText(int code, const SensorRecord& record, int taal, const LocalDateTime& now,
                         std::string_view networkName) {
    std::string sms = text::Plain(Key::TXT_SENT_PRE_TEXT, taal) + "  ";
    sms += " " + AlarmLabel(code, taal);
    sms += "   " + record.Name + "  ";
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
    sms += EuroDate(now) + ", ";
    sms += TimeText(now) + ",  ";
    sms += networkName;
    return sms;
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
