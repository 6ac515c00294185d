#include "reports/value_text.h"

#include <cmath>

#include "runtime/formats.h"
#include "sensors/sensor_record.h"
#include "text/texts.h"

namespace qrv {

using text::Key;

std::string ValueWithUnits(double value, std::string_view units) {
    return notation::Real(value, 1, 6) + std::string(units);
}

bool InDisplayRange(int probeType, double value, ValuePlace place) {
    if (probeType == kTypeHumidity) {
        return place == ValuePlace::BigView ? value >= 0.1 && value <= 100.0
                                            : value >= 0.1 && value < 99.9;
    }
    return value >= -49.9 && value <= 124.9;
}

bool SwitchStateText(double value, int taal, std::string& text) {
    // Truncated as a double: a cast of a value beyond int (or NaN) would be undefined.
    const double state = std::trunc(value);
    if (state == 0.0) {
        text = text::Plain(Key::TXT_SWITCH_CLOSED, taal);
        return true;
    }
    if (state == 1.0) {
        text = text::Plain(Key::TXT_SWITCH_OPEN, taal);
        return true;
    }
    return false;
}

std::string PrintedSwitchText(double value, int taal) {
    return text::Plain(value < 0.5 ? Key::TXT_SWITCH_CLOSED : Key::TXT_SWITCH_OPEN, taal);
}

std::string MaxLine(double value, std::string_view units) {
    return "Max: " + ValueWithUnits(value, units);
}

std::string MinLine(double value, std::string_view units) {
    return "Min: " + ValueWithUnits(value, units);
}

std::string ProbeTypeLine(int probeType, int taal) {
    switch (probeType) {
        case kTypeTemperature:
            return text::Plain(Key::TXT_PROBE_TEMPERATURE, taal);
        case kTypeHumidity:
            return text::Plain(Key::TXT_PROBE_HUMIDITY, taal);
        case kTypeSwitch:
            return text::Plain(Key::TXT_PROBE_SWITCH, taal);
        default:
            return text::Plain(Key::TXT_PROBE_UNKNOWN, taal);
    }
}

std::string ValueAxisTitle(int probeType, std::string_view units, int taal) {
    switch (probeType) {
        case kTypeHumidity:
            return text::Plain(Key::QRVNL_HUMIDITY, taal) + std::string(units);
        case kTypeSwitch:
            return text::Plain(Key::QRVNL_SWITCH, taal);
        default:
            return text::Plain(Key::QRVNL_TEMPERATURE, taal) + std::string(units);
    }
}

}  // namespace qrv
