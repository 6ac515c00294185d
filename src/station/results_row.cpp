#include "station/results_row.h"

#include "reports/value_text.h"
#include "runtime/formats.h"
#include "text/texts.h"

namespace qrv::shell {

using text::Key;

namespace {

constexpr std::string_view kOffValue = "   --------";
constexpr std::string_view kLostValue = "????";
constexpr int kNoCountdown = 32001;
constexpr int kLongestCountdown = 31999;

std::string ValueText(const SensorRecord& record, int taal) {
    if (record.Status == kStatusOff) {
        return std::string(kOffValue);
    }
    if (record.AlarmState == kAlarmLost) {
        return std::string(kLostValue);
    }
    switch (record.SensorType) {
        case kTypeTemperature:
        case kTypeHumidity:
            if (InDisplayRange(record.SensorType, record.Value, ValuePlace::BigView)) {
                return ValueWithUnits(record.Value, record.Units);
            }
            break;
        case kTypeSwitch:
            if (std::string contact; SwitchStateText(record.Value, taal, contact)) {
                return " " + contact;
            }
            break;
        default:
            break;
    }
    return std::string(kWideDashText);
}

std::string StatusText(int status, int taal) {
    switch (status) {
        case kStatusActive:
            return text::Plain(Key::TXT_PROBE_STATUS_ON, taal);
        case kStatusOff:
            return text::Plain(Key::TXT_PROBE_STATUS_OFF, taal);
        case kStatusInhibit:
            return text::Plain(Key::TXT_PROBE_STATUS_INH, taal);
        default:
            return {};
    }
}

std::string Countdown(Key key, int seconds, int taal) {
    return text::Plain(key, taal) + notation::Int(seconds / 60 + 1, 3) + " min.";
}

// The alarm column and the colours it gives the row.
void AlarmColumn(const SensorRecord& record, int taal, ResultsRow& row) {
    std::string& cell = row.cells[3];
    const int state = record.AlarmState;
    const auto alarm = [&](Key key) {
        cell = text::Plain(key, taal);
        row.background = results_colors::kAlarm;
        row.text = results_colors::kAlarmText;
    };
    if (record.Status == kStatusInhibit && state == kAlarmLost) {
        alarm(Key::TXT_PROBE_STATUS_LOST);
        return;
    }
    if (record.Status != kStatusActive) {
        return;
    }
    switch (state) {
        case kAlarmHigh:
            alarm(Key::TXT_PROBE_STATUS_HIGH);
            return;
        case kAlarmLow:
            alarm(Key::TXT_PROBE_STATUS_LOW);
            return;
        case kAlarmLost:
            alarm(Key::TXT_PROBE_STATUS_LOST);
            return;
        case kPreAlarmHigh:
        case kPreAlarmLow:
            cell = text::Plain(state == kPreAlarmHigh ? Key::TXT_PROBE_STATUS_PREHIGH
                                                      : Key::TXT_PROBE_STATUS_PRELOW,
                               taal);
            row.background = results_colors::kPreAlarm;
            return;
        case kAlarmNone:
            break;
        default:
            return;
    }
    const int alarmCount = record.AlarmDelayCount;
    const int tripCount = record.TripDelayCount;
    const int alarmLeft = alarmCount >= 1 ? record.AlarmDelay - alarmCount : kNoCountdown;
    const int tripLeft = tripCount >= 1 ? record.TripDelay - tripCount : kNoCountdown;
    const double value = record.Value;
    if (alarmLeft <= kLongestCountdown && alarmLeft <= tripLeft) {
        cell =
            Countdown(value < record.AlarmHigh ? Key::TXT_PROBE_WAIT_LOW : Key::TXT_PROBE_WAIT_HIGH,
                      alarmLeft, taal);
        row.background = results_colors::kCountdown;
    } else if (tripLeft <= kLongestCountdown && tripLeft < alarmLeft) {
        cell = Countdown(
            value < record.TripHigh ? Key::TXT_PROBE_WAIT_PRELOW : Key::TXT_PROBE_WAIT_PREHIGH,
            tripLeft, taal);
        row.background = results_colors::kCountdown;
    }
}

}  // namespace

ResultsRow BuildResultsRow(const SensorRecord& record, int taal, bool acknowledged) {
    ResultsRow row;
    row.cells[0] = " " + record.Name;
    row.cells[1] = ValueText(record, taal);
    row.cells[2] = StatusText(record.Status, taal);
    AlarmColumn(record, taal, row);
    const bool inAlarm =
        row.background == results_colors::kAlarm || row.background == results_colors::kPreAlarm;
    if (acknowledged && inAlarm) {
        row.cells[3] += " (" + text::Plain(Key::TXT_ROW_ACKNOWLEDGED, taal) + ")";
    }
    return row;
}

ResultsHeaders BuildResultsHeaders(const std::string& networkName, int taal,
                                   int generalAlarmEnable) {
    ResultsHeaders headers;
    headers.titles[0] = networkName;
    headers.titles[1] = text::Plain(Key::TXT_LIST_PROBE_RESULTS, taal);
    headers.titles[2] = text::Plain(Key::TXT_LIST_PROBE_STATUS, taal);
    if (generalAlarmEnable != 0) {
        headers.titles[3] = text::Plain(Key::TXT_LIST_PROBE_ALARM_ENA_STAT, taal);
        headers.alarmTitleColor = results_colors::kAlarmsOnHeading;
    } else {
        headers.titles[3] = text::Plain(Key::TXT_LIST_PROBE_ALARM_DIS_STAT, taal);
        headers.alarmTitleColor = results_colors::kAlarmsOffHeading;
    }
    return headers;
}

}  // namespace qrv::shell
