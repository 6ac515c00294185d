// Live acquisition with its other threads: the SMS hand-offs, and the
// network timer's own thread against the pause and resume of the
// user-interface side. Also run under ThreadSanitizer in CI.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "live_fixture.h"

namespace qrv::testing {
namespace {

using namespace std::chrono_literals;

const char* const kTwoProbes = R"({"lines": [[
    {"type": "DS18B20", "temperature": 4.0},
    {"type": "DS2438", "humidity": 55.0, "temperature": 20.0}], [], []]})";

TEST(LiveThreads, WhileAnSmsHandOffHangsProbesAreReadAndStoresStillRequested) {
    LiveFixture f(kTwoProbes);
    f.StartSession();
    f.AddProbe(1, 0, "Cold room");
    f.AddProbe(1, 1, "Freezer");
    f.Probe(1).AlarmHigh = 0;
    f.Probe(1).AlarmDelay = 0;
    f.Probe(1).SmsEnable = 1;
    f.Probe(1).Value = 5.0;  // as the installation's scan read it
    f.ConfigureSms();
    SystemSettings everyMinute = f.settings.Snapshot();
    everyMinute.KeuzeSampleTime = 1;
    f.settings.Replace(everyMinute);
    f.launcher.SetRunSeconds(ClockedLauncher::kNever);
    f.Start();
    ASSERT_EQ(f.Probe(1).AlarmState, kAlarmHigh);
    // The hand-off starts on the SMS thread before virtual time moves on.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (f.launcher.Launched().empty() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    FeedSubscription events = f.feed.Subscribe();
    f.RunFor(62.0, [] {});
    const std::vector<LiveEvent> published = events.Drain().events;
    const auto stores = std::count_if(published.begin(), published.end(), [](const LiveEvent& e) {
        return e.kind == LiveEventKind::kStoreDue;
    });
    EXPECT_EQ(f.launcher.Launched().size(), 1U);
    EXPECT_GE(f.Probe(0).NewValueCount, 14);
    EXPECT_GE(stores, 1);
    ASSERT_TRUE(f.live.Sms().WaitUntilIdle(std::chrono::seconds(10)));
    EXPECT_NE(f.ProgramLogText().find(": ERROR: SMS Centre timeout."), std::string::npos);
    EXPECT_EQ(f.launcher.Terminated(), 1);
}
TEST(LiveThreads, AStopIsNeverOvertakenByATickOfTheTimerThread) {
    LiveFixture f(kTwoProbes, {2026, 1, 5, 12, 0, 30, 0}, true);
    f.StartSession();
    f.AddProbe(1, 0, "Cold room");
    f.AddProbe(1, 1, "Cellar");
    f.Start();
    std::atomic<bool> pumping{true};
    // Virtual time runs about fifty times faster than real time.
    std::thread pump([&] {
        while (pumping) {
            f.clock.Advance(0.05);
            std::this_thread::sleep_for(1ms);
        }
    });
    int readsWhileRunning = 0;
    for (int round = 0; round < 15; ++round) {
        const int before = f.ProbeCopy(0).NewValueCount + f.ProbeCopy(1).NewValueCount;
        std::this_thread::sleep_for(60ms);
        readsWhileRunning += f.ProbeCopy(0).NewValueCount + f.ProbeCopy(1).NewValueCount - before;

        f.live.Cycle().StopNetworkTimer();
        const auto bytes = f.unit->BytesFromHost();
        const int reads = f.ProbeCopy(0).NewValueCount + f.ProbeCopy(1).NewValueCount;
        const double stoppedAt = f.clock.Timer();
        while (f.clock.Timer() < stoppedAt + 3.0) {
            std::this_thread::sleep_for(1ms);
        }
        EXPECT_EQ(f.unit->BytesFromHost(), bytes) << "round " << round;
        EXPECT_EQ(f.ProbeCopy(0).NewValueCount + f.ProbeCopy(1).NewValueCount, reads);
        f.live.Cycle().StartNetworkTimer();
    }
    pumping = false;
    pump.join();
    EXPECT_GT(readsWhileRunning, 10);
    EXPECT_EQ(f.live.DiscardAsyncNetworkTimer(), acquisition::kTimerOk);
}

// A conversion takes most of a second; a stop (an edit, a shutdown) drops
// the reading in progress, so it ends the wait instead of sitting it out.
TEST(LiveThreads, AStopEndsTheConversionUnderWayAndDropsItsReading) {
    LiveFixture f(kTwoProbes, {2026, 1, 5, 12, 0, 30, 0}, true);
    f.StartSession();
    f.AddProbe(1, 0, "Cold room");
    f.Start();
    f.sessionClock.Hold();
    std::atomic<bool> pumping{true};
    std::thread pump([&] {
        while (pumping) {
            f.clock.Advance(0.05);
            std::this_thread::sleep_for(1ms);
        }
    });
    const bool converting = f.sessionClock.WaitForAHeldWait(10s);
    pumping = false;
    pump.join();
    ASSERT_TRUE(converting) << "no conversion started";

    std::atomic<bool> stopped{false};
    std::thread stop([&] {
        f.live.Cycle().StopNetworkTimer();
        stopped = true;
    });
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!stopped && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    const bool endedByTheStop = stopped;
    // A stop that waits for the conversion would wait for ever here.
    f.sessionClock.Release();
    stop.join();
    EXPECT_TRUE(endedByTheStop) << "the stop waited for the conversion";
    EXPECT_EQ(f.ProbeCopy(0).NewValueCount, 0);
    EXPECT_EQ(f.live.DiscardAsyncNetworkTimer(), acquisition::kTimerOk);
}

}  // namespace
}  // namespace qrv::testing
