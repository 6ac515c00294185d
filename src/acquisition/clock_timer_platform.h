#pragma once

#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "acquisition/timer_platform.h"
#include "runtime/clock.h"

namespace qrv::acquisition {

// Periodic timers as threads that keep their deadlines on the station's
// Clock. A call that runs late is followed at once by the next one; periods
// missed beyond that are dropped, not queued, and the timer keeps its phase.
class ClockTimerPlatform final : public PeriodicTimerPlatform {
  public:
    explicit ClockTimerPlatform(Clock& clock, int minimumPeriodMs = 1)
        : clock_(clock), minimumPeriodMs_(minimumPeriodMs) {}
    ~ClockTimerPlatform() override;
    ClockTimerPlatform(const ClockTimerPlatform&) = delete;
    ClockTimerPlatform& operator=(const ClockTimerPlatform&) = delete;

    int MinimumPeriodMs() const override { return minimumPeriodMs_; }
    int Start(int periodMs, std::function<void()> procedure) override;
    int Kill(int timerId) override;
    double Now() const override { return clock_.Timer(); }

  private:
    void Run(const std::stop_token& stop, double first, double period,
             const std::function<void()>& procedure);
    void JoinFinished();

    Clock& clock_;
    int minimumPeriodMs_;
    std::mutex mutex_;
    std::map<int, std::jthread> threads_;
    // Threads that stopped themselves from their own procedure; joined later.
    std::vector<std::jthread> finished_;
    int nextId_ = 1;
};

}  // namespace qrv::acquisition
