#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <string_view>

namespace qrv {

class TickWatch;

// Tells the service manager how the station is doing when it runs as a
// notify service (systemd's NOTIFY_SOCKET). Outside such a service every call
// does nothing and returns false.
class ServiceNotifier {
  public:
    // READY=1: monitoring runs.
    bool Ready();
    // STATUS=: one line for `systemctl status`. Control characters become
    // blanks, so that a probe name cannot add an assignment of its own.
    bool Status(std::string_view text);
    // WATCHDOG=1: the station is alive; the caller decides that it is.
    bool Watchdog();
    // WATCHDOG=1 only while the timer thread's ticks arrive.
    bool WatchdogIfTicking(const TickWatch& ticks, double now);
    // RELOADING=1 with the time it began: the settings are read again; a
    // Ready() follows when monitoring runs again.
    bool Reloading();
    // EXTEND_TIMEOUT_USEC=: the start-up (or reload) goes on and needs up to
    // this much longer. Sent while the installation runs, so a large network
    // never meets the start timeout while a start that hangs still does.
    bool ExtendTimeout(double seconds);
    // STOPPING=1: the shutdown has begun.
    bool Stopping();

    // The interval the service manager expects WATCHDOG=1 within
    // (WATCHDOG_USEC for this process), or nothing when it expects none.
    static std::optional<double> WatchdogSeconds();

  private:
    bool Notify(const std::string& state);
};

// Whether the timer thread still ticks: it notes each tick, and the service
// sends WATCHDOG=1 only while the latest one is recent, so that a stalled
// timer thread gets the service restarted. Safe to use from both threads.
class TickWatch {
  public:
    explicit TickWatch(double maxSilenceSeconds) : maxSilence_(maxSilenceSeconds) {}

    void Tick(double now) { lastTick_.store(now, std::memory_order_relaxed); }
    bool Alive(double now) const;

  private:
    double maxSilence_;
    // No tick yet: not alive.
    std::atomic<double> lastTick_{-1e300};
};

}  // namespace qrv
