#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <mutex>
#include <set>
#include <stop_token>

namespace qrv {

// A local calendar date and wall-clock time, as the station shows and stores it.
struct LocalDateTime {
    int year = 2000;
    int month = 1;  // 1..12
    int day = 1;    // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;

    friend bool operator==(const LocalDateTime&, const LocalDateTime&) = default;
};

// The local date and time of a moment of the system clock.
LocalDateTime LocalDateTimeOf(std::chrono::system_clock::time_point when);
// The moment a local date and time names, by the system's time zone (an hour
// the clocks skip or repeat is taken as mktime takes it).
std::time_t MomentOfLocal(const LocalDateTime& when);

// The one source of time for the whole station. Nothing reads the system clock
// or sleeps except through a Clock, so tests and the simulated interface unit
// can run a day of acquisition in virtual time.
class Clock {
  public:
    virtual ~Clock() = default;

    // Local date and time of day.
    virtual LocalDateTime Now() const = 0;

    // Monotonic seconds since an arbitrary start (the run-time's Timer()).
    virtual double Timer() const = 0;

    // Lets the given number of seconds pass (the run-time's Delay()).
    virtual void Delay(double seconds) = 0;

    // Blocks until Timer() has reached deadline; false when stop was requested
    // first. Periodic timer threads and workers wait this way, so that they
    // can be ended at once.
    virtual bool SleepUntil(double deadline, const std::stop_token& stop) = 0;

    // Lets the seconds pass as Delay() does, unless stop is requested first:
    // false then, at once. For a wait on the interface unit (a conversion)
    // that a pause of acquisition need not sit out.
    virtual bool DelayUnless(double seconds, const std::stop_token& stop) {
        return SleepUntil(Timer() + seconds, stop);
    }
};

class RealClock final : public Clock {
  public:
    LocalDateTime Now() const override;
    double Timer() const override;
    void Delay(double seconds) override;
    bool SleepUntil(double deadline, const std::stop_token& stop) override;
};

// Virtual time: Delay() advances time at once instead of sleeping. Safe to use
// from several threads; WaitUntil() and SleepUntil() let a thread block until
// another thread has advanced time far enough (periodic timer threads and
// workers in tests).
class VirtualClock final : public Clock {
  public:
    explicit VirtualClock(LocalDateTime start = {2026, 1, 5, 12, 0, 0, 0});

    LocalDateTime Now() const override;
    double Timer() const override;
    void Delay(double seconds) override;
    bool SleepUntil(double deadline, const std::stop_token& stop) override;
    // Advances time at once, as Delay() does, unless stop was requested.
    bool DelayUnless(double seconds, const std::stop_token& stop) override;

    // Advances time as Delay() does; the name says who moves it.
    void Advance(double seconds) { Delay(seconds); }
    void SetNow(const LocalDateTime& when);

    // Blocks until Timer() >= deadline or Interrupt() is called; returns false
    // when interrupted.
    bool WaitUntil(double deadline);
    void Interrupt();
    // Threads blocked in WaitUntil() or SleepUntil() now, so a test can move
    // time on only once a worker waits for it.
    int Sleepers() const;
    // The earliest Timer() deadline such a thread waits for; infinity when
    // none waits. A test learns from it when a timer will act next, without
    // waiting in real time to see that it does not act earlier.
    double NextWakeUp() const;
    // Both read at one instant. Time moves while a worker runs (its own
    // Delay() calls), so two separate reads can pair a deadline registered
    // after a tick with a time read before it, and take a busy worker for a
    // sleeping one.
    struct Sleep {
        double timer;
        double nextWakeUp;
    };
    Sleep SleepState() const;

  private:
    mutable std::mutex mutex_;
    std::condition_variable_any changed_;
    std::chrono::sys_days startDays_;  // the start date
    std::int64_t startMicros_;         // microseconds into the start day
    // Changed under mutex_, so that waiters see it consistently; read
    // without it by Timer(), which a simulated serial line asks per byte.
    std::atomic<std::int64_t> elapsedMicros_ = 0;
    bool interrupted_ = false;
    // The deadlines of the blocked threads, in microseconds.
    std::multiset<std::int64_t> sleepers_;
};

}  // namespace qrv
