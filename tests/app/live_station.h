#pragma once

#include <memory>
#include <string>

#include "acquisition/clock_timer_platform.h"
#include "app/shell/menu_follower.h"
#include "app/shell/results_rows.h"
#include "onewire/nodex_session.h"
#include "runtime/program_log_file.h"
#include "shell_fixture.h"
#include "sim/network_file.h"
#include "station/live_monitoring.h"
#include "station/shell_services.h"
#include "station/station_core.h"
#include "station/station_state.h"
#include "support/reading_wait_holding_clock.h"
#include "support/recording_status_display.h"
#include "support/scripted_dialogs.h"
#include "support/scripted_probe_editor.h"
#include "support/stepped_timer_platform.h"

namespace qrv::testing {

// Three probes on line 1: a cold room at 4 °C, an office that climbs from
// 20 °C to 35 °C two minutes in, and a door that stands open.
inline constexpr const char* kThreeProbeNetwork = R"({"lines": [[
    {"type": "DS18B20", "temperature": 4.0},
    {"type": "DS18B20", "temperature": {"value": 20.0, "steps": [[120, 35.0]]}},
    {"type": "DS2406", "input": 1}], [], []]})";

// The station without its window, on a simulated unit and virtual time: the
// network timer's ticks and the display timer's ticks are delivered in time
// order on the test's thread, as the window's event loop and the timer
// thread would deliver them. threaded: the network timer runs on its own
// thread instead, against virtual time that the test moves on.
struct LiveStation {
    LiveStation(const std::string& network, LocalDateTime start, bool threaded = false);

    // A probe of the simulated unit (n-th device of a line, in the order of
    // the network description) appended to the table with far limits.
    int AddProbe(int line, int deviceOnLine, const std::string& name);
    // What a network installation leaves: the session with the unit's
    // devices, the results table, acquisition started, a store requested.
    void Install();
    // Delivers the ticks due in time order; after each display tick the
    // rows take what the feed brought, as the event loop would.
    void RunFor(double seconds);
    // Points the SMS settings at an existing program and a destination.
    void ConfigureSms();
    // Lets virtual time run, one second at a time, until the SMS thread is idle.
    void FinishHandOffs();

    SensorRecord& Probe(int index) {
        return state.sensors.Lock()->SensorArray[static_cast<std::size_t>(index)];
    }
    std::string LogText() const;
    std::string AlarmText() const;
    // The day's result file of the current date.
    std::string DayFile(const LocalDateTime& day) const;

    TempDir dir;
    VirtualClock clock;
    // The session's clock: the station's own, whose reading waits a test
    // may hold.
    ReadingWaitHoldingClock sessionClock{clock};
    sim::SimulatorRegistry registry{clock};
    std::shared_ptr<sim::SimulatedNodex> unit;
    SerialPortProvider ports;
    ScriptedDialogs dialogs;
    RecordingStatusDisplay display;
    ProgramLogFile programLog;
    RecordingEditor editor;
    ClockedLauncher launcher{clock};
    acquisition::SteppedTimerPlatform timers{clock};
    acquisition::ClockTimerPlatform threadTimers{clock};
    RecordingResultsTable resultsTable;
    ScriptedProbeEditorView probeEditor;
    RecordingView view{resultsTable};
    shell::StationCore core;
    shell::StationState& state{core.State()};
    EventLog& log{core.Log()};
    NodexSession& session{core.Session()};
    shell::LiveMonitoring& monitoring{core.Monitoring()};
    const shell::ShellServices& services{core.Services()};
    // The rows as the window's event loop keeps them from the feed.
    shell::ResultsRows rows{state, resultsTable, display, monitoring.Feed()};
    shell::MenuFollower menus{state, clock, ports, view, monitoring.Feed()};
    double nextDisplayTick;
};

}  // namespace qrv::testing
