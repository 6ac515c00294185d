#include "runtime/clock.h"

#include <chrono>
#include <cmath>
#include <ctime>
#include <limits>
#include <thread>

#include "runtime/calendar.h"

namespace qrv {

LocalDateTime LocalDateTimeOf(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    localtime_r(&seconds, &local);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count() %
        1000;
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,           local.tm_hour,
            local.tm_min,         local.tm_sec,     static_cast<int>(millis)};
}

std::time_t MomentOfLocal(const LocalDateTime& when) {
    std::tm parts{};
    parts.tm_year = when.year - 1900;
    parts.tm_mon = when.month - 1;
    parts.tm_mday = when.day;
    parts.tm_hour = when.hour;
    parts.tm_min = when.minute;
    parts.tm_sec = when.second;
    parts.tm_isdst = -1;
    return std::mktime(&parts);
}

LocalDateTime RealClock::Now() const {
    return LocalDateTimeOf(std::chrono::system_clock::now());
}

double RealClock::Timer() const {
    using Seconds = std::chrono::duration<double>;
    return Seconds(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void RealClock::Delay(double seconds) {
    if (seconds > 0) {
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    }
}

bool RealClock::SleepUntil(double deadline, const std::stop_token& stop) {
    const double remaining = deadline - Timer();
    if (remaining > 0) {
        std::mutex mutex;
        std::condition_variable_any wake;
        std::unique_lock lock(mutex);
        const auto until = std::chrono::steady_clock::now() +
                           std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                               std::chrono::duration<double>(remaining));
        wake.wait_until(lock, stop, until, [] { return false; });
    }
    return !stop.stop_requested();
}

namespace {
constexpr std::int64_t kMicrosPerDay = 86'400'000'000LL;
}

VirtualClock::VirtualClock(LocalDateTime start)
    : startDays_(CivilDay(start.year, start.month, start.day)),
      startMicros_(((start.hour * 60LL + start.minute) * 60LL + start.second) * 1'000'000LL +
                   start.millisecond * 1000LL) {}

LocalDateTime VirtualClock::Now() const {
    std::lock_guard lock(mutex_);
    const std::int64_t total = startMicros_ + elapsedMicros_;
    LocalDateTime result = MidnightOf(startDays_ + std::chrono::days{total / kMicrosPerDay});
    std::int64_t micros = total % kMicrosPerDay;
    result.hour = static_cast<int>(micros / 3'600'000'000LL);
    micros %= 3'600'000'000LL;
    result.minute = static_cast<int>(micros / 60'000'000LL);
    micros %= 60'000'000LL;
    result.second = static_cast<int>(micros / 1'000'000LL);
    result.millisecond = static_cast<int>((micros % 1'000'000LL) / 1000);
    return result;
}

double VirtualClock::Timer() const {
    return static_cast<double>(elapsedMicros_) / 1e6;
}

void VirtualClock::Delay(double seconds) {
    if (seconds <= 0) {
        return;
    }
    bool anyoneWaits = false;
    {
        std::lock_guard lock(mutex_);
        elapsedMicros_ += std::llround(seconds * 1e6);
        // Every waiter registers in sleepers_ under the lock before it
        // waits, so with none there is nobody to wake.
        anyoneWaits = !sleepers_.empty();
    }
    if (anyoneWaits) {
        changed_.notify_all();
    }
}

void VirtualClock::SetNow(const LocalDateTime& when) {
    {
        std::lock_guard lock(mutex_);
        startDays_ = CivilDay(when.year, when.month, when.day);
        startMicros_ = ((when.hour * 60LL + when.minute) * 60LL + when.second) * 1'000'000LL +
                       when.millisecond * 1000LL - elapsedMicros_;
    }
    changed_.notify_all();
}

bool VirtualClock::WaitUntil(double deadline) {
    std::unique_lock lock(mutex_);
    const std::int64_t target = std::llround(deadline * 1e6);
    const auto sleeper = sleepers_.insert(target);
    changed_.wait(lock, [&] { return interrupted_ || elapsedMicros_ >= target; });
    sleepers_.erase(sleeper);
    return !interrupted_;
}

bool VirtualClock::SleepUntil(double deadline, const std::stop_token& stop) {
    std::unique_lock lock(mutex_);
    const std::int64_t target = std::llround(deadline * 1e6);
    const auto sleeper = sleepers_.insert(target);
    changed_.wait(lock, stop, [&] { return interrupted_ || elapsedMicros_ >= target; });
    sleepers_.erase(sleeper);
    return !interrupted_ && !stop.stop_requested();
}

bool VirtualClock::DelayUnless(double seconds, const std::stop_token& stop) {
    if (stop.stop_requested()) {
        return false;
    }
    Delay(seconds);
    return true;
}

int VirtualClock::Sleepers() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(sleepers_.size());
}

double VirtualClock::NextWakeUp() const {
    std::lock_guard lock(mutex_);
    return sleepers_.empty() ? std::numeric_limits<double>::infinity()
                             : static_cast<double>(*sleepers_.begin()) / 1e6;
}

VirtualClock::Sleep VirtualClock::SleepState() const {
    std::lock_guard lock(mutex_);
    return {static_cast<double>(elapsedMicros_) / 1e6,
            sleepers_.empty() ? std::numeric_limits<double>::infinity()
                              : static_cast<double>(*sleepers_.begin()) / 1e6};
}

void VirtualClock::Interrupt() {
    {
        std::lock_guard lock(mutex_);
        interrupted_ = true;
    }
    changed_.notify_all();
}

}  // namespace qrv
