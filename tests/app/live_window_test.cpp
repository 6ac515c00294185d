#include <gtest/gtest.h>

#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QScrollBar>
#include <QTimer>
#include <chrono>
#include <csignal>
#include <limits>
#include <thread>

#include "acquisition/clock_timer_platform.h"
#include "app/shell/results_table.h"
#include "app/window/main_window.h"
#include "app/window/qt_dialogs.h"
#include "runtime/date_strings.h"
#include "station/startup.h"
#include "station_process.h"
#include "support/panel_fixture.h"
#include "window_fixture.h"

namespace qrv::testing {
namespace {

using namespace std::chrono_literals;

// Runs the event loop until done() holds or two seconds of real time pass.
template <typename Done>
bool ProcessEventsUntil(Done done) {
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

class LiveWindowTest : public ::testing::Test, protected WindowFixture {
  protected:
    LiveWindowTest() { window.show(); }
    // Into the station of this window, or of another one.
    void AddProbes(int count) { AddProbesTo(state, count); }
    static void AddProbesTo(shell::StationState& station, int count) {
        for (int i = 0; i < count; ++i) {
            SensorRecord& record = station.sensors.Lock()->SensorArray[static_cast<std::size_t>(i)];
            record.Line = 1;
            record.Name = "Probe " + std::to_string(i);
            record.SensorType = kTypeTemperature;
            record.Units = "\u00B0C";
            record.Value = 20.0 + i / 10.0;
        }
    }
    QTableWidget& Table() { return window.Panel().ResultsTable(); }
    bool Visible(const char* name) { return window.findChild<QWidget*>(name)->isVisible(); }
};

TEST_F(LiveWindowTest, EighteenRowsFitAndTheNineteenthScrolls) {
    shell::InitTheResultsTable(state, window.ResultsTable(), window.Display());
    QCoreApplication::processEvents();
    EXPECT_TRUE(Visible("logo"));
    EXPECT_FALSE(Visible("resultsTable"));

    AddProbes(18);
    shell::InitTheResultsTable(state, window.ResultsTable(), window.Display());
    QCoreApplication::processEvents();
    EXPECT_FALSE(Visible("logo"));
    ASSERT_TRUE(Visible("resultsTable"));
    EXPECT_EQ(Table().rowCount(), 18);
    EXPECT_EQ(Table().verticalScrollBar()->maximum(), 0);
    EXPECT_LE(Table().rowViewportPosition(17) + Table().rowHeight(17),
              Table().viewport()->height());
    EXPECT_EQ(Table().item(5, 1)->text().toStdString(), "  20.5\u00B0C");
    EXPECT_EQ(Table().horizontalHeaderItem(3)->text(), "Alarm status");

    AddProbes(19);
    shell::InitTheResultsTable(state, window.ResultsTable(), window.Display());
    QCoreApplication::processEvents();
    EXPECT_EQ(Table().rowCount(), 19);
    EXPECT_GT(Table().verticalScrollBar()->maximum(), 0);
    EXPECT_GT(Table().rowViewportPosition(18) + Table().rowHeight(18),
              Table().viewport()->height());

    // While the interface unit is silent the table is hidden, the logo too.
    window.Panel().ResultsTable().HideTheTable(true);
    QCoreApplication::processEvents();
    EXPECT_FALSE(Visible("resultsTable"));
    EXPECT_FALSE(Visible("logo"));
    window.Panel().ResultsTable().HideTheTable(false);
    EXPECT_TRUE(Visible("resultsTable"));
}

TEST_F(LiveWindowTest, AReadingPublishedOnAnotherThreadReachesItsRowOnTheEventLoop) {
    AddProbes(3);
    shell::InitTheResultsTable(state, window.ResultsTable(), window.Display());
    LiveEvent reading;
    {
        const auto table = state.sensors.Lock();
        table->SensorArray[1].Value = -3.5;
        reading = ProbeEvent(LiveEventKind::kReading, clock.Now(), 1, table->SensorArray[1]);
    }
    std::thread publisher([&] { window.Monitoring().Feed().Publish(reading); });
    publisher.join();
    EXPECT_EQ(Table().item(1, 1)->text().toStdString(), "  20.1\u00B0C")
        << "the publisher's thread only posts";
    ASSERT_TRUE(ProcessEventsUntil(
        [&] { return Table().item(1, 1)->text().toStdString() == "  -3.5\u00B0C"; }));
    EXPECT_EQ(Table().item(0, 1)->text().toStdString(), "  20.0\u00B0C");
}

TEST_F(LiveWindowTest, TheNoCommunicationScreenKeepsHeaderBannerAndStatusLineInPlace) {
    window.resize(1000, 700);
    AddProbes(4);
    shell::InitTheResultsTable(state, window.ResultsTable(), window.Display());
    window.Display().ShowLogo(false);
    window.Display().ShowAlarmBanner(true, "Alarm on one or more probes!");
    window.Display().SetStatusLine("Probe: Probe 3", 0x0066CC);
    QCoreApplication::processEvents();
    window.Display().SetDateTime(LocalDateTime{2026, 3, 9, 14, 5, 7});
    QCoreApplication::processEvents();
    // Where a field stands and how tall it is.
    const auto place = [this](const char* name) {
        const QWidget* widget = window.findChild<QWidget*>(name);
        return QRect(widget->mapTo(&window, QPoint(0, 0)), widget->size());
    };
    const QRect clock = place("dateTime");
    const QRect banner = place("alarmBox");
    const QRect status = place("statusLine");
    Screenshot(window, "no-communication-before-loss");

    window.Display().ShowAlarmBanner(
        true, "Alarm: No communication with the QUORVANEL Network Interface.");
    window.Panel().ResultsTable().HideTheTable(true);
    QCoreApplication::processEvents();
    Screenshot(window, "no-communication");
    EXPECT_FALSE(Visible("resultsTable"));
    EXPECT_EQ(place("dateTime"), clock);
    EXPECT_EQ(place("alarmBox").top(), banner.top());
    EXPECT_EQ(place("alarmBox").height(), banner.height()) << "the banner does not swell";
    EXPECT_EQ(place("statusLine"), status);
    EXPECT_GT(status.top(), window.height() - 80) << "the status line stays at the bottom";
}

TEST_F(LiveWindowTest, AcquisitionOnItsThreadStopsWhileAQuestionFromAnotherThreadIsOpen) {
    acquisition::ClockTimerPlatform threadTimers(clock);
    window::QtDialogs qtDialogs(&window);
    window::MainWindow live(
        StationPaths{dir.path()},
        {clock, qtDialogs, programLog, editor, {ports, launcher, threadTimers}});
    const shell::ShellServices& services = live.Services();
    shell::StationState& liveState = live.Core().State();
    AddProbesTo(liveState, 2);
    liveState.NetWorkInstalled = 1;
    live.Monitoring().InitAsyncNetworkTimer();
    services.networkTimer.StartNetworkTimer();
    QTimer pump;
    QObject::connect(&pump, &QTimer::timeout, [&] { clock.Advance(0.5); });
    pump.start(5);
    auto& cycle = live.Monitoring().Acquisition().Cycle();
    ASSERT_TRUE(ProcessEventsUntil([&] { return cycle.InterfaceErrorCount() >= 3; }));

    bool questionWasOpen = false;
    std::atomic<int> answer{0};
    QTimer stopper;
    QObject::connect(&stopper, &QTimer::timeout, [&] {
        // Inside the question's own event loop, as a shutdown would come.
        if (!questionWasOpen && QApplication::activeModalWidget() != nullptr) {
            questionWasOpen = true;
            services.networkTimer.StopNetworkTimer();
            live.Monitoring().DiscardAsyncNetworkTimer();
        }
    });
    stopper.start(10);
    std::thread asker([&] {
        answer = qtDialogs.GenericMessagePopup("Quorvanel", "A question from another thread",
                                               {"__Yes", "__No"}, 1, 2);
    });
    ASSERT_TRUE(ProcessEventsUntil([&] { return answer != 0; }));
    asker.join();
    pump.stop();
    stopper.stop();
    EXPECT_TRUE(questionWasOpen);
    EXPECT_EQ(answer, 2) << "the stop answers the open question with its escape choice";
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(liveState.NetworkAsyncTimerEnabled, 0);
    // The discard has joined the timer's thread: nothing waits for time to
    // pass, so half a minute more brings no measurement step.
    EXPECT_EQ(clock.NextWakeUp(), std::numeric_limits<double>::infinity());
    const int errors = cycle.InterfaceErrorCount();
    clock.Advance(30.0);
    EXPECT_EQ(cycle.InterfaceErrorCount(), errors);
}

// A first start on the sample network: installed without a question.
::testing::AssertionResult StartInstalledStation(QProcess& process, const TempDir& station) {
    StartStation(process, station);
    if (!process.waitForStarted(10000)) {
        return ::testing::AssertionFailure() << "the station did not start";
    }
    const auto logText = [&] { return ReadBytes(station.path() / "QRVLog.txt"); };
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (logText().find("Network Installed OK") == std::string::npos) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return ::testing::AssertionFailure() << "not installed: " << logText();
        }
        std::this_thread::sleep_for(50ms);
    }
    return ::testing::AssertionSuccess();
}

TEST(StationProcess, SigtermEndsTheStationThroughItsShutdownWithStatusZero) {
    TempDir station;
    QProcess process;
    ASSERT_TRUE(StartInstalledStation(process, station));
    const auto logText = [&] { return ReadBytes(station.path() / "QRVLog.txt"); };
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    const std::filesystem::path day = StationPaths{station.path()}.DataDirectory(kModeNormal) /
                                      (FileDate(RealClock().Now()) + ".qrd");
    const auto blocks = [&] {
        const std::string text = ReadBytes(day);
        int count = 0;
        for (std::size_t at = text.find("  0015\r\n"); at != std::string::npos;
             at = text.find("  0015\r\n", at + 1)) {
            ++count;
        }
        return count;
    };
    // The installation asks for a store; the display timer makes it.
    while (blocks() == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(50ms);
    }
    ASSERT_GE(blocks(), 1);
    const std::string killedAt = TimeText(RealClock().Now()).substr(0, 5);
    ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
    ASSERT_TRUE(process.waitForFinished(20000));
    const std::string endedAt = TimeText(RealClock().Now()).substr(0, 5);
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_NE(logText().find(": Shutdown on SIGTERM\r\n"), std::string::npos) << logText();
    // The day's last block is of the shutdown's minute (stored then, or by
    // the sampling in that same minute).
    const std::string text = ReadBytes(day);
    const std::size_t last = text.rfind("  0015\r\n");
    ASSERT_NE(last, std::string::npos);
    const std::string lastMinute = text.substr(last - 5, 5);
    EXPECT_TRUE(lastMinute == killedAt || lastMinute == endedAt) << lastMinute;
    EXPECT_EQ(logText().find("Netwerk time-out error"), std::string::npos);
}

TEST(StationProcess, ASecondStationSaysSoAndSighupEndsTheFirstThroughItsShutdown) {
    TempDir station;
    QProcess first;
    ASSERT_TRUE(StartInstalledStation(first, station));
    const auto logText = [&] { return ReadBytes(station.path() / "QRVLog.txt"); };

    QProcess second;
    StartStation(second, station);
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitCode(), 1);
    const std::string said = second.readAllStandardError().toStdString();
    EXPECT_NE(said.find("is already running"), std::string::npos) << said;
    EXPECT_NE(said.find(station.path().string()), std::string::npos) << said;

