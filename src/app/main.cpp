#include <QApplication>
#include <QCommandLineParser>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <csignal>
#include <cstdio>
#include <filesystem>

#include "app/shell/commands.h"
#include "app/window/instance_channel.h"
#include "app/window/main_window.h"
#include "app/window/qt_dialogs.h"
#include "app/window/text_viewer_window.h"
#include "config/station_config.h"
#include "runtime/clock.h"
#include "runtime/instance_lock.h"
#include "runtime/program_log_file.h"
#include "runtime/station_writer.h"
#include "runtime/termination_signals.h"
#include "runtime/text_file.h"
#include "sim/sample_probe_table.h"
#include "station/simulation.h"
#include "station/station_core.h"
#include "station/station_directory.h"
#include "text/texts.h"

namespace {

std::filesystem::path DefaultStationDirectory() {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return std::filesystem::path(data.toStdString()) / "quorvanel";
}

struct CommandLine {
    std::optional<std::filesystem::path> station;
    // "" for the sample network, else the network file; nullopt without --simulate.
    std::optional<std::string> simulateNetwork;
    bool force = false;
};

// Parsed before the window system is touched, so --help and --version work
// without a display.
CommandLine ParseCommandLine(int argc, char* argv[]) {
    QCoreApplication core(argc, argv);
    QCoreApplication::setApplicationName("quorvanel");
    QCoreApplication::setApplicationVersion(QString::fromUtf8(qrv::text::kProgramVersion.data()));
    QCommandLineParser parser;
    parser.setApplicationDescription("Quorvanel monitoring station for 1-Wire probe networks.");
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption stationOption(
        "station", "Station directory (default ~/.local/share/quorvanel).", "DIR");
    const QCommandLineOption simulateOption(
        "simulate",
        "Run on the simulated interface unit; --simulate=FILE takes the network from FILE.");
    const QCommandLineOption forceOption(
        "force", "Write into a station directory of another user all the same.");
    parser.addOption(stationOption);
    parser.addOption(simulateOption);
    parser.addOption(forceOption);
    // "--simulate=FILE" carries an optional value, which QCommandLineParser
    // cannot express; take the value off before it parses.
    CommandLine result;
    QStringList arguments = QCoreApplication::arguments();
    for (QString& argument : arguments) {
        if (argument.startsWith("--simulate=")) {
            result.simulateNetwork = argument.mid(11).toStdString();
            argument = "--simulate";
        }
    }
    parser.process(arguments);
    if (parser.isSet(simulateOption) && !result.simulateNetwork) {
        result.simulateNetwork = std::string();
    }
    if (parser.isSet(stationOption)) {
        result.station = parser.value(stationOption).toStdString();
    }
    result.force = parser.isSet(forceOption);
    return result;
}

// The station cannot start: says why on the terminal and in a popup.
int RefuseToStart(qrv::Dialogs& dialogs, const std::string& problem) {
    std::fprintf(stderr, "quorvanel: %s\n", problem.c_str());
    dialogs.MessagePopup(qrv::text::Raw(qrv::text::Key::QRVNL_TEXT, 0), problem);
    return 1;
}

}  // namespace

