#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "runtime/clock.h"
#include "sensors/sensor_record.h"

namespace qrv {

// What happened at the station, as it happened. Each event is published once,
// by the side that knows it:
//   kReading            the network timer stored a good reading of a probe
//                       (failed readings change nothing a subscriber shows;
//                       a probe that stays silent becomes kAlarmChanged to
//                       kAlarmLost): probe, value
//   kAlarmChanged       a probe's alarm state changed, in the alarm walk or
//                       when disabled alarms clear it: probe, value,
//                       oldAlarm, newAlarm (kAlarmNone when it ended)
//   kStored             the day's block of every probe was appended to the
//                       day's file; time is the block's minute
//   kStoreFailed        a store wrote nothing: reason says why, in the words
//                       of the program log (the store's failure path
//                       publishes it)
//   kNetworkLost        the interface unit stopped answering (the alarm
//                       file's "network lost" line)
//   kNetworkBack        it answers again
//   kAcquisitionPaused  acquisition paused: an installation, the editor, a
//                       stop, the relay test
//   kAcquisitionResumed acquisition runs again
//   kAcknowledged       someone took care of the standing alarms (the alarm
//                       button, a web account): by who, reason the comment
//   kTimeAlarmChanged   the alarm on a probe's minutes out of range in the
//                       last 24 hours rose, changed side or ended: probe,
//                       value the minutes on the alarm's side (on the side
//                       that ended for an end), oldAlarm and newAlarm
//                       kTimeAlarmHigh, kTimeAlarmLow or kAlarmNone. It
//                       stands beside the probe's AlarmState, never in it.
// Kinds are only ever added at the end: a subscriber ignores the ones it does
// not know.
enum class LiveEventKind : std::uint8_t {
    kReading,
    kAlarmChanged,
    kStored,
    kStoreFailed,
    kNetworkLost,
    kNetworkBack,
    kAcquisitionPaused,
    kAcquisitionResumed,
    kAcknowledged,
    kTimeAlarmChanged,
    // The probes' settings changed: names, limits, the table itself (an
    // edit, a delete, an installation, files read again). What shows or
    // publishes the probes takes them anew from the table.
    kProbeSettingsChanged,
    // The station's settings changed: language, port, mode, alarms on or
    // off, the network's name.
    kStationSettingsChanged,
    // The alarms are audible again (the mute was taken back): by says who.
    kUnmuted,
    // The call list gave up a notice (NoticeTally holds the counts and the
    // notice): by the contact, reason what the receiver said last.
    kNoticeGivenUp,
    // An installation ended with the network running: the probes found are
    // the table's.
    kProbesInstalled,
    // The calibrations in use were replaced by their file, changed since it
    // was last read (quorvanel-report, an editor elsewhere).
    kCalibrationsReread,
    // The same for the thresholds of the time-out-of-range alarms.
    kTimeAlarmsReread,
    // A block of the day's values is due: the sampling interval's minute
    // came (the network timer finds it), or monitoring just began. The
    // station stores on its user-interface thread when it takes this.
    kStoreDue,
};

// The longest acknowledgement comment, in characters: what the window's
// prompt and the dashboard take, and what the alarm file keeps whole.
inline constexpr std::size_t kMaxCommentLength = 200;

struct LiveEvent {
    LiveEventKind kind = LiveEventKind::kReading;
    LocalDateTime time;
    // Probe events: the probe's slot when the event happened, its ROM code
    // and name. Slots move when probes are deleted; the ROM says which probe
    // it is. -1 and empty for the other kinds.
    int index = -1;
    RomCode rom{};
    std::string name;
    double value = 0.0;
    int oldAlarm = kAlarmNone;
    int newAlarm = kAlarmNone;
    std::string reason;
    // kAcknowledged: the login or account name. kProbeSettingsChanged: who
    // changed them, with the front end ("anna (web)"); empty for the
    // station's own changes, recorded for its operator.
    std::string by;
    // kProbeSettingsChanged: the reason the person gave for the change, which
    // the audit trail's lines of it carry; empty when none was given.
    std::string givenReason;

