#pragma once

#include <functional>
#include <map>
#include <memory>

#include "acquisition/timer_platform.h"
#include "runtime/clock.h"

namespace qrv::acquisition {

// Periodic timers whose calls the owner delivers on its own thread with
// RunDue(), for simulations and tests in virtual time: a day of acquisition
// runs in seconds and every run is the same. Late timers behave as on the
// clock platform: one call at once, further missed periods dropped.
class SteppedTimerPlatform final : public PeriodicTimerPlatform {
  public:
    explicit SteppedTimerPlatform(const Clock& clock, int minimumPeriodMs = 1)
        : clock_(clock), minimumPeriodMs_(minimumPeriodMs) {}

    int MinimumPeriodMs() const override { return minimumPeriodMs_; }
    int Start(int periodMs, std::function<void()> procedure) override;
    int Kill(int timerId) override;
    double Now() const override { return clock_.Timer(); }

    // Calls every timer whose deadline has come, once each; returns how many.
    int RunDue();
    // The earliest deadline of a live timer; infinity when there is none.
    double NextDeadline() const;
    std::size_t LiveTimers() const { return timers_.size(); }

  private:
    struct Timer {
        double period;
        double next;
        std::shared_ptr<std::function<void()>> procedure;
    };

    const Clock& clock_;
    int minimumPeriodMs_;
    std::map<int, Timer> timers_;
    int nextId_ = 1;
};

}  // namespace qrv::acquisition
