#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "feed/notice_tally.h"
#include "notify/channel.h"
#include "runtime/clock.h"
#include "runtime/event_log.h"

namespace qrv::notify {

// Waits between attempts of a failed delivery: 1, 2, 4, ... minutes on the
// station's clock, until an hour after the first attempt.
inline constexpr double kFirstRetrySeconds = 60.0;
inline constexpr double kRetryForSeconds = 3600.0;

// When the attempt after `attempts` failed ones is due, or nothing once the
// hour is over.
std::optional<double> NextAttempt(double firstAttempt, double lastAttempt, int attempts);

// A message on its way: how often it was tried, when first and when next,
// on the monotonic clock.
struct QueuedMessage {
    Message message;
    int attempts = 0;
    double first = 0.0;
    double next = 0.0;
    // Kept back from before a restart until it is known whether its alarm
    // still stands: released then, or dropped by the alarm's end.
    bool held = false;
};

// One contact's deliveries on a thread of its own, so a receiver that hangs
// holds up nobody else. Messages go out in the order they come; a failed one
// waits for its retry without holding up those behind it. Before a message
// is queued, the ones it supersedes are dropped (about no alarm it does not
// tell of as well), also one whose attempt is under way (it is not tried
// again). Every attempt is one
// program-log line (a failed one a problem, the one after which a message is
// given up a failure) and is counted in the tally when there is one; no
// address, token or password is logged.
//
// A time-out is a failed attempt like any other: the transfer is closed
// before the retry is made, and the retry carries the same id (the JSON's
// id, ntfy's sequence id, the mail's Message-ID), so a receiver that took
// the first copy after all recognises the second as a repeat.
class ContactDelivery {
  public:
    // changed() is given every message not yet delivered (the one under
    // way included) after each change, on the thread that made it.
    using Changed = std::function<void(const std::vector<QueuedMessage>&)>;
    // Told of a message given up, with what the receiver said last, on this
    // delivery's thread.
    using GivenUp = std::function<void(const Message&, const std::string&)>;

    ContactDelivery(NotifyContact contact, Channel& channel, Clock& clock, EventLog& log,
                    Changed changed = {}, GivenUp givenUp = {}, NoticeTally* tally = nullptr);
    // Messages not yet delivered are logged as not sent.
    ~ContactDelivery();
    ContactDelivery(const ContactDelivery&) = delete;
    ContactDelivery& operator=(const ContactDelivery&) = delete;

    void Send(Message message);
    // A message taken over from before a restart, with its attempts.
    void Resume(QueuedMessage job);
    // Drops the messages that are no longer true.
    void Drop(const std::function<bool(const Message&)>& untrue);
    // Sends the held messages now none of whose alarms (AlarmKeyOf) still
    // awaits news.
    void Release(const std::function<bool(const std::string&)>& awaiting);
    // Nothing being delivered and no attempt due on the clock (held messages
    // wait for no clock).
    bool Idle() const;
    // When the next attempt is due; infinity when none waits. Idle() cannot
    // tell whether this thread has gone to sleep on the clock yet: a test on
    // virtual time waits until the clock's next wake-up is no later than this.
    double NextDue() const;

  private:
    void Run(const std::stop_token& stop);
    void Attempt(QueuedMessage job, const std::stop_token& stop);
    // Under mutex_.
    void Queue(QueuedMessage job);
    void DropLocked(const std::function<bool(const Message&)>& untrue);
    void ReportLocked() const;
    std::string Subject(const Message& message) const;
    void GiveUp(const Message& message, const std::string& line, const std::string& detail);

    const NotifyContact contact_;
    Channel& channel_;
    Clock& clock_;
    EventLog& log_;
    const Changed changed_;
    const GivenUp givenUp_;
    NoticeTally* const tally_;

    mutable std::mutex mutex_;
    std::condition_variable_any queued_;
    std::vector<QueuedMessage> pending_;
    // The message whose attempt is under way, and whether it was dropped
    // meanwhile.
    std::optional<QueuedMessage> inFlight_;
    bool inFlightDropped_ = false;
    // The wait of the thread for its next attempt, cut short by Send().
    std::stop_source* wake_ = nullptr;
    std::jthread thread_;
};

}  // namespace qrv::notify
