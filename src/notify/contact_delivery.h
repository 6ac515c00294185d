#pragma once

#include <condition_variable>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

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

// One contact's deliveries on a thread of its own, so a receiver that hangs
// holds up nobody else. Messages go out in the order they come; a failed one
// waits for its retry without holding up those behind it. Every attempt is
// one program-log line; no address, token or password is logged.
class ContactDelivery {
  public:
    ContactDelivery(NotifyContact contact, Channel& channel, Clock& clock, EventLog& log);
    // Messages not yet delivered are logged as not sent.
    ~ContactDelivery();
    ContactDelivery(const ContactDelivery&) = delete;
    ContactDelivery& operator=(const ContactDelivery&) = delete;

    void Send(Message message);
    // Nothing being delivered and no attempt due on the clock.
    bool Idle() const;
    // When the next attempt is due; infinity when none waits. Idle() cannot
    // tell whether this thread has gone to sleep on the clock yet: a test on
    // virtual time waits until the clock's next wake-up is no later than this.
    double NextDue() const;

  private:
    struct Pending {
        Message message;
        int attempts = 0;
        double first = 0.0;
        double next = 0.0;
    };

    void Run(const std::stop_token& stop);
    void Attempt(Pending job, const std::stop_token& stop);
    std::string Subject(const Message& message) const;

    const NotifyContact contact_;
    Channel& channel_;
    Clock& clock_;
    EventLog& log_;

    mutable std::mutex mutex_;
    std::condition_variable_any changed_;
    std::vector<Pending> pending_;
    bool busy_ = false;
    // The wait of the thread for its next attempt, cut short by Send().
    std::stop_source* wake_ = nullptr;
    std::jthread thread_;
};

}  // namespace qrv::notify
