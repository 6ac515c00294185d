#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/shell/live_monitoring.h"
#include "app/shell/menu_follower.h"
#include "app/shell/results_rows.h"
#include "app/shell/results_table.h"
#include "app/shell/shell_services.h"
#include "app/shell/station_state.h"
#include "app/shell/status_reporting_log.h"
#include "onewire/nodex_session.h"
#include "onewire/onewire_driver.h"
#include "runtime/clock.h"
#include "runtime/program_log_file.h"
#include "support/clocked_launcher.h"
#include "support/fake_serial_port.h"
#include "support/recording_status_display.h"
#include "support/scripted_dialogs.h"
#include "support/scripted_probe_editor.h"
#include "support/stepped_timer_platform.h"
#include "support/temp_dir.h"

namespace qrv::testing {

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

// A station in a fresh directory with scripted popups, a recording display,
// the real program log file and an interface unit that does not answer.
struct ShellFixture {
    ShellFixture()
        : state(StationPaths{dir.path()}),
          programLog(state.paths.LogFileName(), clock),
          log(programLog, display, state),
          ports(lines),
          monitoring(state, {clock, display, log, session, launcher, timers}),
          networkTimer(monitoring),
          services{clock, dialogs, display,      log,         editor,
                   ports, session, networkTimer, probeEditor, monitoring} {
        lines->cts = FakeLineState::Cts::AlwaysOff;
    }

    std::string LogText() const { return ReadBytes(state.paths.LogFileName()); }
    // What the window's event loop does with the feed: the table and the
    // menus follow what the commands announced.
    void Serve() {
        rows.Serve();
        menus.Serve();
    }

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
    ClockedLauncher launcher{clock};
    // Network ticks come only when a test delivers them (timers.RunDue()).
    acquisition::SteppedTimerPlatform timers{clock};
    shell::LiveMonitoring monitoring;
    RecordingNetworkTimer networkTimer;
    ScriptedProbeEditorView probeEditor;
    RecordingResultsTable resultsTable;
    shell::ShellServices services;
    RecordingView view{resultsTable};
    // What the window's event loop does with the feed, when a test serves it.
    shell::ResultsRows rows{state, resultsTable, display, monitoring.Feed()};
    shell::MenuFollower menus{state, clock, ports, view, monitoring.Feed()};
};

}  // namespace qrv::testing
