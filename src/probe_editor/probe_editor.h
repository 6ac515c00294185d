#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "probe_editor/calibration_section.h"
#include "probe_editor/probe_editor_view.h"
#include "probe_editor/time_alarm_section.h"
#include "runtime/clock.h"
#include "runtime/dialogs.h"
#include "runtime/event_log.h"
#include "sensors/shared_sensor_table.h"

namespace qrv {

// Results of DoeProbeSettingMenu.
inline constexpr int kEditorPanelMissing = -1;
inline constexpr int kEditorNothingSaved = 0;
inline constexpr int kEditorSaved = 1;
inline constexpr int kEditorDeleted = 2;

// Results of GetDataFromScreen.
inline constexpr int kScreenNoName = -1;
inline constexpr int kScreenNameExists = -2;
inline constexpr int kScreenNameNotStorable = -3;

struct ProbeEditorContext {
    SharedSensorTable& table;
    Dialogs& dialogs;
    const Clock& clock;
    EventLog& log;
    std::filesystem::path snsFile;
    int taal = 0;
    bool demoMode = false;
    // Pauses acquisition before a delete changes the table's membership.
    std::function<void()> stopNetworkTimer;
    // Without it the panel has no calibration section.
    std::optional<CalibrationAccess> calibration = std::nullopt;
    // Without it the panel has no time-out-of-range section.
    std::optional<TimeAlarmAccess> timeAlarm = std::nullopt;
};

// The probe settings panel's rules: a working copy of one record, checked and
// written back only when the user confirms. Qt-free; a ProbeEditorView shows
// it and forwards the user's actions to the public operations below.
class ProbeEditor {
  public:
    ProbeEditor(ProbeEditorContext context, ProbeEditorView& view)
        : context_(std::move(context)),
          view_(view),
          calibration_(context_.calibration ? &*context_.calibration : nullptr, context_.table,
                       context_.dialogs, context_.clock, context_.taal, view_),
          timeAlarm_(context_.timeAlarm ? &*context_.timeAlarm : nullptr, context_.dialogs,
                     context_.taal, view_) {}
    ProbeEditor(const ProbeEditor&) = delete;
    ProbeEditor& operator=(const ProbeEditor&) = delete;

    // Opens the panel modally on the record at index. Returns kEditorDeleted,
    // kEditorSaved (the last leave saved), kEditorNothingSaved, or
    // kEditorPanelMissing.
    int DoeProbeSettingMenu(int index, bool isNew, bool allowNavigation);

    // OK, the close box and Back.
    void Leave();
    void NextProbe();
    void PrevProbe();
    void UndoProbe();
    void ClearProbe();
    void DeleteProbe();
    // Field callbacks.
    void NameCommitted();
    void StatusChanged();
    void LimitChanged(LimitField field);
    void WindowStartChanged(int day);
    void WindowStopChanged(int day);
    // The calibration section, which keeps its own file: a calibration is
    // saved or removed at once, whatever becomes of the probe's settings.
    void SetCalibration() { calibration_.Set(); }
    void ClearCalibration() { calibration_.Clear(); }
    void TakeRawReading(int point) { calibration_.TakeRawReading(point); }
    // The open panel's readings follow the acquisition.
    void RefreshReadings() { calibration_.RefreshReadings(); }

    const SensorRecord& EditRecord() const { return edit_; }
    // The reason typed when the panel last saved or kept changes, blanks
    // around it dropped; empty when none was given. It goes with every audit
    // line of those changes.
    const std::string& Reason() const { return reason_; }
    int EditIndex() const { return editIndex_; }

    // Reads the screen into the working copy: 0, kScreenNoName,
    // kScreenNameExists or kScreenNameNotStorable (after telling the user).
    int GetDataFromScreen();
    // 1 when the working copy differs from the record in the table.
    int ProbeDataChanged();

  private:
    void GetDataFromStruct();
    void PutSensorDataToStruct();
    void SetDataToScreen(bool focusName);
    void InitDataToScreen();
    bool CheckIfNameAlreadyExists(const std::string& name) const;
    void ReadFieldsIntoCopy(const ProbePanelValues& values);
    ProbePanelValues ValuesOfCopy();
    ProbePanelDisplay DisplayOfCopy() const;
    std::string WarningFor(int status) const;
    void Step(int direction);
    bool WriteSensorFile();
    // Takes the reason field; false, after telling the user, when it holds
    // a control character.
    bool TakeReason();
    void Popup(std::string_view message);
    void EndPanel();

    ProbeEditorContext context_;
    ProbeEditorView& view_;
    CalibrationSection calibration_;
    TimeAlarmSection timeAlarm_;
    SensorRecord edit_;
    std::string reason_;
    int editIndex_ = 0;
    bool isNew_ = false;
    bool navigation_ = false;
    bool saved_ = false;
    bool deleted_ = false;
    bool nameEmpty_ = false;
    // Changes kept in the table while stepping, not yet in the sensor file.
    bool keptInTable_ = false;
};

// The four limits after the user changed one of them: alarm high and low
// pull the pre-alarm limit on their side along, a pre-alarm limit is kept
// between the other pre-alarm limit and its alarm limit.
void CorrectLimits(LimitField field, int& alarmLow, int& alarmHigh, int& tripLow, int& tripHigh);

// "HH:MM" of a quarter-hour of the day, 0 (00:00) to 96 (24:00).
std::string QuarterHourText(int quarterHour);

// Asks whether every probe should get `status`; on Yes pauses acquisition
// (the caller's pause) and sets the status of every used record. 1 on Yes,
// else 0.
int DoneAllSensorsSettings(SharedSensorTable& table, Dialogs& dialogs, int taal, int status,
                           const std::function<void()>& pauseAcquisition);

}  // namespace qrv
