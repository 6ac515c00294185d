#include "app/station/watched_timers.h"

namespace qrv::station {

int WatchedTimerPlatform::Start(int periodMs, std::function<void()> procedure) {
    return timers_.Start(periodMs, [this, procedure = std::move(procedure)] {
        WaitWhileStalled();
        ticks_.Tick(timers_.Now());
        procedure();
    });
}

void WatchedTimerPlatform::Stall() {
    const std::lock_guard lock(mutex_);
    stalled_ = true;
}

void WatchedTimerPlatform::Release() {
    {
        const std::lock_guard lock(mutex_);
        stalled_ = false;
    }
    released_.notify_all();
}

void WatchedTimerPlatform::WaitWhileStalled() {
    std::unique_lock lock(mutex_);
    released_.wait(lock, [this] { return !stalled_; });
}

}  // namespace qrv::station
