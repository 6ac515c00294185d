// Measures the history and current-values panels on a day of 100 probes
// stored every minute (144 000 values): opening the history view on the day
// and drawing it (target 150 ms), and stepping to the next probe (30 ms).
//
//   QT_QPA_PLATFORM=offscreen views_bench [repeats] [graph styles, e.g. 103]

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "reports/pages/page_output.h"
#include "storage/result_file_format.h"
#include "storage/result_generator.h"
#include "support/recording_status_display.h"
#include "support/scripted_dialogs.h"
#include "views/history_view.h"
#include "views/panels/current_values_panel.h"
#include "views/panels/history_panel.h"

namespace {

using Steady = std::chrono::steady_clock;

double Milliseconds(Steady::time_point since) {
    return std::chrono::duration<double, std::milli>(Steady::now() - since).count();
}

// What the user sees: the event loop has laid the panel out and painted it.
void Draw(QWidget& widget) {
    QCoreApplication::processEvents();
    // What the panel's own event loop does between events: objects the chart
    // let go of are deleted.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    widget.grab();
}

void Report(const char* what, std::vector<double> times, double target) {
    std::sort(times.begin(), times.end());
    const double median = times[times.size() / 2];
    std::printf("%-46s median %7.1f ms  min %7.1f ms  max %7.1f ms  (target %.0f ms) %s\n", what,
                median, times.front(), times.back(), target, median <= target ? "ok" : "OVER");
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const std::string styles = argc > 2 ? argv[2] : "103";
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    char pattern[] = "/tmp/qrv-views-bench-XXXXXX";
    const std::filesystem::path station = ::mkdtemp(pattern);
    std::filesystem::path data = station / "QRVDATA";
    qrv::GeneratorOptions options;
    options.year = 2026;
    options.month = 1;
    options.day = 5;
    options.probes = 100;
    options.intervalMinutes = 1;
    if (const qrv::Generation generation = qrv::GenerateResultFiles(data, options);
        !generation.Written()) {
        std::fprintf(stderr, "%s\n", generation.problem.c_str());
        return 1;
    }
    const std::string day = qrv::ResultFilePath(data, 2026, 1, 5).string();

    qrv::VirtualClock clock({2026, 1, 5, 23, 59, 0, 0});
    qrv::ScriptedDialogs dialogs;
    qrv::RecordingStatusDisplay display;
    int taal = 0;
    std::atomic<int> installed{1};
    qrv::StatusMessages status(display, taal, installed);
    qrv::pages::PrinterOpener printer;
    int knowPrinterSetting = 0;
    for (const char style : styles) {
        const int graphStyle = style - '0';
        const qrv::pages::PanelContext context{
            clock,
            dialogs,
            status,
            printer,
            knowPrinterSetting,
            [&] { return taal; },
            [graphStyle] { return graphStyle; },
            [] { return std::string("Bench"); },
            [&] { return data; },
        };
        std::printf("graph style %d\n", graphStyle);
        auto history = std::make_unique<qrv::HistoryData>();
        int lastViewAction = 0;
        qrv::panels::HistoryPanel panel(context, *history, lastViewAction);
        std::vector<double> opening;
        for (int i = 0; i < repeats; ++i) {
            history->HistoryInitialized = 0;  // read the day again, as a first opening does
            dialogs.QueueText(day);
            const Steady::time_point start = Steady::now();
            panel.Open(qrv::views::kViewSavedData);
            Draw(panel);
            opening.push_back(Milliseconds(start));
            panel.hide();
        }
        Report("history view: open the day and draw it", opening, 150.0);

        panel.Open(qrv::views::kViewSavedData);
        Draw(panel);
        std::vector<double> stepping;
        for (int i = 0; i < 100; ++i) {
            const Steady::time_point start = Steady::now();
            panel.HistoryNextSensor();
            Draw(panel.Graph());
            stepping.push_back(Milliseconds(start));
        }
        Report("history view: next probe", stepping, 30.0);
        if (std::getenv("QRV_BENCH_TRACE")) {
            for (double t : stepping)
                std::printf("%.0f ", t);
            std::printf("\n");
        }
        panel.hide();

        // The current-values panel reads today's file again for every probe.
        qrv::SensorTable probeTable;
        const std::vector<qrv::GeneratedProbe> probes = qrv::MakeGeneratedProbes(100);
        for (int i = 0; i < 100; ++i) {
            qrv::SensorRecord& record = probeTable.SensorArray[static_cast<std::size_t>(i)];
            record.Line = 1;
            record.Rom = probes[static_cast<std::size_t>(i)].rom;
            record.Name = probes[static_cast<std::size_t>(i)].name;
            probeTable.DefineSensorTypeAndUnits(i);
        }
        auto table = std::make_unique<qrv::SharedSensorTable>(std::move(probeTable));
        std::atomic<int> communicationError{0};
        int viewProbeSensor = 0;
        int viewingGraphActive = 0;
        qrv::LiveFeed feed;
        qrv::panels::CurrentValuesPanel current(
            context, {*table, feed, communicationError, viewProbeSensor, viewingGraphActive});
        current.Open(0);
        Draw(current);
        std::vector<double> currentStepping;
        for (int i = 0; i < 100; ++i) {
            const Steady::time_point start = Steady::now();
            current.ViewNext();
            Draw(current.Graph());
            currentStepping.push_back(Milliseconds(start));
        }
        Report("current values: next probe (reads the day)", currentStepping, 30.0);
        current.hide();
    }
    std::filesystem::remove_all(station);
    return 0;
}
