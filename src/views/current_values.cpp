#include "views/current_values.h"

#include <algorithm>

#include <fmt/format.h>

#include "reports/printouts/day_pages.h"
#include "reports/value_text.h"
#include "text/texts.h"

namespace qrv::views {

using text::Key;

namespace {

std::string AlarmStateText(const ProbeState& probe, int taal) {
    const bool temperature = probe.sensorType == kTypeTemperature;
    const bool humidity = probe.sensorType == kTypeHumidity;
    Key key = Key::TXT_PROBE_IS_ON;
    switch (probe.alarmState) {
        case kAlarmHigh:
            key = temperature                       ? Key::TXT_PROBE_TO_HOT
                  : humidity                        ? Key::TXT_HUMIDITY_TO_HIGH
                  : probe.sensorType == kTypeSwitch ? Key::TXT_SWITCH_ALARM
                                                    : Key::TXT_PROBE_IS_ON;
            break;
        case kAlarmLow:
            key = temperature ? Key::TXT_PROBE_TO_COLD
                  : humidity  ? Key::TXT_HUMIDITY_TO_LOW
                              : Key::TXT_PROBE_IS_ON;
            break;
        case kPreAlarmHigh:
            key = temperature ? Key::TXT_PROBE_PRE_HOT
                  : humidity  ? Key::TXT_HUMIDITY_PRE_HIGH
                              : Key::TXT_PROBE_IS_ON;
            break;
        case kPreAlarmLow:
            key = temperature ? Key::TXT_PROBE_PRE_COLD
                  : humidity  ? Key::TXT_HUMIDITY_PRE_LOW
                              : Key::TXT_PROBE_IS_ON;
            break;
        case kAlarmLost:
            key = Key::TXT_PROBE_IS_LOST;
            break;
        default:
            break;
    }
    return text::Plain(key, taal);
}

std::uint32_t AlarmColour(int alarmState) {
    switch (alarmState) {
        case kAlarmHigh:
        case kAlarmLow:
        case kAlarmLost:
            return kAlarmRed;
        case kPreAlarmHigh:
        case kPreAlarmLow:
            return kPreAlarmOrange;
        default:
            return kBlack;
    }
}

}  // namespace

BigViewTexts MakeBigView(const ProbeState& probe, bool communicationError, int taal) {
    BigViewTexts view;
    if (communicationError) {
        view.stateText = " ";
        view.valueText = " ";
        return view;
    }
    switch (probe.status) {
        case kStatusOff:
            view.stateText = text::Plain(Key::TXT_PROBE_IS_OFF, taal);
            break;
        case kStatusInhibit:
            view.stateText = text::Plain(Key::TXT_PROBE_IS_INHIBIT, taal);
            break;
        default:
            view.stateText = AlarmStateText(probe, taal);
            break;
    }
    view.valueColour = AlarmColour(probe.alarmState);
    if (probe.status == kStatusOff) {
        view.valueText = "-----";
    } else if (IsErrorValue(probe.value)) {
        // A failed first reading stored by the network scan: the table's lost text.
        view.valueText = "????";
        view.valueColour = kAlarmRed;
    } else if (probe.sensorType == kTypeSwitch) {
        if (!SwitchStateText(probe.value, taal, view.valueText)) {
            view.valueText = kDashText;
        }
    } else if (InDisplayRange(probe.sensorType, probe.value, ValuePlace::BigView)) {
        view.valueText = ValueWithUnits(probe.value, probe.units);
        if (probe.rawValue && *probe.rawValue != probe.value && !IsErrorValue(*probe.rawValue)) {
            std::string raw = ValueWithUnits(*probe.rawValue, probe.units);
            raw.erase(0, raw.find_first_not_of(' '));
            view.rawText = text::Plain(Key::TXT_CALIB_RAW, taal) + " " + raw;
        }
    } else {
        view.valueText = kDashText;
    }
    return view;
}

std::string CursorTimeText(int minutes) {
    return fmt::format("{:02d}:{:02d}", minutes / 60, minutes % 60);
}

std::string CursorValueText(int probeType, double value, std::string_view units, int taal) {
    if (probeType == kTypeSwitch) {
        std::string state;
        return SwitchStateText(value, taal, state) ? " " + state : std::string(kWideDashText);
    }
    if (!InDisplayRange(probeType, value, ValuePlace::Readout)) {
        return std::string(kDashText);
    }
    return ValueWithUnits(value, units);
}

int StepIndex(int index, int last, bool forward) {
    if (last < 0) {
        return 0;
    }
    if (forward) {
        return index >= last ? 0 : index + 1;
    }
    return index <= 0 ? last : index - 1;
}

int CursorIndexForTime(std::span<const std::int32_t> minutes, int cursorTime) {
    if (minutes.empty()) {
        return -1;
    }
    const auto found = std::find_if(minutes.begin(), minutes.end(),
                                    [cursorTime](std::int32_t m) { return m >= cursorTime; });
    return found == minutes.end() ? static_cast<int>(minutes.size()) - 1
                                  : static_cast<int>(found - minutes.begin());
}

GraphModel TodayGraph(const TodayView& today, int keuzeGraphStyle, int taal) {
    return DayGraph(TodaySeries(today), kScreenAxisMargin,
                    ScreenPlotStyle(keuzeGraphStyle, today.ViewProbeType), 1, taal);
}

}  // namespace qrv::views
