#include "app/station/station_program.h"

#include <fmt/format.h>

#include <csignal>
#include <memory>
#include <optional>

#include "acquisition/clock_timer_platform.h"
#include "app/shell/commands.h"
#include "app/shell/display_timer.h"
#include "app/shell/live_monitoring.h"
#include "app/shell/mqtt_link.h"
#include "app/shell/network_install.h"
#include "app/shell/simulation.h"
#include "app/shell/startup.h"
#include "app/shell/station_directory.h"
#include "app/shell/status_reporting_log.h"
#include "app/shell/web_link.h"
#include "app/station/accelerated_clock.h"
#include "app/station/headless_window.h"
#include "app/station/journal_log.h"
#include "app/station/service_loop.h"
#include "app/station/station_status.h"
#include "app/station/unattended_dialogs.h"
#include "app/station/watched_timers.h"
#include "config/station_config.h"
#include "onewire/nodex_session.h"
#include "onewire/onewire_driver.h"
#include "runtime/instance_lock.h"
#include "runtime/program_launcher.h"
#include "runtime/program_log_file.h"
#include "runtime/termination_signals.h"
#include "sim/network_file.h"
#include "sim/sample_probe_table.h"

namespace qrv::station {

namespace {

// The timer thread ticks once a second; this much silence means it stalls.
constexpr double kTimerSilenceSeconds = 15.0;
// The signal by which a check stalls the timer thread (hidden option).
constexpr int kStallSignal = SIGUSR1;

void Refuse(const std::string& problem) {
    std::fprintf(stderr, "<3>quorvanel-station: %s\n", problem.c_str());
}

std::unique_ptr<Clock> MakeClock(double factor) {
    if (factor == 1.0) {
        return std::make_unique<RealClock>();
    }
    return std::make_unique<AcceleratedClock>(factor);
}

// Keeps a copy of the probe file before the installation replaces a bad one;
// nothing when there is none.
std::optional<std::string> KeepProbeFile(const std::filesystem::path& file, const Clock& clock) {
    std::error_code error;
    if (!std::filesystem::exists(file, error)) {
        return std::nullopt;
    }
    const LocalDateTime now = clock.Now();
    std::filesystem::path copy = file;
    copy += fmt::format(".bad-{:04}{:02}{:02}-{:02}{:02}{:02}", now.year, now.month, now.day,
                        now.hour, now.minute, now.second);
    std::filesystem::copy_file(file, copy, std::filesystem::copy_options::skip_existing, error);
    if (error) {
        return "no copy of it could be made (" + error.message() + ")";
    }
    return "the bad file is kept as " + copy.filename().string();
}

}  // namespace

int RunStation(const StationOptions& options) {
    std::initializer_list<int> handled = {SIGTERM, SIGINT, SIGHUP};
    std::initializer_list<int> handledWithStall = {SIGTERM, SIGINT, SIGHUP, kStallSignal};
    TerminationSignals signals(options.stallOnSignal ? handledWithStall : handled);

    if (auto problem = shell::PrepareStationDirectory(options.station)) {
        Refuse(*problem);
        return 1;
    }
    InstanceLock lock(options.station, InstanceLock::Holder::kService);
    if (lock.state() == InstanceLock::State::HeldByOther) {
        Refuse("the station in " + options.station.string() + " is already running");
        return 1;
    }
    if (lock.state() == InstanceLock::State::Failed) {
        Refuse(shell::StationLockFileProblem(options.station, lock.error()));
        return 1;
    }

    const std::unique_ptr<Clock> clockOwner = MakeClock(options.clockFactor);
    Clock& clock = *clockOwner;
    StationPaths paths{options.station};
    shell::StationState state(paths);
    StationConfigRead config = ReadStationConfig(paths.ConfigFileName());
    ProgramLogFile programLog(paths.LogFileName(), clock);
    JournalLog journal(programLog, config.config.service.logToStandardError);
    // The program log cannot say that it cannot be written; the journal does.
    programLog.ReportWriteTroubleTo([&journal](bool failing, const std::string& text) {
        journal.JournalOnly(failing ? Priority::kError : Priority::kNotice, text);
    });
    for (const std::string& problem : config.problems) {
        journal.Log(Priority::kWarning, problem);
    }

    sim::SimulatorRegistry simulators(clock);
    SerialPortProvider ports(PortMap::Load(paths.PortsFileName().string()), simulators.Factory());
    OneWireDriver driver(ports, clock);
    // The loop exists only once the services it serves do; the dialogs reach
    // it through this pointer.
    ServiceLoop* loop = nullptr;
    UnattendedDialogs dialogs(
        {journal, [&config] { return config.config.service.unitRetrySeconds; },
         [&](double seconds) -> std::optional<int> {
             loop->Ready();
             return loop->RunUntil(clock.Timer() + seconds);
         },
         [&] { return KeepProbeFile(paths.SnsFileName(state.WantedUserMode), clock); }});
    NodexSession session(driver, ports, clock, nullptr, &dialogs, &journal);
    HeadlessStatusDisplay display(journal);
    shell::StatusReportingLog statusLog(journal, display, state);
    PosixProgramLauncher launcher;
    acquisition::ClockTimerPlatform clockTimers(clock);
    TickWatch ticks(kTimerSilenceSeconds);
    WatchedTimerPlatform timers(clockTimers, ticks);
    shell::LiveMonitoring monitoring(state, {clock, display, statusLog, session, launcher, timers});
    monitoring.StartNotifications(config.config.notify);
    std::unique_ptr<mqtt::MqttPublisher> mqtt =
        shell::StartMqtt(config.config.mqtt, state, monitoring, clock, journal);
    std::unique_ptr<shell::StationWeb> web =
        shell::StartWeb(config.config.web, state, monitoring, clock, journal);
    shell::QuestionRefusingNetworkTimer networkTimer(monitoring, dialogs);
    UnattendedProbeEditorView probeEditor(journal);
    HeadlessWindow window;
    ServiceNotifier notifier;
    StationStatus status(state, monitoring);
    // The loop leaves signals for after the step, so it never gives up early.
    const shell::BackgroundBusWork bus(
        [&](const std::function<bool()>& finished) { loop->RunWhile([&] { return !finished(); }); },
        [&session](bool on) { session.SetGivingUp(on); });
    const shell::ShellServices services{clock,       dialogs,    display, statusLog,
                                        window,      ports,      session, networkTimer,
                                        probeEditor, monitoring, window,  bus};
    ServiceLoop serviceLoop(
        clock, options.clockFactor, signals, notifier, ticks,
        {[&] { status.DisplayTick(services, window); }, [&] { return status.Text(); },
         [&](int signal) {
             if (signal != kStallSignal) {
                 return false;
             }
             journal.Log(Priority::kWarning,
                         "Timer thread stalled on request (check of the "
                         "watchdog)");
             timers.Stall();
             return true;
         }});
    loop = &serviceLoop;

    const SensorTable sampleProbes = sim::SampleProbeTable();
    const bool sampleNetwork = options.simulateNetwork && options.simulateNetwork->empty();
    std::string networkProblem;
    if (options.simulateNetwork && !sampleNetwork &&
        simulators.Unit(shell::SimulatorPortName(*options.simulateNetwork)) == nullptr) {
        networkProblem = simulators.LastError();
    }
    const auto startupExit = shell::RunStartup(
        state, services, window,
        {options.simulateNetwork, sampleNetwork ? &sampleProbes : nullptr, networkProblem});
    if (startupExit) {
        notifier.Stopping();
        return *startupExit;
    }
    serviceLoop.Ready();
    for (;;) {
        std::optional<int> signal = dialogs.TakePendingSignal();
        if (!signal) {
            signal = serviceLoop.RunUntil(std::numeric_limits<double>::infinity());
        }
        if (!signal) {
            continue;
        }
        if (*signal == SIGHUP) {
            notifier.Reloading();
            journal.Log(Priority::kNotice, "Settings and probe files reread on SIGHUP");
            // The publisher logs from its thread: none runs while the log changes.
            mqtt.reset();
            web.reset();
            const NotifyConfig notifyBefore = config.config.notify;
            config = ReadStationConfig(paths.ConfigFileName());
            journal.SetToStandardError(config.config.service.logToStandardError);
            for (const std::string& problem : config.problems) {
                journal.Log(Priority::kWarning, problem);
            }
            if (config.config.notify != notifyBefore) {
                // A new call list would forget the alarms the running one is
                // escalating; the old one goes on until the station restarts.
                journal.Log(Priority::kWarning,
                            "The [notify] settings changed: they take effect when the station "
                            "is restarted");
                config.config.notify = notifyBefore;
            }
            mqtt = shell::StartMqtt(config.config.mqtt, state, monitoring, clock, journal);
            web = shell::StartWeb(config.config.web, state, monitoring, clock, journal);
            shell::DoeInstallNetwork(state, services, window);
            notifier.Ready();
            continue;
        }
        shell::QuitOnSignal(services, window, TerminationSignals::SignalName(*signal));
        break;
    }
    notifier.Stopping();
    // A stalled timer thread would hold the shutdown's pause for ever.
    timers.Release();
    return shell::RunShutdown(state, services, window);
}

}  // namespace qrv::station
