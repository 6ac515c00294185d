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
                                 EventLog& log)
    : contact_(std::move(contact)), channel_(channel), clock_(clock), log_(log) {
    thread_ = std::jthread([this](const std::stop_token& stop) { Run(stop); });
}

ContactDelivery::~ContactDelivery() {
    thread_.request_stop();
    thread_.join();
    for (const Pending& job : pending_) {
        log_.LogMessageToDisk(Subject(job.message) + ": not sent, the station shut down");
    }
}

std::string ContactDelivery::Subject(const Message& message) const {
    return fmt::format("Notification to {} by {} ({})", contact_.name,
                       ChannelName(contact_.channel), message.title);
}

void ContactDelivery::Send(Message message) {
    std::lock_guard lock(mutex_);
    const double now = clock_.Timer();
    pending_.push_back({std::move(message), 0, now, now});
    if (wake_ != nullptr) {
        wake_->request_stop();
    }
    changed_.notify_all();
}

bool ContactDelivery::Idle() const {
    std::lock_guard lock(mutex_);
    const double now = clock_.Timer();
    return !busy_ && std::none_of(pending_.begin(), pending_.end(),
                                  [now](const Pending& job) { return job.next <= now; });
}

double ContactDelivery::NextDue() const {
    std::lock_guard lock(mutex_);
    double earliest = std::numeric_limits<double>::infinity();
    for (const Pending& job : pending_) {
        earliest = std::min(earliest, job.next);
    }
    return earliest;
}

void ContactDelivery::Run(const std::stop_token& stop) {
    std::unique_lock lock(mutex_);
    while (!stop.stop_requested()) {
        if (pending_.empty()) {
            changed_.wait(lock, stop, [this] { return !pending_.empty(); });
            continue;
        }
        // The earliest due; among equals the oldest, so order is kept.
        const auto due =
            std::min_element(pending_.begin(), pending_.end(),
                             [](const Pending& a, const Pending& b) { return a.next < b.next; });
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
        Pending job = std::move(*due);
        pending_.erase(due);
        busy_ = true;
        lock.unlock();
        Attempt(std::move(job), stop);
        lock.lock();
        busy_ = false;
        changed_.notify_all();
    }
}

void ContactDelivery::Attempt(Pending job, const std::stop_token& stop) {
    const double started = clock_.Timer();
    ++job.attempts;
    const DeliveryResult result = channel_.Deliver(contact_, job.message, stop);
    if (result.delivered) {
        log_.LogMessageToDisk(fmt::format("{}: attempt {} delivered ({})", Subject(job.message),
                                          job.attempts, result.detail));
        return;
    }
    if (stop.stop_requested()) {
        log_.LogMessageToDisk(fmt::format("{}: attempt {} cut off, the station shut down",
                                          Subject(job.message), job.attempts));
        return;
    }
    const auto next = NextAttempt(job.first, started, job.attempts);
    if (!next) {
        log_.LogMessageToDisk(fmt::format("{}: attempt {} failed ({}); given up",
                                          Subject(job.message), job.attempts, result.detail));
        return;
    }
    log_.LogMessageToDisk(fmt::format("{}: attempt {} failed ({}); next in {} min",
                                      Subject(job.message), job.attempts, result.detail,
                                      std::lround((*next - started) / 60.0)));
    job.next = *next;
    std::lock_guard lock(mutex_);
    pending_.push_back(std::move(job));
}

}  // namespace qrv::notify
