#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/shell/main_window_view.h"
#include "app/shell/menu_follower.h"
#include "app/shell/results_rows.h"
#include "app/shell/results_table.h"
#include "onewire/nodex_session.h"
#include "runtime/clock.h"
#include "runtime/program_log_file.h"
#include "sensors/sensor_file.h"
#include "sim/network_file.h"
#include "station/live_monitoring.h"
#include "station/shell_services.h"
#include "station/station_core.h"
#include "station/station_state.h"
#include "support/clocked_launcher.h"
#include "support/fake_serial_port.h"
#include "support/recording_status_display.h"
#include "support/scripted_dialogs.h"
#include "support/scripted_probe_editor.h"
#include "support/stepped_timer_platform.h"
#include "support/temp_dir.h"
#include "support/with_network_timer.h"

namespace qrv::testing {

// How often what occurs in text.
inline int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

// Records what the station's text viewer was asked to show; an editable
// text comes back as the test's edit would leave it.
class RecordingEditor final : public shell::TextViewer {
  public:
    struct Shown {
        std::string title;
        std::string text;
        bool editable = false;
    };
    std::optional<std::string> ShowText(std::string_view title, std::string_view text,
                                        bool editable, int /*taal*/) override {
        shown.push_back({std::string(title), std::string(text), editable});
        if (!editable || !edit) {
            return std::nullopt;
        }
        return edit(std::string(text));
    }
    std::vector<Shown> shown;
    // What the user makes of an editable text; none: closed without saving.
    std::function<std::string(std::string)> edit;
};

// Counts the pauses and resumes of acquisition and passes them on to the
// live monitoring.
class RecordingNetworkTimer final : public shell::NetworkTimerControl {
  public:
    explicit RecordingNetworkTimer(shell::NetworkTimerControl& live) : live_(live) {}
    void StopNetworkTimer() override {
        ++stops;
        live_.StopNetworkTimer();
    }
    void StartNetworkTimer() override {
        ++starts;
        live_.StartNetworkTimer();
    }

    int stops = 0;
    int starts = 0;

  private:
    shell::NetworkTimerControl& live_;
};

// Keeps the results table as the window would show it.
class RecordingResultsTable final : public shell::ResultsTableView {
  public:
    void SetHeaders(const shell::ResultsHeaders& h) override { headers = h; }
    void SetRowCount(int count) override { rows.assign(static_cast<std::size_t>(count), {}); }
    void SetRow(int index, const shell::ResultsRow& row) override {
        rows.at(static_cast<std::size_t>(index)) = row;
        ++rowUpdates;
    }
    void HideTheTable(bool hide) override { hidden = hide; }

    shell::ResultsHeaders headers;
    std::vector<shell::ResultsRow> rows;
    int rowUpdates = 0;
    bool hidden = false;
};

// Records what the shell asks of the window.
class RecordingView final : public shell::MainWindowView {
  public:
    explicit RecordingView(shell::ResultsTableView& table) : table_(table) {}

    void TranslateQRVMenu() override { ++translations; }
    void UpdateCheckMarks() override { ++checkMarkUpdates; }
    void HandleSetMenuItems() override { ++dimmingUpdates; }
    void SetComPortItems(const std::vector<int>& list) override { ports = list; }
    void SetProbeItems(const std::vector<shell::ProbeMenuItem>& list) override { probes = list; }
    void SetYearItems(const std::vector<int>& list) override { years = list; }
    void QuitUserInterface() override { ++quits; }
    shell::ResultsTableView& ResultsTable() override { return table_; }
    void DoeProbeViewPanel(int index) override {
        opened.push_back("current " + std::to_string(index));
    }
    void LaatViewNuZien(int mode) override { opened.push_back("history " + std::to_string(mode)); }
    void PrintMoWeDayReport(int period, int year) override {
        opened.push_back("report " + std::to_string(period) + " " + std::to_string(year));
    }
    void PrintDailySheet(int year) override { opened.push_back("sheet " + std::to_string(year)); }
    void PrintSystemSettings() override { opened.emplace_back("system printout"); }
    void PrintProbeSettings() override { opened.emplace_back("probe printout"); }

    int translations = 0;
    int checkMarkUpdates = 0;
    int dimmingUpdates = 0;
    int quits = 0;
    std::vector<int> ports;
    std::vector<shell::ProbeMenuItem> probes;
    std::vector<int> years;
    std::vector<std::string> opened;  // the views and printouts, in order

  private:
    shell::ResultsTableView& table_;
};

// What a test station is built from: a fresh directory, virtual time,
// scripted popups, a recording display, the real program log file, an
// interface unit that does not answer (ports) and the simulated units
// (simPorts, COM1 to "simulator:test"), and timers the test steps.
struct StationParts {
    StationParts() { lines->cts = FakeLineState::Cts::AlwaysOff; }

    static PortMap SimulatorMap() {
        PortMap map;
        map.Set(1, "simulator:test");
        return map;
    }
    shell::FrontEndParts Front() {
        return {clock, dialogs, display, programLog, editor, probeEditor};
    }
    std::string LogText() const { return ReadBytes(StationPaths{dir.path()}.LogFileName()); }
    SensorTable ReadStationSensorFile() const {
        SensorTable table;
        EXPECT_GE(ReadSensorFile(StationPaths{dir.path()}.SnsFileName(kModeNormal), table), 0);
        return table;
    }

    TempDir dir;
    VirtualClock clock{LocalDateTime{2026, 3, 9, 14, 5, 7, 0}};
    ScriptedDialogs dialogs;
    RecordingStatusDisplay display;
    ProgramLogFile programLog{StationPaths{dir.path()}.LogFileName(), clock};
    RecordingEditor editor;
    std::shared_ptr<FakeLineState> lines = std::make_shared<FakeLineState>();
    FakePortProvider ports{lines};
    sim::SimulatorRegistry simulators{clock};
    SerialPortProvider simPorts{SimulatorMap(), simulators.Factory()};
    ClockedLauncher launcher{clock};
    // Network ticks come only when a test delivers them (timers.RunDue()).
    acquisition::SteppedTimerPlatform timers{clock};
    ScriptedProbeEditorView probeEditor;
    RecordingResultsTable resultsTable;
    RecordingView view{resultsTable};
};

// The station of StationParts, built as every front end builds it: on the
// unit that does not answer, or on the simulated one. The services count
// the pauses of acquisition.
struct ShellFixture : StationParts {
    explicit ShellFixture(bool simulated = false)
        : core(StationPaths{dir.path()}, Front(),
               {simulated ? static_cast<SerialPortProvider&>(simPorts) : ports, launcher, timers}),
          networkTimer(core.Monitoring()),
          services(WithNetworkTimer(core.Services(), networkTimer)) {}

    // What the window's event loop does with the feed: the station, the
    // table and the menus follow what the commands announced.
    void Serve() {
        core.Serve();
        rows.Serve();
        menus.Serve();
    }

    shell::StationCore core;
    shell::StationState& state{core.State()};
    EventLog& log{core.Log()};
    NodexSession& session{core.Session()};
    shell::LiveMonitoring& monitoring{core.Monitoring()};
    RecordingNetworkTimer networkTimer;
    shell::ShellServices services;
    // What the window's event loop does with the feed, when a test serves it.
    shell::ResultsRows rows{state, resultsTable, display, monitoring.Feed()};
    shell::MenuFollower menus{state, clock, services.ports, view, monitoring.Feed()};
};

}  // namespace qrv::testing
