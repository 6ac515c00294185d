#pragma once

// Stand-ins for the station's window-side services in the benchmark
// programs: they take what the station gives and show nothing.

#include <filesystem>
#include <string_view>
#include <vector>

#include "app/shell/results_table.h"
#include "probe_editor/probe_editor_view.h"
#include "runtime/event_log.h"
#include "station/shell_services.h"

namespace qrv::bench {

struct NoLog final : EventLog {
    void LogMessageToDisk(std::string_view) override {}
};

struct NoEditor final : shell::TextViewer {
    std::optional<std::string> ShowText(std::string_view, std::string_view, bool, int) override {
        return std::nullopt;
    }
};

// Every probe is known, so no panel ever opens.
struct NoPanel final : ProbeEditorView {
    bool LoadPanel(ProbeEditor&, int, bool) override { return false; }
    void ShowNewProbeLine(bool) override {}
    void Show(const ProbePanelDisplay&, const ProbePanelValues&) override {}
    void ShowLimits(const ProbePanelValues&) override {}
    void ShowMovedLimits(const std::vector<LimitField>&, std::string_view) override {}
    void ShowWindow(int, const AlarmWindow&) override {}
    void ShowWarning(std::string_view) override {}
    void SetNameText(std::string_view) override {}
    void FocusName() override {}
    ProbePanelValues Read() const override { return {}; }
    void ShowCalibration(const CalibrationPanelDisplay&, const CalibrationPanelValues&) override {}
    void ShowCalibrationReadings(const CalibrationReadings&) override {}
    CalibrationPanelValues ReadCalibration() const override { return {}; }
    void ShowTimeAlarm(const TimeAlarmPanelDisplay&, const TimeAlarmPanelValues&) override {}
    TimeAlarmPanelValues ReadTimeAlarm() const override { return {}; }
    void RunModal() override {}
    void EndModal() override {}
    void DiscardPanel() override {}
};

// Rows are built as for the window, counted and dropped.
struct CountingTable final : shell::ResultsTableView {
    void SetHeaders(const shell::ResultsHeaders&) override {}
    void SetRowCount(int) override {}
    void SetRow(int, const shell::ResultsRow&) override { ++rows; }
    void HideTheTable(bool) override {}
    long rows = 0;
};

}  // namespace qrv::bench