    ::kill(static_cast<pid_t>(first.processId()), SIGHUP);
    ASSERT_TRUE(first.waitForFinished(20000));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);
    EXPECT_NE(logText().find(": Shutdown on SIGHUP\r\n"), std::string::npos) << logText();
}

TEST(StationProcess, TheWindowOnAStationTheServiceHoldsOpensOffLineBesideIt) {
    TempDir station;
    QProcess service;
    service.start(QRV_SERVICE_EXECUTABLE,
                  {"--station", QString::fromStdString(station.path().string()), "--simulate",
                   "--fast-clock=60"});
    ASSERT_TRUE(service.waitForStarted(10000));
    const auto logText = [&] { return ReadBytes(station.path() / "QRVLog.txt"); };
    const auto waitFor = [&](const std::string& what) {
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        while (logText().find(what) == std::string::npos &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(50ms);
        }
        return logText().find(what) != std::string::npos;
    };
    ASSERT_TRUE(waitFor("Network Installed OK")) << logText();

    QProcess window;
    StartStation(window, station);
    ASSERT_TRUE(waitFor("Window opened off-line: the service monitors the network")) << logText();
    EXPECT_FALSE(window.waitForFinished(1000)) << "the window did not stay open";
    ::kill(static_cast<pid_t>(window.processId()), SIGTERM);
    ASSERT_TRUE(window.waitForFinished(20000));
    EXPECT_EQ(window.exitCode(), 0);
    // The service went on monitoring meanwhile, alone on the unit.
    EXPECT_EQ(service.state(), QProcess::Running);
    const std::string log = logText();
    EXPECT_EQ(log.find("Network Installed OK"), log.rfind("Network Installed OK"));
    ::kill(static_cast<pid_t>(service.processId()), SIGTERM);
    ASSERT_TRUE(service.waitForFinished(20000));
    EXPECT_EQ(service.exitCode(), 0);
}

}  // namespace
}  // namespace qrv::testing
