// Measures the station's start-up on the offscreen platform with a 100-probe
// sensor file: the time from launching the process to the first turn of the event
// loop, and the resident memory at that moment. Targets: 0.5 s and 80 MB.
//
//   QT_QPA_PLATFORM=offscreen startup_bench [runs]

#include <sys/wait.h>
#include <unistd.h>
#include <QApplication>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "app/window/main_window.h"
#include "runtime/clock.h"
#include "runtime/program_log_file.h"
#include "sensors/sensor_file.h"
#include "settings/settings_file.h"
#include "support/scripted_dialogs.h"

namespace {

using Clock = std::chrono::steady_clock;

class NoEditor final : public qrv::shell::TextViewer {
  public:
    std::optional<std::string> ShowText(std::string_view, std::string_view, bool, int) override {
        return std::nullopt;
    }
};

class NoLog final : public qrv::EventLog {
  public:
    void LogMessageToDisk(std::string_view) override {}
};

long ResidentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

void PrepareStation(const std::filesystem::path& dir) {
    qrv::RealClock clock;
    qrv::ScriptedDialogs dialogs;
    NoLog log;
    qrv::SensorTable table;
    for (int i = 0; i < qrv::kMaxSensors; ++i) {
        const qrv::RomCode rom{0x28, static_cast<std::int16_t>(i & 0xFF), 0x11, 0x22, 0, 0, 0,
                               0x5A};
        const int index = table.Append1820ToDataStruct(rom, 1 + i % 3);
        table.SensorArray[static_cast<std::size_t>(index)].Name = "Cold room " + std::to_string(i);
    }
    qrv::StationPaths paths{dir};
    qrv::SystemSettings settings;
    qrv::WriteIniFile(paths.IniFileName(), settings, clock, dialogs, log);
    qrv::WriteSensorFile(paths.SnsFileName(qrv::kModeOffLine), table, clock, dialogs, log, 0);
    // No interface unit: COM1 names a device that does not exist.
    std::ofstream(paths.PortsFileName()) << "COM1=/nonexistent/quorvanel-bench\n";
}

// One start-up in this process; prints "seconds kilobytes probes".
int MeasureOnce(const std::filesystem::path& dir, Clock::time_point launched) {
    int argc = 1;
    char name[] = "startup_bench";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);

    qrv::RealClock clock;
    qrv::StationPaths paths{dir};
    qrv::ProgramLogFile programLog(paths.LogFileName(), clock);
    qrv::shell::StationMachine machine(clock, paths);
    qrv::ScriptedDialogs dialogs;
    dialogs.QueueButton(2);  // off-line mode
    NoEditor editor;
    qrv::window::MainWindow window(paths, {clock, dialogs, programLog, editor, machine.Parts()});
    qrv::shell::StationState& state = window.Core().State();
    window.show();
    if (window.Core().Start({}) || dialogs.UnexpectedPopups()) {
        std::fprintf(stderr, "start-up did not reach the event loop\n");
        return 1;
    }
    QTimer::singleShot(0, &app, [&] {
        const double seconds = std::chrono::duration<double>(Clock::now() - launched).count();
        std::printf("%.4f %ld %d\n", seconds, ResidentKilobytes(),
                    state.sensors.Lock()->GetMax1820Index() + 1);
        QCoreApplication::exit(0);
    });
    return QApplication::exec();
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc == 4 && std::string(argv[1]) == "--child") {
        // steady_clock is the system-wide monotonic clock, so the parent's
        // time of launch is comparable here: the figure includes exec and
        // the loading of the Qt libraries.
        const Clock::time_point launched{Clock::duration{std::stoll(argv[3])}};
        return MeasureOnce(argv[2], launched);
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const int runs = argc > 1 ? std::atoi(argv[1]) : 5;
    char pattern[] = "/tmp/qrv-startup-XXXXXX";
    const std::filesystem::path dir = mkdtemp(pattern);
    PrepareStation(dir);
    std::printf("start-up to the event loop, offscreen, 100 probes (%d fresh processes)\n", runs);
    std::printf("seconds  resident-kB  probes\n");
    std::fflush(stdout);
    int failures = 0;
    for (int run = 0; run < runs; ++run) {
        // A fresh process each time: start-up cost includes loading Qt.
        const std::string launched = std::to_string(Clock::now().time_since_epoch().count());
        const pid_t child = fork();
        if (child == 0) {
            execl("/proc/self/exe", argv[0], "--child", dir.c_str(), launched.c_str(),
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        waitpid(child, &status, 0);
        failures += WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
    }
    std::filesystem::remove_all(dir);
    return failures == 0 ? 0 : 1;
}
