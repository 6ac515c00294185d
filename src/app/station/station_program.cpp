#include "app/station/station_program.h"

#include <fmt/format.h>

#include <csignal>
#include <memory>
#include <optional>
#include <utility>

#include "app/shell/commands.h"
#include "app/station/accelerated_clock.h"
#include "app/station/headless_window.h"
#include "app/station/journal_log.h"
#include "app/station/service_loop.h"
#include "app/station/station_status.h"
#include "app/station/unattended_dialogs.h"
#include "app/station/watched_timers.h"
#include "config/station_config.h"
#include "runtime/instance_lock.h"
#include "runtime/program_log_file.h"
#include "runtime/termination_signals.h"
#include "sim/network_file.h"
#include "sim/sample_probe_table.h"
#include "station/simulation.h"
#include "station/station_core.h"
#include "station/station_directory.h"

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

    shell::StationMachine machine(clock, paths);
    // The loop exists only once the station it serves does; the dialogs and
    // the bus steps reach it, and the station, through these pointers.
    ServiceLoop* loop = nullptr;
    shell::StationCore* core = nullptr;
    UnattendedDialogs dialogs(
        {journal, [&config] { return config.config.service.unitRetrySeconds; },
         [&](double seconds) -> std::optional<int> {
             loop->Ready();
             return loop->RunUntil(clock.Timer() + seconds);
         },
         [&] { return KeepProbeFile(paths.SnsFileName(core->State().WantedUserMode), clock); }});
    HeadlessStatusDisplay display(journal);
    TickWatch ticks(kTimerSilenceSeconds);
    WatchedTimerPlatform timers(machine.timers, ticks);
    UnattendedProbeEditorView probeEditor(journal);
    UnreadTextViewer texts;
    ServiceNotifier notifier;
    // A signal during a bus step (an installation of a large network runs
    // for minutes) gives the step up: the installation ends unfinished, and
    // the signal is acted on as soon as it has.
    std::optional<int> signalDuringStep;
    const shell::BackgroundBusWork bus(
        [&](const std::function<bool()>& finished) {
            if (signalDuringStep) {
                return;
            }
            signalDuringStep = loop->RunWhile([&] { return !finished(); });
            if (signalDuringStep) {
                core->State().shutdownRequested = true;
            }
        },
        [&](bool on) { core->Session().SetGivingUp(on); });
    shell::StationCore station(
        paths, {clock, dialogs, display, journal, texts, probeEditor, bus, shell::Via::kService},
        machine.Parts(timers));
    core = &station;
    shell::StationState& state = station.State();
    station.StartLinks(config.config);
    StationStatus status(state, station.Monitoring(), journal);
    const auto takeSignal = [&]() -> std::optional<int> {
        if (std::optional<int> signal = dialogs.TakePendingSignal()) {
            return signal;
        }
        return std::exchange(signalDuringStep, std::nullopt);
    };
    const shell::ShellServices& services = station.Services();
    ServiceLoop serviceLoop(clock, options.clockFactor, signals, notifier, ticks,
                            {[&] { status.DisplayTick(services); }, [&] { return status.Text(); },
                             [&](int signal) {
                                 if (signal != kStallSignal) {
                                     return false;
                                 }
                                 journal.Log(Priority::kWarning,
                                             "Timer thread stalled on request (check of the "
                                             "watchdog)");
                                 timers.Stall();
                                 return true;
                             },
                             [&] { station.Serve(); }});
    loop = &serviceLoop;
    station.SetWakeUp([&serviceLoop] { serviceLoop.Wake(); });

    const SensorTable sampleProbes = sim::SampleProbeTable();
    const bool sampleNetwork = options.simulateNetwork && options.simulateNetwork->empty();
    std::string networkProblem;
    if (options.simulateNetwork && !sampleNetwork &&
        machine.simulators.Unit(shell::SimulatorPortName(*options.simulateNetwork)) == nullptr) {
        networkProblem = machine.simulators.LastError();
    }
    const auto startupExit = station.Start(
        {options.simulateNetwork, sampleNetwork ? &sampleProbes : nullptr, networkProblem});
    if (startupExit) {
        notifier.Stopping();
        // The loop goes before the station, whose links may still publish.
        station.SetWakeUp({});
        return *startupExit;
    }
    if (!signalDuringStep) {
        serviceLoop.Ready();
    }
    for (;;) {
        std::optional<int> signal = takeSignal();
        if (!signal) {
            signal = serviceLoop.RunUntil(std::numeric_limits<double>::infinity());
        }
        if (!signal) {
            continue;
        }
        if (*signal == SIGHUP) {
            serviceLoop.Reloading();
            config.config = station.Reload(shell::Via::kService);
            journal.SetToStandardError(config.config.service.logToStandardError);
            serviceLoop.Ready();
            continue;
        }
        shell::QuitOnSignal(state, services, TerminationSignals::SignalName(*signal));
        break;
    }
    notifier.Stopping();
    // A stalled timer thread would hold the shutdown's pause for ever.
    timers.Release();
    const int exitCode = station.Shutdown();
    // The loop goes before the station, whose links may still publish.
    station.SetWakeUp({});
    return exitCode;
}

}  // namespace qrv::station
