// Subscribers of the live-event feed that do not keep up, beside the real
// network timer thread on virtual time: one that is stuck in its handler and
// one that never takes its events. Acquisition and the stores must go on as
// if they were not there. Also run under ThreadSanitizer in CI.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <future>
#include <map>
#include <thread>

#include "live_station.h"
#include "station/display_timer.h"

namespace qrv::testing {
namespace {

using namespace std::chrono_literals;

class FeedConsumers : public ::testing::Test, protected LiveStation {
  protected:
    FeedConsumers() : LiveStation(kThreeProbeNetwork, {2026, 3, 9, 14, 0, 30, 0}, true) {
        AddProbe(1, 0, "Cold room");
        AddProbe(1, 1, "Office");
        AddProbe(1, 2, "Door");
        SystemSettings everyMinute = state.settings;
        everyMinute.KeuzeSampleTime = 1;
        state.settingsOwner.Replace(everyMinute);
    }
    ~FeedConsumers() override { monitoring.DiscardAsyncNetworkTimer(); }

    // Moves virtual time on to each deadline of the network timer's thread,
    // once it sleeps again, and gives the display timer its ticks in between
    // on this thread. A timer thread held up by a subscriber never goes back
    // to sleep, and the deadline ends the run. The time and the deadline are
    // read together: the timer thread moves time itself while it reads a
    // probe, and only a deadline after the time of the same instant says
    // that it sleeps.
    ::testing::AssertionResult RunTimerThreadFor(double seconds) {
        const double end = clock.Timer() + seconds;
        double nextDisplayTick = std::floor(clock.Timer()) + 1.0;
        while (clock.Timer() < end) {
            const auto deadline = std::chrono::steady_clock::now() + 20s;
            VirtualClock::Sleep sleep = clock.SleepState();
            while (!(std::isfinite(sleep.nextWakeUp) && sleep.nextWakeUp > sleep.timer)) {
                if (std::chrono::steady_clock::now() > deadline) {
                    return ::testing::AssertionFailure()
                           << "the timer thread did not come back at " << sleep.timer;
                }
                std::this_thread::yield();
                sleep = clock.SleepState();
            }
            const double next = std::min({sleep.nextWakeUp, nextDisplayTick, end});
            clock.Advance(next - sleep.timer);
            if (clock.Timer() >= nextDisplayTick) {
                shell::SampleTimer(state, services);
                // The station's own events, as the window's loop serves them.
                core.Serve();
                nextDisplayTick += 1.0;
            }
        }
        return ::testing::AssertionSuccess();
    }
};

TEST_F(FeedConsumers, AStuckAndANeverDrainedSubscriberLeaveTicksAndStoresOnTime) {
    LiveFeed& feed = monitoring.Feed();
    const std::size_t othersSubscribed = feed.Subscribers();
    std::promise<void> unstick;
    const std::shared_future<void> unstuck = unstick.get_future().share();
    std::promise<void> stuckPromise;
    std::future<void> stuck = stuckPromise.get_future();
    bool first = true;
    auto slow = std::make_unique<FeedThread>(feed.Subscribe(8), [&](const LiveEvent&) {
        if (first) {
            first = false;
            stuckPromise.set_value();
        }
        unstuck.wait();
    });
    // However the test ends, the handler is let go before its thread is
    // joined; a failed assertion would otherwise hang the program.
    struct LetGo {
        std::promise<void>& promise;
        std::unique_ptr<FeedThread>& thread;
        ~LetGo() {
            if (thread) {
                promise.set_value();
                thread.reset();
            }
        }
    } letGo{unstick, slow};
    FeedSubscription neverDrained = feed.Subscribe(16);
    FeedSubscription watched = feed.Subscribe(100000);

    Install();
    ASSERT_EQ(stuck.wait_for(20s), std::future_status::ready);
    const double from = clock.Timer();
    ASSERT_TRUE(RunTimerThreadFor(180.0));
    services.networkTimer.StopNetworkTimer();

    const FeedBatch batch = watched.Drain();
    EXPECT_EQ(batch.dropped, 0U);
    std::map<int, std::vector<double>> readings;
    std::vector<int> storedMinutes;
    for (const LiveEvent& event : batch.events) {
        if (event.kind == LiveEventKind::kReading) {
            readings[event.index].push_back(event.time.minute * 60.0 + event.time.second +
                                            event.time.millisecond / 1000.0);
        } else if (event.kind == LiveEventKind::kStored) {
            storedMinutes.push_back(event.time.hour * 60 + event.time.minute);
        }
    }
    // One probe read every two seconds: each of the three every six.
    ASSERT_EQ(readings.size(), 3U);
    for (const auto& [index, times] : readings) {
        ASSERT_GE(times.size(), 29U) << "probe " << index;
        for (std::size_t i = 1; i < times.size(); ++i) {
            EXPECT_NEAR(times[i] - times[i - 1], 6.0, 0.1) << "probe " << index << " read " << i;
        }
    }
    // The installation's store and one at each sampling minute, on time.
    EXPECT_EQ(storedMinutes, (std::vector<int>{14 * 60, 14 * 60 + 1, 14 * 60 + 2, 14 * 60 + 3}));
    const std::string day = DayFile(clock.Now());
    for (const char* block : {"14:00", "14:01", "14:02", "14:03"}) {
        EXPECT_EQ(Count(day, std::string(block) + "  0003\r\n"), 1) << block;
    }
    EXPECT_GE(clock.Timer() - from, 180.0);

    // Everything published reached the watcher; the others lost what did not
    // fit in their queues and counted it.
    const std::uint64_t published = batch.events.size();
    EXPECT_EQ(neverDrained.Dropped(), published - 16);
    EXPECT_EQ(neverDrained.Drain().events.size(), 16U);
    // The stuck one holds its first event in the handler and eight queued.
    EXPECT_EQ(slow->Dropped(), published - 1 - 8);
    unstick.set_value();
    slow.reset();
    EXPECT_EQ(feed.Subscribers(), othersSubscribed + 2);
}

}  // namespace
}  // namespace qrv::testing
