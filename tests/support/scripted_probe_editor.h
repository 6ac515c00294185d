#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "probe_editor/probe_editor.h"
#include "probe_editor/probe_editor_view.h"

namespace qrv::testing {

// The probe settings panel without a screen: the controls are plain values
// that tests change, and each opening runs a script of user actions. An
// opening without a script types "<autoNamePrefix><n>" and presses OK when
// autoNamePrefix is set. Every opening is recorded as the panel showed it.
class ScriptedProbeEditorView final : public ProbeEditorView {
  public:
    using Action = std::function<void(ScriptedProbeEditorView&, ProbeEditor&)>;

    struct Opening {
        int index = -1;
        bool navigation = false;
        bool newProbeLine = false;
        ProbePanelDisplay display;
        ProbePanelValues values;
    };

    void QueueOpening(std::vector<Action> actions) { scripts_.push_back(std::move(actions)); }

    // Common actions.
    static Action Type(std::string name) {
        return [name](ScriptedProbeEditorView& view, ProbeEditor&) { view.screen.name = name; };
    }
    static Action Press(void (ProbeEditor::*operation)()) {
        return
            [operation](ScriptedProbeEditorView&, ProbeEditor& editor) { (editor.*operation)(); };
    }
    static Action Change(std::function<void(ProbePanelValues&)> change) {
        return [change](ScriptedProbeEditorView& view, ProbeEditor&) { change(view.screen); };
    }

    bool LoadPanel(ProbeEditor& editor, int, bool navigation) override {
        editor_ = &editor;
        navigation_ = navigation;
        screen.reason.clear();  // a new panel, an empty reason field
        return !panelMissing;
    }
    void ShowNewProbeLine(bool show) override { newProbeLine = show; }
    void Show(const ProbePanelDisplay& shown, const ProbePanelValues& values) override {
        display = shown;
        warning = shown.warning;
        // As on the panel, the reason is the user's text: a redisplay keeps it.
        const std::string reason = screen.reason;
        screen = values;
        screen.reason = reason;
    }
    void ShowLimits(const ProbePanelValues& values) override {
        screen.alarmLow = values.alarmLow;
        screen.alarmHigh = values.alarmHigh;
        screen.tripLow = values.tripLow;
        screen.tripHigh = values.tripHigh;
    }
    void ShowMovedLimits(const std::vector<LimitField>& moved, std::string_view note) override {
        movedLimits = moved;
        limitNote = std::string(note);
    }
    void ShowWindow(int day, const AlarmWindow& window) override {
        screen.windows[static_cast<std::size_t>(day)] = window;
    }
    void ShowWarning(std::string_view text) override { warning = std::string(text); }
    void SetNameText(std::string_view name) override { screen.name = std::string(name); }
    void FocusName() override { ++nameFocuses; }
    ProbePanelValues Read() const override { return screen; }
    void ShowCalibration(const CalibrationPanelDisplay& shown,
                         const CalibrationPanelValues& values) override {
        calibrationDisplay = shown;
        calibration = values;
    }
    void ShowCalibrationReadings(const CalibrationReadings& shown) override { readings = shown; }
    CalibrationPanelValues ReadCalibration() const override { return calibration; }
    void ShowTimeAlarm(const TimeAlarmPanelDisplay& shown,
                       const TimeAlarmPanelValues& values) override {
        timeAlarmDisplay = shown;
        timeAlarm = values;
    }
    TimeAlarmPanelValues ReadTimeAlarm() const override { return timeAlarm; }
    void RunModal() override {
        openings.push_back({editor_->EditIndex(), navigation_, newProbeLine, display, screen});
        open_ = true;
        std::vector<Action> script;
        if (!scripts_.empty()) {
            script = std::move(scripts_.front());
            scripts_.pop_front();
        } else if (!autoNamePrefix.empty()) {
            script = {Type(autoNamePrefix + std::to_string(++autoNamed_)),
                      Press(&ProbeEditor::Leave)};
        }
        for (const Action& action : script) {
            if (!open_) {
                break;
            }
            action(*this, *editor_);
        }
        if (open_) {
            // The script ran out with the panel still open: the test is wrong
            // or the editor refused to close.
            ++unfinished;
            open_ = false;
        }
    }
    void EndModal() override { open_ = false; }
    void DiscardPanel() override { editor_ = nullptr; }

    bool IsOpen() const { return open_; }

    ProbePanelValues screen;
    ProbePanelDisplay display;
    CalibrationPanelDisplay calibrationDisplay;
    CalibrationPanelValues calibration;
    CalibrationReadings readings;
    TimeAlarmPanelDisplay timeAlarmDisplay;
    TimeAlarmPanelValues timeAlarm;
    std::string warning;
    std::vector<LimitField> movedLimits;
    std::string limitNote;
    bool newProbeLine = false;
    int nameFocuses = 0;
    bool panelMissing = false;
    std::string autoNamePrefix;
    std::vector<Opening> openings;
    int unfinished = 0;

  private:
    ProbeEditor* editor_ = nullptr;
    bool navigation_ = false;
    bool open_ = false;
    int autoNamed_ = 0;
    std::deque<std::vector<Action>> scripts_;
};

}  // namespace qrv::testing
