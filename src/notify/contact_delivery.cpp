#include "notify/contact_delivery.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <fmt/format.h>

namespace qrv::notify {

std::optional<double> NextAttempt(double firstAttempt, double lastAttempt, int attempts) {
    const double deadline = firstAttempt + kRetryForSeconds;
    if (lastAttempt >= deadline) {
        return std::nullopt;
    }
    const double wait = kFirstRetrySeconds * std::pow(2.0, std::max(0, attempts - 1));
    return std::min(lastAttempt + wait, deadline);
}

ContactDelivery::ContactDelivery(NotifyContact contact, Channel& channel, Clock& clock,
                                 EventLog& log, Changed changed, GivenUp givenUp,
                                 NoticeTally* tally)
    : contact_(std::move(contact)),
      channel_(channel),
      clock_(clock),
      log_(log),
      changed_(std::move(changed)),
      givenUp_(std::move(givenUp)),
      tally_(tally) {
    thread_ = std::jthread([this](const std::stop_token& stop) { Run(stop); });
}

ContactDelivery::~ContactDelivery() {
    thread_.request_stop();
    thread_.join();
    for (const QueuedMessage& job : pending_) {
        log_.LogMessageToDisk(Subject(job.message) +
                              (changed_ ? ": not sent yet, kept for the next start"
                                        : ": not sent, the station shut down"));
    }
}

std::string ContactDelivery::Subject(const Message& message) const {
    return fmt::format("Notification to {} by {} ({})", contact_.name,
                       ChannelName(contact_.channel), message.title);
}

void ContactDelivery::GiveUp(const Message& message, const std::string& line,
                             const std::string& detail) {
    log_.LogFailure(line);
    if (tally_ != nullptr) {
        tally_->GivenUp({clock_.Now(), contact_.name, contact_.channel, message.title, detail});
    }
    if (givenUp_) {
        givenUp_(message, detail);
    }
}

void ContactDelivery::Send(Message message) {
    std::lock_guard lock(mutex_);
    if (message.kind != NoticeKind::kTest) {
        // A notice about several alarms is replaced only by one that tells
        // of all of them: the others are still news.
        DropLocked([&message](const Message& older) {
            return older.kind != NoticeKind::kTest && Supersedes(message.kind, older.kind) &&
                   std::all_of(
                       older.alarms.begin(), older.alarms.end(), [&](const std::string& alarm) {
                           return std::find(message.alarms.begin(), message.alarms.end(), alarm) !=
                                  message.alarms.end();
                       });
        });
    }
    const double now = clock_.Timer();
    Queue({std::move(message), 0, now, now});
}

void ContactDelivery::Resume(QueuedMessage job) {
    std::lock_guard lock(mutex_);
    Queue(std::move(job));
}

void ContactDelivery::Drop(const std::function<bool(const Message&)>& untrue) {
    std::lock_guard lock(mutex_);
    DropLocked(untrue);
    ReportLocked();
}

void ContactDelivery::Release(const std::function<bool(const std::string&)>& awaiting) {
    std::lock_guard lock(mutex_);
    bool released = false;
    for (QueuedMessage& job : pending_) {
        if (job.held &&
            std::none_of(job.message.alarms.begin(), job.message.alarms.end(), awaiting)) {
            job.held = false;
            job.next = std::min(job.next, clock_.Timer());
            released = true;
        }
    }
    if (released) {
        ReportLocked();
        if (wake_ != nullptr) {
            wake_->request_stop();
        }
        queued_.notify_all();
    }
}

void ContactDelivery::Queue(QueuedMessage job) {
    pending_.push_back(std::move(job));
    ReportLocked();
    if (wake_ != nullptr) {
        wake_->request_stop();
    }
    queued_.notify_all();
}

void ContactDelivery::DropLocked(const std::function<bool(const Message&)>& untrue) {
    // Partitioned, not removed: the dropped ones are still whole for their log lines.
    const auto gone =
        std::stable_partition(pending_.begin(), pending_.end(),
                              [&](const QueuedMessage& job) { return !untrue(job.message); });
    for (auto job = gone; job != pending_.end(); ++job) {
        log_.LogMessageToDisk(Subject(job->message) + ": dropped, a later notice replaces it");
    }
    pending_.erase(gone, pending_.end());
    if (inFlight_ && !inFlightDropped_ && untrue(inFlight_->message)) {
        inFlightDropped_ = true;
    }
}

void ContactDelivery::ReportLocked() const {
    if (!changed_) {
        return;
    }
    std::vector<QueuedMessage> all = pending_;
    if (inFlight_ && !inFlightDropped_) {
        all.insert(all.begin(), *inFlight_);
    }
    changed_(all);
}

bool ContactDelivery::Idle() const {
    std::lock_guard lock(mutex_);
    const double now = clock_.Timer();
    return !inFlight_ &&
           std::none_of(pending_.begin(), pending_.end(),
                        [now](const QueuedMessage& job) { return !job.held && job.next <= now; });
}

double ContactDelivery::NextDue() const {
    std::lock_guard lock(mutex_);
    double earliest = std::numeric_limits<double>::infinity();
    for (const QueuedMessage& job : pending_) {
        if (!job.held) {
            earliest = std::min(earliest, job.next);
        }
    }
    return earliest;
}

void ContactDelivery::Run(const std::stop_token& stop) {
    std::unique_lock lock(mutex_);
    while (!stop.stop_requested()) {
        const auto sendable = [this] {
            return std::any_of(pending_.begin(), pending_.end(),
                               [](const QueuedMessage& job) { return !job.held; });
        };
        if (!sendable()) {
            queued_.wait(lock, stop, sendable);
            continue;
        }
        // The earliest due; among equals the oldest, so order is kept.
        const auto due = std::min_element(pending_.begin(), pending_.end(),
                                          [](const QueuedMessage& a, const QueuedMessage& b) {
                                              return !a.held && (b.held || a.next < b.next);
                                          });
        if (due->next > clock_.Timer()) {
            std::stop_source wake;
            wake_ = &wake;
            const double deadline = due->next;
            lock.unlock();
            {
                const std::stop_callback onStop(stop, [&wake] { wake.request_stop(); });
                clock_.SleepUntil(deadline, wake.get_token());
            }
            lock.lock();
            wake_ = nullptr;
            continue;
        }
        inFlight_ = std::move(*due);
        inFlightDropped_ = false;
        pending_.erase(due);
        QueuedMessage job = *inFlight_;
        lock.unlock();
        Attempt(std::move(job), stop);
        lock.lock();
        queued_.notify_all();
    }
}

void ContactDelivery::Attempt(QueuedMessage job, const std::stop_token& stop) {
    const double started = clock_.Timer();
    ++job.attempts;
    const DeliveryResult result = channel_.Deliver(contact_, job.message, stop);
    std::optional<QueuedMessage> again;
    if (result.delivered) {
        log_.LogMessageToDisk(fmt::format("{}: attempt {} delivered ({})", Subject(job.message),
                                          job.attempts, result.detail));
        if (tally_ != nullptr) {
            tally_->Delivered(contact_.name, contact_.channel);
        }
    } else if (stop.stop_requested()) {
        log_.LogMessageToDisk(fmt::format("{}: attempt {} cut off, the station shut down",
                                          Subject(job.message), job.attempts));
        job.next = started;
        again = std::move(job);
    } else {
        if (tally_ != nullptr) {
            tally_->Failed(contact_.channel);
        }
        const std::optional<double> next =
            result.permanent ? std::nullopt : NextAttempt(job.first, started, job.attempts);
        if (next) {
            log_.LogProblem(fmt::format("{}: attempt {} failed ({}); next in {} min",
                                        Subject(job.message), job.attempts, result.detail,
                                        std::lround((*next - started) / 60.0)));
            job.next = *next;
            again = std::move(job);
        } else {
            GiveUp(
                job.message,
                fmt::format("{}: attempt {} {} ({}); given up", Subject(job.message), job.attempts,
                            result.permanent ? "refused" : "failed", result.detail),
                result.detail);
        }
    }
    std::lock_guard lock(mutex_);
    if (again && inFlightDropped_) {
        log_.LogMessageToDisk(Subject(again->message) + ": dropped, a later notice replaces it");
    } else if (again) {
        pending_.push_back(std::move(*again));
    }
    inFlight_.reset();
    inFlightDropped_ = false;
    ReportLocked();
}

}  // namespace qrv::notify
