#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "sensors/sensor_record.h"

namespace qrv {

class ProbeEditor;

// Which set of alarm controls the panel shows for a probe.
enum class ProbePanelKind {
    kAnalog,     // temperature and humidity: limits, pre-alarm limits, units
    kSwitch,     // status sensor: the contact state that means alarm
    kUnchanged,  // a family the station does not measure: leave the panel as it is
};

// What the panel shows beside the editable values.
struct ProbePanelDisplay {
    ProbePanelKind kind = ProbePanelKind::kAnalog;
    std::string typeText;        // "Temperature probe", ...; empty with kUnchanged
    std::string units;           // beside the four limits
    std::string networkAddress;  // twelve hex digits of the serial number
    std::string warning;         // empty: the warning line is hidden
};

// The editable controls of the panel, as shown and as read back.
struct ProbePanelValues {
    std::string name;  // the name box's text
    int status = kStatusActive;
    int alarmLow = 0;
    int alarmHigh = 0;
    int tripLow = 0;
    int tripHigh = 0;
    int switchAlarmState = 0;  // 0 closed, 1 open
    int alarmDelayMinutes = 0;
    int tripDelayMinutes = 0;
    std::array<AlarmWindow, 7> windows{};  // Monday first, quarter-hours 0..96
    bool sms = false;
    bool relay = false;
    // Why the settings change, for the audit trail; optional, read only.
    std::string reason;
};

enum class LimitField { kAlarmHigh, kAlarmLow, kTripHigh, kTripLow };

// The calibration section: the probe's calibration as it stands and whether
// it is due, beside the fields of a new one.
struct CalibrationPanelDisplay {
    bool shown = false;   // hidden for a switch and where the station keeps none
    std::string current;  // the calibration in force, or that there is none
    std::string due;      // "due soon" or "overdue"; empty otherwise
    bool canClear = false;
};

// The probe's last reading before and after its calibration.
struct CalibrationReadings {
    std::string raw;
    std::string corrected;
};

// A new calibration as typed: an offset, or two points of a reference and
// the probe's raw reading at it.
struct CalibrationPanelValues {
    bool twoPoint = false;
    double offset = 0.0;
    std::array<double, 4> points{};  // reference 1, reading 1, reference 2, reading 2
    std::string date;
    std::string instrument;
    std::string certificate;
    std::string nextDue;
};

// The thresholds of the alarm on the minutes out of range in the last 24
// hours as typed: text, so that what is no number can be refused with a
// reason; an empty field is a side without alarm.
struct TimeAlarmPanelValues {
    std::string minutesAbove;
    std::string minutesBelow;
};

struct TimeAlarmPanelDisplay {
    bool shown = false;     // hidden for a switch and where the station keeps none
    bool editable = false;  // false while the thresholds' file cannot be read
    std::string problem;    // why it cannot be read; empty otherwise
};

// The probe settings panel as the editing rules see it. An implementation
// shows values and reads them back, and turns the user's actions into calls
// of the ProbeEditor it was loaded for (Leave for OK, the close box and
// Back; the menu commands; the field callbacks).
class ProbeEditorView {
  public:
    virtual ~ProbeEditorView() = default;

    // Loads the panel, labels it in the language and connects it to the
    // editor; without navigation stepping and deleting are dimmed. False when
    // the panel cannot be loaded.
    virtual bool LoadPanel(ProbeEditor& editor, int taal, bool navigation) = 0;
    virtual void ShowNewProbeLine(bool show) = 0;
    virtual void Show(const ProbePanelDisplay& display, const ProbePanelValues& values) = 0;
    // The four limit fields only.
    virtual void ShowLimits(const ProbePanelValues& values) = 0;
    // Marks the limits the ordering rules moved after the user's change and
    // says so on the panel's status line; none: the marks and the line are
    // cleared.
    virtual void ShowMovedLimits(const std::vector<LimitField>& moved, std::string_view note) = 0;
    // One weekday's start and stop rings.
    virtual void ShowWindow(int day, const AlarmWindow& window) = 0;
    virtual void ShowWarning(std::string_view warning) = 0;
    virtual void SetNameText(std::string_view name) = 0;
    virtual void FocusName() = 0;
    virtual ProbePanelValues Read() const = 0;
    virtual void ShowCalibration(const CalibrationPanelDisplay& display,
                                 const CalibrationPanelValues& values) = 0;
    virtual void ShowCalibrationReadings(const CalibrationReadings& readings) = 0;
    virtual CalibrationPanelValues ReadCalibration() const = 0;
    virtual void ShowTimeAlarm(const TimeAlarmPanelDisplay& display,
                               const TimeAlarmPanelValues& values) = 0;
    virtual TimeAlarmPanelValues ReadTimeAlarm() const = 0;
    // Shows the panel modally and returns once EndModal has been called.
    virtual void RunModal() = 0;
    virtual void EndModal() = 0;
    virtual void DiscardPanel() = 0;
};

}  // namespace qrv
