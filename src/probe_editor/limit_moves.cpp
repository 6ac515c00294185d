#include "probe_editor/limit_moves.h"

#include <array>

#include <fmt/format.h>

#include "text/texts.h"

namespace qrv {

namespace {

using text::Key;

int ValueOf(const LimitValues& values, LimitField field) {
    switch (field) {
        case LimitField::kAlarmHigh:
            return values.alarmHigh;
        case LimitField::kAlarmLow:
            return values.alarmLow;
        case LimitField::kTripHigh:
            return values.tripHigh;
        case LimitField::kTripLow:
            break;
    }
    return values.tripLow;
}

// The bound that stopped a typed limit: the other alarm limit for an alarm
// limit; for a pre-alarm limit its alarm limit when it went beyond it, else
// the other pre-alarm limit.
LimitField BoundOf(LimitField field, const LimitValues& typed, const LimitValues& corrected) {
    switch (field) {
        case LimitField::kAlarmHigh:
            return LimitField::kAlarmLow;
        case LimitField::kAlarmLow:
            return LimitField::kAlarmHigh;
        case LimitField::kTripHigh:
            return typed.tripHigh > corrected.alarmHigh ? LimitField::kAlarmHigh
                                                        : LimitField::kTripLow;
        case LimitField::kTripLow:
            break;
    }
    return typed.tripLow < corrected.alarmLow ? LimitField::kAlarmLow : LimitField::kTripHigh;
}

Key NameOf(LimitField field) {
    switch (field) {
        case LimitField::kAlarmHigh:
            return Key::TXT_LIMIT_ALARM_HIGH;
        case LimitField::kAlarmLow:
            return Key::TXT_LIMIT_ALARM_LOW;
        case LimitField::kTripHigh:
            return Key::TXT_LIMIT_TRIP_HIGH;
        case LimitField::kTripLow:
            break;
    }
    return Key::TXT_LIMIT_TRIP_LOW;
}

}  // namespace

std::vector<MovedLimit> MovedLimits(LimitField edited, const LimitValues& typed,
                                    const LimitValues& corrected) {
    static constexpr std::array kOrder{LimitField::kAlarmHigh, LimitField::kAlarmLow,
                                       LimitField::kTripHigh, LimitField::kTripLow};
    std::vector<MovedLimit> moved;
    for (const LimitField field : kOrder) {
        const int value = ValueOf(corrected, field);
        if (value == ValueOf(typed, field)) {
            continue;
        }
        moved.push_back(
            {field, value, field == edited ? BoundOf(field, typed, corrected) : edited});
    }
    return moved;
}

std::string MovedLimitsNote(const std::vector<MovedLimit>& moved, int taal) {
    std::string note;
    for (const MovedLimit& limit : moved) {
        if (!note.empty()) {
            note += ' ';
        }
        note += fmt::format(fmt::runtime(text::Plain(Key::TXT_LIMIT_MOVED, taal)),
                            text::Plain(NameOf(limit.field), taal), limit.value,
                            text::Plain(NameOf(limit.followed), taal));
    }
    return note;
}

}  // namespace qrv
