// The live-event feed's queues: order, the bounded queue that drops its
// oldest events, the wake-up of an event loop, the subscriber's own thread and
// the end of a subscription. Also run under ThreadSanitizer in CI.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <latch>
#include <thread>

#include "feed/live_feed.h"

namespace qrv {
namespace {

using namespace std::chrono_literals;

LiveEvent Reading(double value) {
    LiveEvent event = StationEvent(LiveEventKind::kReading, {});
    event.value = value;
    return event;
}

std::vector<double> Values(const std::vector<LiveEvent>& events) {
    std::vector<double> values;
    for (const LiveEvent& event : events) {
        values.push_back(event.value);
    }
    return values;
}

TEST(LiveFeed, EverySubscriberGetsEveryEventInOrderAndAFullQueueDropsItsOldest) {
    LiveFeed feed;
    FeedSubscription roomy = feed.Subscribe();
    FeedSubscription small = feed.Subscribe(3);
    for (int i = 1; i <= 5; ++i) {
        feed.Publish(Reading(i));
    }
    FeedBatch batch = roomy.Drain();
    EXPECT_EQ(Values(batch.events), (std::vector<double>{1, 2, 3, 4, 5}));
    EXPECT_EQ(batch.dropped, 0U);

    batch = small.Drain();
    EXPECT_EQ(Values(batch.events), (std::vector<double>{3, 4, 5}));
    EXPECT_EQ(batch.dropped, 2U);
    // The batch counts the drops since the previous one; the total stays.
    feed.Publish(Reading(6));
    batch = small.Drain();
    EXPECT_EQ(Values(batch.events), (std::vector<double>{6}));
    EXPECT_EQ(batch.dropped, 0U);
    EXPECT_EQ(small.Dropped(), 2U);
    EXPECT_TRUE(small.Drain().events.empty());

    // A queue of no size still holds the latest event.
    FeedSubscription none = feed.Subscribe(0);
    feed.Publish(Reading(7));
    feed.Publish(Reading(8));
    EXPECT_EQ(Values(none.Drain().events), (std::vector<double>{8}));
}

TEST(LiveFeed, ProbeEventsCarryTheProbeAsItWas) {
    SensorRecord record;
    record.Rom = {0x28, 1, 2, 3, 4, 5, 6, 0x9A};
    record.Name = "Freezer";
    record.Value = -18.5;
    const LocalDateTime at{2026, 3, 9, 3, 0, 12, 0};
    const LiveEvent event = ProbeEvent(LiveEventKind::kAlarmChanged, at, 4, record);
    EXPECT_EQ(event.kind, LiveEventKind::kAlarmChanged);
    EXPECT_EQ(event.time, at);
    EXPECT_EQ(event.index, 4);
    EXPECT_EQ(event.rom, record.Rom);
    EXPECT_EQ(event.name, "Freezer");
    EXPECT_EQ(event.value, -18.5);
    EXPECT_EQ(StationEvent(LiveEventKind::kNetworkLost, at).index, -1);
}

TEST(LiveFeed, TheWakeUpComesOncePerEmptyQueueAndNeverAfterTheSubscriptionEnds) {
    LiveFeed feed;
    const auto wakeUps = std::make_shared<std::atomic<int>>(0);
    {
        FeedSubscription events = feed.Subscribe();
        events.SetWakeUp([wakeUps] { ++*wakeUps; });
        feed.Publish(Reading(1));
        feed.Publish(Reading(2));
        EXPECT_EQ(*wakeUps, 1) << "one wake-up stands for everything until the drain";
        EXPECT_EQ(events.Drain().events.size(), 2U);
        feed.Publish(Reading(3));
        EXPECT_EQ(*wakeUps, 2);
        EXPECT_EQ(feed.Subscribers(), 1U);
    }
    // Unsubscribed by destruction: forgotten, and its wake-up never runs.
    EXPECT_EQ(feed.Subscribers(), 0U);
    feed.Publish(Reading(4));
    EXPECT_EQ(*wakeUps, 2);

    FeedSubscription closed = feed.Subscribe();
    closed.SetWakeUp([wakeUps] { ++*wakeUps; });
    closed.Close();
    feed.Publish(Reading(5));
    EXPECT_EQ(*wakeUps, 2);
    EXPECT_TRUE(closed.Drain().events.empty());
    EXPECT_FALSE(closed.WaitFor(0ms));

    // A moved subscription goes on; the one it replaces ends.
    FeedSubscription first = feed.Subscribe();
    FeedSubscription second = feed.Subscribe();
    EXPECT_EQ(feed.Subscribers(), 2U);
    first = std::move(second);
    EXPECT_EQ(feed.Subscribers(), 1U);
    feed.Publish(Reading(6));
    EXPECT_EQ(Values(first.Drain().events), (std::vector<double>{6}));
}

TEST(LiveFeed, CloseWaitsForAWakeUpThatIsRunningAndReleasesAWaiter) {
    LiveFeed feed;
    FeedSubscription events = feed.Subscribe();
    std::latch entered(1);
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> wakeUpDone{false};
    events.SetWakeUp([&] {
        entered.count_down();
        released.wait();
        wakeUpDone = true;
    });
    std::thread publisher([&feed] { feed.Publish(Reading(1)); });
    entered.wait();

    std::atomic<bool> closing{false};
    auto closer = std::async(std::launch::async, [&] {
        closing = true;
        events.Close();
        return wakeUpDone.load();
    });
    while (!closing) {
        std::this_thread::yield();
    }
    // While the wake-up runs, Close() must not return: its caller may be
    // about to destroy what the wake-up posts to.
    EXPECT_EQ(closer.wait_for(100ms), std::future_status::timeout);
    release.set_value();
    ASSERT_EQ(closer.wait_for(10s), std::future_status::ready);
    EXPECT_TRUE(closer.get()) << "Close() returned before the wake-up had ended";
    publisher.join();

    FeedSubscription waited = feed.Subscribe();
    auto waiter = std::async(std::launch::async, [&waited] { return waited.Next(); });
    waited.Close();
    ASSERT_EQ(waiter.wait_for(10s), std::future_status::ready);
    EXPECT_FALSE(waiter.get());
}

TEST(LiveFeed, ASubscribersThreadTakesEveryEventInOrderAndAStuckOneOnlyLosesItsOwn) {
    LiveFeed feed;
    std::mutex mutex;
    std::vector<double> seen;
    std::promise<void> allSeen;
    std::promise<void> unstick;
    std::shared_future<void> unstuck = unstick.get_future().share();
    std::latch stuck(1);
    {
        FeedThread quick(feed.Subscribe(), [&](const LiveEvent& event) {
            const std::lock_guard lock(mutex);
            seen.push_back(event.value);
            if (seen.size() == 200) {
                allSeen.set_value();
            }
        });
        FeedThread slow(feed.Subscribe(4), [&](const LiveEvent&) {
            stuck.count_down();
            unstuck.wait();
        });
        feed.Publish(Reading(0));
        stuck.wait();
        // The stuck subscriber holds the first event; the publisher goes on.
        for (int i = 1; i < 200; ++i) {
            feed.Publish(Reading(i));
        }
        ASSERT_EQ(allSeen.get_future().wait_for(10s), std::future_status::ready);
        EXPECT_EQ(slow.Dropped(), 199U - 4U);
        EXPECT_EQ(quick.Dropped(), 0U);
        unstick.set_value();
    }
    std::vector<double> expected;
    for (int i = 0; i < 200; ++i) {
        expected.push_back(i);
    }
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(feed.Subscribers(), 0U);
}

TEST(LiveFeed, PublishersOnTwoThreadsGiveEverySubscriberTheSameOrder) {
    LiveFeed feed;
    FeedSubscription a = feed.Subscribe(2000);
    FeedSubscription b = feed.Subscribe(2000);
    auto publish = [&feed](double base) {
        for (int i = 0; i < 500; ++i) {
            feed.Publish(Reading(base + i));
        }
    };
    std::thread one(publish, 0.0);
    std::thread two(publish, 1000.0);
    one.join();
    two.join();
    const std::vector<double> first = Values(a.Drain().events);
    EXPECT_EQ(first.size(), 1000U);
    EXPECT_EQ(first, Values(b.Drain().events));
}

}  // namespace
}  // namespace qrv