int main(int argc, char* argv[]) {
    using namespace qrv;
    CommandLine commandLine = ParseCommandLine(argc, argv);
    std::optional<std::string> simulateNetwork = commandLine.simulateNetwork;

    // From here on SIGTERM, SIGINT and SIGHUP end the station through its shutdown.
    TerminationSignals terminationSignals({SIGTERM, SIGINT, SIGHUP});
    QApplication app(argc, argv);
    // One modern look on every desktop, whatever theme the session has.
    QApplication::setStyle("Fusion");
    QApplication::setApplicationName("quorvanel");
    const std::filesystem::path stationDirectory =
        commandLine.station ? *commandLine.station : DefaultStationDirectory();
    window::QtDialogs dialogs;
    if (!commandLine.force) {
        // Beside the service, a member of its group works on its station.
        const std::string refusal = StationWriteRefusal(
            stationDirectory, StationWriters::kOwnerOrGroup, WriterIdentity::OfThisProcess(),
            {argv[0], "--station", stationDirectory.string()});
        if (!refusal.empty()) {
            return RefuseToStart(dialogs, refusal);
        }
    }
    if (auto problem = shell::PrepareStationDirectory(stationDirectory)) {
        return RefuseToStart(dialogs, *problem);
    }

    const QString channel = window::InstanceChannelName(stationDirectory);
    InstanceLock lock(stationDirectory);
    // Beside the service the window opens off-line on the stored days.
    const bool serviceMonitors = lock.state() == InstanceLock::State::HeldByOther &&
                                 lock.HeldBy() == InstanceLock::Holder::kService;
    if (lock.state() == InstanceLock::State::HeldByOther && !serviceMonitors) {
        const bool raised = window::AskRunningInstanceToRaise(channel);
        std::fprintf(stderr, "quorvanel: the station in %s is already running%s\n",
                     stationDirectory.c_str(), raised ? "; its window was raised." : ".");
        return 1;
    }
    if (lock.state() == InstanceLock::State::Failed) {
        return RefuseToStart(dialogs,
                             shell::StationLockFileProblem(stationDirectory, lock.error()));
    }

    RealClock clock;
    StationPaths paths{stationDirectory};
    ProgramLogFile programLog(paths.LogFileName(), clock);
    shell::StationMachine machine(clock, paths);
    window::TextViewerWindow editor;
    window::MainWindow mainWindow(paths, {clock, dialogs, programLog, editor, machine.Parts()});
    shell::StationCore& station = mainWindow.Core();
    shell::StationState& state = station.State();
    state.serviceMonitors = serviceMonitors;
    mainWindow.RememberPlacementIn(
        QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + "/window.ini");
    dialogs.SetParent(&mainWindow);
    editor.SetParent(&mainWindow);
    window::InstanceChannelServer server(channel,
                                         [&mainWindow] { mainWindow.Display().BringToFront(); });

    const shell::ShellServices& services = mainWindow.Services();
    // Beside the service it is the service that notifies and publishes.
    if (!serviceMonitors) {
        const StationConfigRead config = ReadStationConfig(paths.ConfigFileName());
        for (const std::string& problem : config.problems) {
            programLog.LogMessageToDisk(problem);
        }
        station.StartLinks(config.config);
    }
    QSocketNotifier signalNotifier(terminationSignals.ReadFd(), QSocketNotifier::Read);
    signalNotifier.setEnabled(terminationSignals.Installed());
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, [&] {
        if (const auto signal = terminationSignals.TakeSignal()) {
            shell::QuitOnSignal(state, services, TerminationSignals::SignalName(*signal));
            mainWindow.QuitUserInterface();
        }
    });
    // A first run on the built-in sample network starts from its named probes.
    const SensorTable sampleProbes = sim::SampleProbeTable();
    const bool sampleNetwork = simulateNetwork && simulateNetwork->empty();
    std::string simulatedNetworkProblem;
    if (simulateNetwork && !sampleNetwork &&
        machine.simulators.Unit(shell::SimulatorPortName(*simulateNetwork)) == nullptr) {
        simulatedNetworkProblem = machine.simulators.LastError();
        std::fprintf(stderr, "quorvanel: the network file cannot be used: %s\n",
                     simulatedNetworkProblem.c_str());
    }
    mainWindow.ShowMainPanel();
    const auto startupExit = station.Start(
        {simulateNetwork, sampleNetwork ? &sampleProbes : nullptr, simulatedNetworkProblem});
    if (state.shutdownRequested) {
        // A signal came during the start-up: shut down as after a quit.
        return station.Shutdown();
    }
    if (startupExit) {
        return *startupExit;
    }
    QApplication::exec();
    return station.Shutdown();
}
