#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/shell/idle_network_timer.h"
#include "app/shell/shell_services.h"
#include "app/shell/station_state.h"
#include "app/shell/status_reporting_log.h"
#include "onewire/nodex_session.h"
#include "onewire/onewire_driver.h"
#include "runtime/clock.h"
#include "runtime/program_log_file.h"
#include "runtime/recording_status_display.h"
#include "runtime/scripted_dialogs.h"
#include "support/fake_serial_port.h"
#include "support/scripted_probe_editor.h"
#include "support/temp_dir.h"

namespace qrv::testing {

class RecordingEditor final : public shell::TextFileOpener {
  public:
    bool OpenInTextEditor(const std::filesystem::path& path) override {
        opened.push_back(path);
        return desktopHasAnEditor;
    }
    std::vector<std::filesystem::path> opened;
    bool desktopHasAnEditor = true;
};

// Counts the pauses and resumes of acquisition and keeps the flags and the
// table hand-shake as a station without an acquisition thread does.
class RecordingNetworkTimer final : public shell::NetworkTimerControl {
  public:
    RecordingNetworkTimer(shell::StationState& state, StatusDisplay& display)
        : idle_(state, display) {}
    void StopNetworkTimer() override {
        ++stops;
        idle_.StopNetworkTimer();
    }
    void StartNetworkTimer() override {
        ++starts;
        idle_.StartNetworkTimer();
    }

    int stops = 0;
    int starts = 0;

  private:
    shell::IdleNetworkTimer idle_;
};

// Records what the shell asks of the window.
class RecordingView final : public shell::MainWindowView {
  public:
    void SetWaitCursor(bool on) override { waitCursor = on; }
    void ShowMainPanel() override { ++shows; }
    void TranslateQRVMenu() override { ++translations; }
    void UpdateCheckMarks() override { ++checkMarkUpdates; }
    void HandleSetMenuItems() override { ++dimmingUpdates; }
    void SetComPortItems(const std::vector<int>& list) override { ports = list; }
    void SetProbeItems(const std::vector<shell::ProbeMenuItem>& list) override { probes = list; }
    void SetYearItems(const std::vector<int>& list) override { years = list; }
    void QuitUserInterface() override { ++quits; }
    void DoeProbeViewPanel(int index) override {
        opened.push_back("current " + std::to_string(index));
    }
    void LaatViewNuZien(int mode) override { opened.push_back("history " + std::to_string(mode)); }
    void PrintMoWeDayReport(int period, int year) override {
        opened.push_back("report " + std::to_string(period) + " " + std::to_string(year));
    }
    void PrintSystemSettings() override { opened.emplace_back("system printout"); }
    void PrintProbeSettings() override { opened.emplace_back("probe printout"); }
    void AppendViewGraph(int, bool) override {}
    void UpdateActualBigView(int) override {}

    bool waitCursor = false;
    int shows = 0;
    int translations = 0;
    int checkMarkUpdates = 0;
    int dimmingUpdates = 0;
    int quits = 0;
    std::vector<int> ports;
    std::vector<shell::ProbeMenuItem> probes;
    std::vector<int> years;
    std::vector<std::string> opened;  // the views and printouts, in order
};

// A station in a fresh directory with scripted popups, a recording display,
// the real program log file and an interface unit that does not answer.
struct ShellFixture {
    ShellFixture()
        : state(clock, StationPaths{dir.path()}),
          programLog(state.paths.LogFileName(), clock),
          log(programLog, display, state),
          ports(lines),
          networkTimer(state, display),
          services{clock, dialogs, display,      log,        editor,
                   ports, session, networkTimer, probeEditor} {
        lines->cts = FakeLineState::Cts::AlwaysOff;
    }

    std::string LogText() const { return ReadBytes(state.paths.LogFileName()); }

    TempDir dir;
    VirtualClock clock{LocalDateTime{2026, 3, 9, 14, 5, 7, 0}};
    ScriptedDialogs dialogs;
    RecordingStatusDisplay display;
    shell::StationState state;
    ProgramLogFile programLog;
    shell::StatusReportingLog log;
    RecordingEditor editor;
    std::shared_ptr<FakeLineState> lines = std::make_shared<FakeLineState>();
    FakePortProvider ports;
    OneWireDriver driver{ports, clock};
    NodexSession session{driver, ports, clock};
    RecordingNetworkTimer networkTimer;
    ScriptedProbeEditorView probeEditor;
    shell::ShellServices services;
    RecordingView view;
};

}  // namespace qrv::testing
