#pragma once

#include <condition_variable>
#include <mutex>

#include "acquisition/timer_platform.h"
#include "service/service_notifier.h"

namespace qrv::station {

// The periodic timers of the acquisition, with every tick noted in a
// TickWatch before the tick's own work: the service feeds the watchdog only
// while they arrive. A check of the program can stall the ticks on purpose
// (Stall), to see that the watchdog then starves.
class WatchedTimerPlatform final : public acquisition::PeriodicTimerPlatform {
  public:
    WatchedTimerPlatform(acquisition::PeriodicTimerPlatform& timers, TickWatch& ticks)
        : timers_(timers), ticks_(ticks) {}
    ~WatchedTimerPlatform() override { Release(); }
    WatchedTimerPlatform(const WatchedTimerPlatform&) = delete;
    WatchedTimerPlatform& operator=(const WatchedTimerPlatform&) = delete;

    int MinimumPeriodMs() const override { return timers_.MinimumPeriodMs(); }
    int Start(int periodMs, std::function<void()> procedure) override;
    int Kill(int timerId) override { return timers_.Kill(timerId); }
    double Now() const override { return timers_.Now(); }

    // From now on every tick waits before it is noted, until Release.
    void Stall();
    // Lets waiting and later ticks go on (before the timers are stopped).
    void Release();

  private:
    void WaitWhileStalled();

    acquisition::PeriodicTimerPlatform& timers_;
    TickWatch& ticks_;
    std::mutex mutex_;
    std::condition_variable released_;
    bool stalled_ = false;
};

}  // namespace qrv::station
