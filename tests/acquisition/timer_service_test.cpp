#include <gtest/gtest.h>

#include <vector>

#include "acquisition/timer_service.h"
#include "runtime/clock.h"
#include "support/stepped_timer_platform.h"

namespace qrv::acquisition {
namespace {

class TimerServiceTest : public ::testing::Test {
  protected:
    // Delivers every tick due up to virtual time t, in order.
    void RunUntil(double t) {
        for (double next = platform.NextDeadline(); next <= t; next = platform.NextDeadline()) {
            if (clock.Timer() < next) {
                clock.Advance(next - clock.Timer());
            }
            platform.RunDue();
        }
        if (clock.Timer() < t) {
            clock.Advance(t - clock.Timer());
        }
    }
    AsyncTimerCallback Recorder() {
        return [this](const AsyncTimerEvent& event) {
            events.push_back(event);
            return 0;
        };
    }
    int Count(int timerId, int event) const {
        int n = 0;
        for (const auto& e : events) {
            n += e.timerId == timerId && e.event == event ? 1 : 0;
        }
        return n;
    }

    VirtualClock clock;
    SteppedTimerPlatform platform{clock};
    std::vector<AsyncTimerEvent> events;  // outlives the service's last discard events
    AsyncTimerService service{platform};
};

TEST_F(TimerServiceTest, RejectsBadArgumentsAndAZeroDelay) {
    EXPECT_EQ(service.NewAsyncTimer(-1.0, -1, 1, Recorder(), 0), kTimerInvalidArgument);
    EXPECT_EQ(service.NewAsyncTimer(1.0, 0, 1, Recorder(), 0), kTimerInvalidArgument);
    EXPECT_EQ(service.NewAsyncTimer(1.0, -1, 2, Recorder(), 0), kTimerInvalidArgument);
    // 0.4 ms truncates to 0 ms: accepted as an argument, refused by the platform.
    EXPECT_EQ(service.NewAsyncTimer(0.0004, -1, 1, Recorder(), 0), kTimerPlatformFailed);
    EXPECT_EQ(platform.LiveTimers(), 0U);
    EXPECT_EQ(service.DiscardAsyncTimer(kAllTimers), kTimerOk);
}

TEST_F(TimerServiceTest, ACountOfThreeGivesThreeTicksThenOneDiscard) {
    const int id = service.NewAsyncTimer(1.0, 3, 1, Recorder(), 42);
    ASSERT_EQ(id, 1);
    RunUntil(10.0);
    ASSERT_EQ(events.size(), 4U);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(events[static_cast<std::size_t>(i)].event, kEventTimerTick);
        EXPECT_DOUBLE_EQ(events[static_cast<std::size_t>(i)].now, i + 1.0);
        EXPECT_DOUBLE_EQ(events[static_cast<std::size_t>(i)].elapsed, 1.0);
        EXPECT_EQ(events[static_cast<std::size_t>(i)].callbackData, 42U);
    }
    EXPECT_EQ(events[3].event, kEventDiscard);
    EXPECT_DOUBLE_EQ(events[3].now, 4.0);
    TimerAttributeValue value;
    EXPECT_EQ(service.GetAsyncTimerAttribute(id, kAttributeCount, value), kTimerNotFound);
    EXPECT_EQ(platform.LiveTimers(), 0U);
}

TEST_F(TimerServiceTest, IdentifiersOfDiscardedTimersAreReusedMostRecentFirst) {
    EXPECT_EQ(service.NewAsyncTimer(1.0, -1, 1, Recorder(), 0), 1);
    EXPECT_EQ(service.NewAsyncTimer(1.0, -1, 1, Recorder(), 0), 2);
    EXPECT_EQ(service.NewAsyncTimer(1.0, -1, 1, Recorder(), 0), 3);
    EXPECT_EQ(service.DiscardAsyncTimer(1), kTimerOk);
    EXPECT_EQ(service.DiscardAsyncTimer(3), kTimerOk);
    EXPECT_EQ(service.DiscardAsyncTimer(3), kTimerNotFound);
    EXPECT_EQ(service.NewAsyncTimer(1.0, -1, 1, Recorder(), 0), 3);
    EXPECT_EQ(service.NewAsyncTimer(1.0, -1, 1, Recorder(), 0), 1);
    EXPECT_EQ(service.NewAsyncTimer(1.0, -1, 1, Recorder(), 0), 4);
    EXPECT_EQ(service.DiscardAsyncTimer(kAllTimers), kTimerOk);
    EXPECT_EQ(Count(1, kEventDiscard) + Count(2, kEventDiscard) + Count(3, kEventDiscard) +
                  Count(4, kEventDiscard),
              6);
    EXPECT_EQ(service.NewAsyncTimer(1.0, -1, 1, Recorder(), 0), 1);
}

TEST_F(TimerServiceTest, AttributesAreCheckedStoredAndReadBack) {
    const int id = service.NewAsyncTimer(1.0, -1, 1, Recorder(), 0);
    EXPECT_EQ(service.SetAsyncTimerAttribute(id, kAttributeEnabled, 2), kTimerInvalidArgument);
    EXPECT_EQ(service.SetAsyncTimerAttribute(id, 6, 1), kTimerInvalidArgument);
    EXPECT_EQ(service.SetAsyncTimerAttribute(id, kAttributeInterval, 1), kTimerInvalidArgument);
    EXPECT_EQ(service.SetAsyncTimerAttribute(99, kAttributeCount, 1), kTimerNotFound);
    EXPECT_EQ(service.SetAsyncTimerAttribute(id, kAttributeCallbackData, std::uintptr_t{7}),
              kTimerOk);

    EXPECT_EQ(service.SetAsyncTimerAttribute(id, kAttributeInterval, 2.5), kTimerOk);
    TimerAttributeValue value;
    ASSERT_EQ(service.GetAsyncTimerAttribute(id, kAttributeInterval, value), kTimerOk);
    EXPECT_DOUBLE_EQ(std::get<double>(value), 2.5);
    RunUntil(6.0);
    ASSERT_EQ(events.size(), 2U);
    EXPECT_DOUBLE_EQ(events[1].now, 5.0);
    EXPECT_EQ(events[1].callbackData, 7U);

    // A count of 0 on a running timer ends it at its next period.
    EXPECT_EQ(service.SetAsyncTimerAttribute(id, kAttributeCount, 0), kTimerOk);
    RunUntil(8.0);
    ASSERT_EQ(events.size(), 3U);
    EXPECT_EQ(events[2].event, kEventDiscard);
    EXPECT_DOUBLE_EQ(events[2].now, 7.5);
}

TEST_F(TimerServiceTest, TicksWhileDisabledOrSuspendedAreDroppedNotQueued) {
    const int id = service.NewAsyncTimer(1.0, 5, 0, Recorder(), 0);
    RunUntil(3.0);
    EXPECT_TRUE(events.empty());
    service.SetAsyncTimerAttribute(id, kAttributeEnabled, 1);
    RunUntil(4.0);
    EXPECT_EQ(Count(id, kEventTimerTick), 1);

    service.SuspendAsyncTimerCallbacks();
    RunUntil(10.0);
    EXPECT_EQ(Count(id, kEventTimerTick), 1);
    TimerAttributeValue count;
    service.GetAsyncTimerAttribute(id, kAttributeCount, count);
    EXPECT_EQ(std::get<int>(count), 4);

    service.ResumeAsyncTimerCallbacks();
    RunUntil(11.0);
    EXPECT_EQ(Count(id, kEventTimerTick), 2);
}

TEST_F(TimerServiceTest, ATickMayDiscardItsOwnTimerAndCreateAnother) {
    int second = 0;
    const int first = service.NewAsyncTimer(
        1.0, -1, 1,
        [&](const AsyncTimerEvent& event) {
            events.push_back(event);
            if (event.event == kEventTimerTick) {
                EXPECT_EQ(service.DiscardAsyncTimer(event.timerId), kTimerOk);
                second = service.NewAsyncTimer(1.0, 1, 1, Recorder(), 0);
            }
            return 0;
        },
        0);
    RunUntil(5.0);
    // The new timer took the identifier its creator had just given back.
    EXPECT_EQ(second, first);
    std::vector<std::pair<int, double>> seen;
    for (const auto& event : events) {
        seen.emplace_back(event.event, event.now);
    }
    EXPECT_EQ(seen, (std::vector<std::pair<int, double>>{{kEventTimerTick, 1.0},
                                                         {kEventDiscard, 1.0},
                                                         {kEventTimerTick, 2.0},
                                                         {kEventDiscard, 3.0}}));
}

TEST_F(TimerServiceTest, ALateTickIsFollowedAtOnceAndFurtherMissedPeriodsAreDropped) {
    std::vector<double> ticks;
    service.NewAsyncTimer(
        1.0, -1, 1,
        [&](const AsyncTimerEvent& event) {
            if (event.event != kEventTimerTick) {
                return 0;
            }
            ticks.push_back(event.now);
            if (ticks.size() == 2) {
                clock.Advance(3.5);  // a tick that takes far too long
            }
            return 0;
        },
        0);
    RunUntil(8.0);
    EXPECT_EQ(ticks, (std::vector<double>{1.0, 2.0, 5.5, 6.0, 7.0, 8.0}));
    service.DiscardAsyncTimer(kAllTimers);  // before the ticks it records go
}

}  // namespace
}  // namespace qrv::acquisition