    friend bool operator==(const LiveEvent&, const LiveEvent&) = default;
};

// An event about the probe in slot index, with its identity and value.
LiveEvent ProbeEvent(LiveEventKind kind, const LocalDateTime& time, int index,
                     const SensorRecord& record);
// An event about the station as a whole.
LiveEvent StationEvent(LiveEventKind kind, const LocalDateTime& time);

// Whether what a follower shows of the probes (which there are, their names
// and limits) must be taken anew from the table after this event: settings
// changed, or acquisition resumed after a pause in which they may have.
bool AsksForAFreshTable(LiveEventKind kind);

// What a subscriber takes at once: the queued events, oldest first, and how
// many older ones the full queue dropped since the previous take. A
// subscriber that lost events rebuilds what it shows from the probe table.
struct FeedBatch {
    std::vector<LiveEvent> events;
    std::uint64_t dropped = 0;
};

namespace detail {
class FeedQueue;
}

// One subscriber's end of the feed: a bounded queue that the feed pushes into
// without ever waiting for the subscriber. When it is full the oldest event is
// dropped and counted. The subscription ends when this handle is destroyed
// (or closed): nothing is queued any more and the feed forgets it.
//
// Served in one of three ways:
//  - on an event loop: SetWakeUp() gives a call that posts to the loop, and
//    the posted work takes Drain();
//  - on a thread of its own: FeedThread below;
//  - by a consumer that waits: WaitFor().
class FeedSubscription {
  public:
    FeedSubscription() = default;
    ~FeedSubscription();
    FeedSubscription(FeedSubscription&& other) noexcept = default;
    FeedSubscription& operator=(FeedSubscription&& other) noexcept;
    FeedSubscription(const FeedSubscription&) = delete;
    FeedSubscription& operator=(const FeedSubscription&) = delete;

    // Called on the publisher's thread whenever an event arrives in an empty
    // queue, so one call stands for everything up to the next Drain(). It
    // must only post or signal: it runs inside the publisher's step and
    // under the feed's lock (never Subscribe or Close from it). Once Close()
    // has returned it is never called again, so it may post to an object
    // that is destroyed after closing.
    void SetWakeUp(std::function<void()> wakeUp);

    FeedBatch Drain();
    // The oldest event, waiting for one at most timeout; none on time-out
    // and once the subscription is closed.
    std::optional<LiveEvent> WaitFor(std::chrono::milliseconds timeout);
    // Blocks until an event comes (the oldest one) or the subscription is
    // closed (none).
    std::optional<LiveEvent> Next();
    // Events dropped because the queue was full, since subscribing.
    std::uint64_t Dropped() const;
    // Ends the subscription; waits for a wake-up that is running, and
    // waiters return. Also done by the destructor.
    void Close();

  private:
    friend class LiveFeed;
    explicit FeedSubscription(std::shared_ptr<detail::FeedQueue> queue);

    std::shared_ptr<detail::FeedQueue> queue_;
};

// A subscription served on a thread of its own: handler runs there for each
// event, in order, and may take the probe table. Destroying it ends the
// subscription and joins the thread after the handler's current call.
class FeedThread {
  public:
    FeedThread(FeedSubscription subscription, std::function<void(const LiveEvent&)> handler);
    ~FeedThread();
    FeedThread(const FeedThread&) = delete;
    FeedThread& operator=(const FeedThread&) = delete;

    std::uint64_t Dropped() const { return subscription_.Dropped(); }

  private:
    FeedSubscription subscription_;
    std::jthread thread_;
};

// The station's live-event feed: any number of subscribers (a window's
// panels, each page of a web dashboard, an MQTT client, the notifications),
// each with its own bounded queue. Publish() is safe from any thread and
// never waits for a subscriber: it holds each queue's lock only to push. All
// subscribers see the events in one order. Publishers call it without
// holding the probe table, so a wake-up or a subscriber's thread may take
// the table.
//
// Current state: the feed keeps no copy of the station's state; the probe
// table is the one place for it. A subscriber that needs the present first
// subscribes and then copies the table (SharedSensorTable::Copy) and the
// flags; every probe event carries the probe's value, so the events queued
// meanwhile, applied on top of the copy in order, lead to the same state and
// nothing between the copy and the first event is missed. The settings of
// the probes (names, limits, status) change only while acquisition is paused
// or by a whole new table after it: kAcquisitionResumed is the moment to
// copy them again.
//
//   FeedSubscription events = feed.Subscribe();     // kDefaultCapacity
//   FeedThread mqtt(feed.Subscribe(256), [](const LiveEvent& e) { ... });
class LiveFeed {
  public:
    static constexpr std::size_t kDefaultCapacity = 1024;

    LiveFeed() = default;
    LiveFeed(const LiveFeed&) = delete;
    LiveFeed& operator=(const LiveFeed&) = delete;

    // A queue that holds at most capacity events (at least one).
    [[nodiscard]] FeedSubscription Subscribe(std::size_t capacity = kDefaultCapacity);
    void Publish(const LiveEvent& event);
    // Subscriptions not yet ended.
    std::size_t Subscribers() const;

  private:
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<detail::FeedQueue>> queues_;
};

}  // namespace qrv
