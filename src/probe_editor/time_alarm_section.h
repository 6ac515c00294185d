#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>

#include "probe_editor/probe_editor_view.h"
#include "records/time_alarm.h"
#include "runtime/dialogs.h"
#include "sensors/sensor_record.h"

namespace qrv {

// Where the probe editor finds the thresholds of the alarm on the minutes
// out of range in the last 24 hours.
struct TimeAlarmAccess {
    std::filesystem::path file;
    // One audit line per side changed: what, the threshold before and after,
    // the reason given; false when the trail did not take it, and the change
    // is then undone.
    std::function<bool(std::string_view, std::string_view, std::string_view, std::string_view)>
        audit;
};

// A threshold field as typed: empty is a side without alarm, anything else
// must be whole minutes the window can exceed.
struct ThresholdField {
    bool sound = false;
    std::optional<int> minutes;
};
ThresholdField ParseThresholdField(std::string_view text);

// The probe editor's section for the time-out-of-range thresholds. Unlike
// the calibration it has no button of its own: what is typed is saved with
// the probe's other settings when the user confirms them.
class TimeAlarmSection {
  public:
    TimeAlarmSection(const TimeAlarmAccess* access, Dialogs& dialogs, int taal,
                     ProbeEditorView& view)
        : access_(access), dialogs_(dialogs), taal_(taal), view_(view) {}

    // Shows the thresholds the file holds for the probe now.
    void ShowFor(const SensorRecord& probe);
    // Empties both fields, as the panel's Clear does with the other settings.
    void ClearFields();
    // Takes the fields as typed; false, after telling the user, when one
    // holds no threshold.
    bool ReadScreen();
    // What was taken last differs from what the file held.
    bool Changed() const;
    // Writes what was taken last, with one audit line per side changed for
    // `probe` as it is being saved, with the reason given. False, after
    // telling the user, when the file could not be read or written: it is
    // then left as it was.
    bool Save(const SensorRecord& probe, std::string_view reason);

  private:
    void Popup(std::string_view message);

    const TimeAlarmAccess* access_;
    Dialogs& dialogs_;
    int taal_;
    ProbeEditorView& view_;
    TimeAlarmPanelDisplay display_;
    RomCode rom_{};
    std::optional<records::TimeAlarm> stored_;
    std::optional<records::TimeAlarm> wanted_;
};

}  // namespace qrv
