// Timers on their own threads, as the station runs them; also run under
// ThreadSanitizer in CI.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <limits>
#include <thread>

#include "acquisition/clock_timer_platform.h"
#include "acquisition/timer_service.h"
#include "runtime/clock.h"

namespace qrv::acquisition {
namespace {

using namespace std::chrono_literals;

// Waits in real time, at most two seconds, for done() to hold.
template <typename Done>
bool WaitFor(Done done) {
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

TEST(ClockTimerThreads, TicksComeFromTheTimerThreadAsVirtualTimePasses) {
    VirtualClock clock;
    ClockTimerPlatform platform(clock);
    AsyncTimerService service(platform);
    std::atomic<int> ticks{0};
    std::atomic<bool> otherThread{true};
    const auto testThread = std::this_thread::get_id();
    service.NewAsyncTimer(
        1.0, -1, 1,
        [&](const AsyncTimerEvent& event) {
            if (event.event == kEventTimerTick) {
                otherThread = otherThread && std::this_thread::get_id() != testThread;
                ++ticks;
            }
            return 0;
        },
        0);
    for (int second = 1; second <= 5; ++second) {
        clock.Advance(1.0);
        // Each tick is followed by the wait for the next whole second.
        ASSERT_TRUE(WaitFor([&] { return ticks == second && clock.NextWakeUp() == second + 1.0; }))
            << "second " << second;
    }
    clock.Advance(0.5);
    EXPECT_EQ(clock.NextWakeUp(), 6.0) << "half a second does not make a tick";
    clock.Advance(0.5);
    ASSERT_TRUE(WaitFor([&] { return ticks == 6 && clock.NextWakeUp() == 7.0; }));
    EXPECT_TRUE(otherThread);
    EXPECT_EQ(service.DiscardAsyncTimer(kAllTimers), kTimerOk);
}

TEST(ClockTimerThreads, ADiscardReturnsOnlyAfterTheTickInProgressHasEnded) {
    VirtualClock clock;
    ClockTimerPlatform platform(clock);
    AsyncTimerService service(platform);
    std::atomic<bool> inTick{false};
    std::atomic<bool> tickEnded{false};
    std::atomic<bool> discardSeenAfterTick{false};
    const int id = service.NewAsyncTimer(
        1.0, -1, 1,
        [&](const AsyncTimerEvent& event) {
            if (event.event == kEventTimerTick && !inTick) {
                inTick = true;
                std::this_thread::sleep_for(50ms);
                tickEnded = true;
            } else if (event.event == kEventDiscard) {
                discardSeenAfterTick = tickEnded.load();
            }
            return 0;
        },
        0);
    clock.Advance(1.0);
    ASSERT_TRUE(WaitFor([&] { return inTick.load(); }));
    EXPECT_EQ(service.DiscardAsyncTimer(id), kTimerOk);
    EXPECT_TRUE(tickEnded);
    EXPECT_TRUE(discardSeenAfterTick);
}

TEST(ClockTimerThreads, ATickDiscardsItsOwnTimerOnTheTimerThread) {
    VirtualClock clock;
    ClockTimerPlatform platform(clock);
    AsyncTimerService service(platform);
    std::atomic<int> ticks{0};
    std::atomic<int> discards{0};
    service.NewAsyncTimer(
        1.0, -1, 1,
        [&](const AsyncTimerEvent& event) {
            if (event.event == kEventTimerTick) {
                ++ticks;
                service.DiscardAsyncTimer(event.timerId);
            } else {
                ++discards;
            }
            return 0;
        },
        0);
    clock.Advance(1.0);
    ASSERT_TRUE(WaitFor([&] { return discards == 1; }));
    // The timer's thread ends after its tick; no thread waits for a later one.
    ASSERT_TRUE(WaitFor([&] { return clock.Sleepers() == 0; }));
    clock.Advance(3.0);
    EXPECT_EQ(clock.NextWakeUp(), std::numeric_limits<double>::infinity());
    EXPECT_EQ(ticks, 1);
    EXPECT_EQ(service.DiscardAsyncTimer(kAllTimers), kTimerOk);
}

}  // namespace
}  // namespace qrv::acquisition
