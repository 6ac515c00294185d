#pragma once

#include <QPointer>
#include <QWidget>

#include "probe_editor/dialog/probe_editor_dialog.h"
#include "probe_editor/probe_editor_view.h"

namespace qrv::probe_editor {

// The probe settings panel for the editing rules: a fresh dialog for every
// opening, modal over the parent window, discarded when the editor is done.
class QtProbeEditorView final : public ProbeEditorView {
  public:
    explicit QtProbeEditorView(QWidget* parent) : parent_(parent) {}
    ~QtProbeEditorView() override;

    bool LoadPanel(ProbeEditor& editor, int taal, bool navigation) override;
    void ShowNewProbeLine(bool show) override { dialog_->ShowNewProbeLine(show); }
    void Show(const ProbePanelDisplay& display, const ProbePanelValues& values) override {
        dialog_->Show(display, values);
    }
    void ShowLimits(const ProbePanelValues& values) override { dialog_->ShowLimits(values); }
    void ShowMovedLimits(const std::vector<LimitField>& moved, std::string_view note) override;
    void ShowWindow(int day, const AlarmWindow& window) override {
        dialog_->ShowWindow(day, window);
    }
    void ShowWarning(std::string_view warning) override;
    void SetNameText(std::string_view name) override;
    void FocusName() override { dialog_->FocusName(); }
    ProbePanelValues Read() const override { return dialog_->Read(); }
    void ShowCalibration(const CalibrationPanelDisplay& display,
                         const CalibrationPanelValues& values) override {
        dialog_->ShowCalibration(display, values);
    }
    void ShowCalibrationReadings(const CalibrationReadings& readings) override {
        dialog_->ShowCalibrationReadings(readings);
    }
    CalibrationPanelValues ReadCalibration() const override { return dialog_->ReadCalibration(); }
    void ShowTimeAlarm(const TimeAlarmPanelDisplay& display,
                       const TimeAlarmPanelValues& values) override {
        dialog_->ShowTimeAlarm(display, values);
    }
    TimeAlarmPanelValues ReadTimeAlarm() const override { return dialog_->ReadTimeAlarm(); }
    void RunModal() override;
    void EndModal() override { dialog_->Finish(); }
    void DiscardPanel() override;

    // The open panel, or nullptr (for tests and screenshots).
    ProbeEditorDialog* Dialog() const { return dialog_; }

  private:
    QPointer<QWidget> parent_;
    QPointer<ProbeEditorDialog> dialog_;
};

}  // namespace qrv::probe_editor
