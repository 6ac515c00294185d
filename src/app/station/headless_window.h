#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "app/station/journal_log.h"
#include "probe_editor/probe_editor_view.h"
#include "runtime/silent_status_display.h"
#include "station/shell_services.h"

namespace qrv::station {

// The main panel's status fields without a panel. Progress and clock go
// nowhere; the alarm banner, the one field someone must see, goes to the
// journal whenever it appears, changes or goes.
class HeadlessStatusDisplay final : public SilentStatusDisplay {
  public:
    explicit HeadlessStatusDisplay(JournalLog& journal) : journal_(journal) {}

    // A failed store needs no field here: the store logs every failure with
    // its reason, and the log reaches the journal.
    void ShowAlarmBanner(bool show, std::string_view text) override;

  private:
    JournalLog& journal_;
    std::mutex mutex_;
    // The banner as last reported; empty while hidden.
    std::string banner_;
};

// The texts a window of their own would show (notes, the help): without a
// screen nobody reads them, so nothing is ever changed there.
class UnreadTextViewer final : public shell::TextViewer {
  public:
    std::optional<std::string> ShowText(std::string_view, std::string_view, bool, int) override {
        return std::nullopt;
    }
};

// The probe settings panel as nobody fills it in: a probe the installation
// has just added keeps the settings it was added with and, until someone
// names it, is named by its ROM code; the panel is then left with OK.
class UnattendedProbeEditorView final : public ProbeEditorView {
  public:
    explicit UnattendedProbeEditorView(JournalLog& journal) : journal_(journal) {}

    bool LoadPanel(ProbeEditor& editor, int taal, bool navigation) override;
    void ShowNewProbeLine(bool) override {}
    void Show(const ProbePanelDisplay& display, const ProbePanelValues& values) override;
    void ShowLimits(const ProbePanelValues& values) override;
    void ShowMovedLimits(const std::vector<LimitField>&, std::string_view) override {}
    void ShowWindow(int day, const AlarmWindow& window) override;
    void ShowWarning(std::string_view) override {}
    void SetNameText(std::string_view name) override { values_.name = name; }
    void FocusName() override {}
    ProbePanelValues Read() const override { return values_; }
    // Nobody calibrates at an unattended panel: that is done with
    // quorvanel-report calibration.
    void ShowCalibration(const CalibrationPanelDisplay&, const CalibrationPanelValues&) override {}
    void ShowCalibrationReadings(const CalibrationReadings&) override {}
    CalibrationPanelValues ReadCalibration() const override { return {}; }
    // The thresholds are read back as shown, so that leaving keeps them.
    void ShowTimeAlarm(const TimeAlarmPanelDisplay&, const TimeAlarmPanelValues& values) override {
        timeAlarm_ = values;
    }
    TimeAlarmPanelValues ReadTimeAlarm() const override { return timeAlarm_; }
    void RunModal() override;
    void EndModal() override {}
    void DiscardPanel() override { editor_ = nullptr; }

  private:
    JournalLog& journal_;
    ProbeEditor* editor_ = nullptr;
    ProbePanelValues values_;
    TimeAlarmPanelValues timeAlarm_;
};

}  // namespace qrv::station
