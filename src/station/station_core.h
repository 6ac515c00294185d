#pragma once

#include <optional>
#include <string_view>

#include "acquisition/clock_timer_platform.h"
#include "acquisition/timer_platform.h"
#include "config/station_config.h"
#include "feed/live_feed.h"
#include "onewire/nodex_session.h"
#include "onewire/onewire_driver.h"
#include "probe_editor/probe_editor_view.h"
#include "runtime/clock.h"
#include "runtime/dialogs.h"
#include "runtime/event_log.h"
#include "runtime/program_launcher.h"
#include "runtime/serial_port.h"
#include "runtime/status_display.h"
#include "sim/network_file.h"
#include "station/front_end.h"
#include "station/live_monitoring.h"
#include "station/shell_services.h"
#include "station/startup.h"
#include "station/station_links.h"
#include "station/station_state.h"
#include "station/status_reporting_log.h"

namespace qrv::shell {

// What a front end brings: how the station asks, shows, logs and waits.
struct FrontEndParts {
    Clock& clock;
    Dialogs& dialogs;
    StatusDisplay& display;
    // The plain program log; the core shows the saving message around it.
    EventLog& programLog;
    TextViewer& texts;
    ProbeEditorView& probeEditor;
    const BusWork& bus = kInlineBusWork;
    // The front end's name in the lines its commands write.
    Via via = Via::kWindow;
};

// Where the station meets the machine: the serial ports (the simulated unit
// among them), the programs it starts and the network timer's thread. A
// front end passes the real ones, a test or a benchmark its own.
struct MachineParts {
    SerialPortProvider& ports;
    ProgramLauncher& launcher;
    acquisition::PeriodicTimerPlatform& timers;
    // The 1-Wire session's clock when it is not the front end's (a test that
    // holds the session's waits).
    Clock* sessionClock = nullptr;
};

// The machine of a station of its own: the serial ports as ports.conf maps
// them (the simulated unit served where it says so, and outliving the ports
// that reach it), programs started as processes, the network timer on a
// thread of its own.
struct StationMachine {
    StationMachine(Clock& clock, const StationPaths& paths);
    MachineParts Parts() { return {ports, launcher, timers}; }
    // With a timer platform of the front end's that wraps these timers.
    MachineParts Parts(acquisition::PeriodicTimerPlatform& ownTimers) {
        return {ports, launcher, ownTimers};
    }

    sim::SimulatorRegistry simulators;
    SerialPortProvider ports;
    PosixProgramLauncher launcher;
    acquisition::ClockTimerPlatform timers;
};

// The station, whichever front end commands it: it owns the state, the
// 1-Wire session, live monitoring, the decorated program log and the links,
// and it is the one place where they are put together. Its commands are
// the same for every front end; via says which gave one and goes into the
// lines the command writes. All of it runs on the user-interface thread (the
// window's event loop, the service's loop, a test's thread) but Mute,
// Unmute and SendTestMessage of Monitoring(), which any thread may call.
class StationCore {
  public:
    StationCore(StationPaths paths, const FrontEndParts& front, const MachineParts& machine);
    StationCore(const StationCore&) = delete;
    StationCore& operator=(const StationCore&) = delete;

    StationState& State() { return state_; }
    const ShellServices& Services() const { return services_; }
    LiveMonitoring& Monitoring() { return monitoring_; }
    NodexSession& Session() { return session_; }
    OneWireDriver& Driver() { return driver_; }
    EventLog& Log() { return log_; }

    // Start-up up to the event loop; the exit code when it ends the program.
    std::optional<int> Start(const StartupOptions& options);
    // After the event loop: the work stopped in order; the exit code.
    int Shutdown();
    // Starts the call list, MQTT and the dashboard, and sets how the probes
    // are read, as quorvanel.toml says.
    void StartLinks(const StationConfig& config);

    // Rereads quorvanel.toml, the settings, probe, calibration and
    // time-alarm files and installs the network anew; a link whose settings
    // did not change keeps its session. Returns the configuration read.
    StationConfig Reload(Via via);
    // Network > Initialize network: scans the lines and resumes monitoring.
    void InstallNetwork(Via via);
    // Network > Stop the network (asked first by the front end): monitoring
    // ends, the last block is stored, the unit's power removed.
    void StopNetwork(Via via);
    // Opens the probe editor on the probe at index and saves what the user
    // leaves it with; a deleted probe in normal mode reinstalls the network.
    // Returns what the editor returned (kEditorSaved and the like).
    int SaveProbeSettings(int index, bool isNew, bool allowNavigation, Via via);

    // What follows the feed for the station itself: a store that came due
    // is made, and changed probe settings are recorded in the audit trail.
    // The front end serves it on its user-interface thread, woken by the
    // call it gives (which only posts there).
    void SetWakeUp(std::function<void()> wakeUp) { events_.SetWakeUp(std::move(wakeUp)); }
    void Serve();
    // The audit part of Serve alone, before the station reads back a probe
    // file it wrote: its own changes are recorded as its own. A store due
    // waits for the next Serve.
    void AuditPendingChanges();

  private:
    // Reads every probe one at a time, or each line's at once.
    void ApplyAcquisitionConfig(const StationConfig& config);
    // Takes what the feed brought into the pending work below.
    void TakeEvents();

    StationState state_;
    StatusReportingLog log_;
    OneWireDriver driver_;
    NodexSession session_;
    LiveMonitoring monitoring_;
    // The pause as commands reach it, refusing questions from other threads.
    QuestionRefusingNetworkTimer networkTimer_;
    ShellServices services_;
    StationLinks links_;
    // Subscribed before anything publishes: no store due is missed.
    FeedSubscription events_;
    bool storeDue_ = false;
    bool probesChanged_ = false;
    // Who changed the probes and why, as the last announcement said.
    std::string changedBy_;
    std::string changeReason_;
};

}  // namespace qrv::shell
