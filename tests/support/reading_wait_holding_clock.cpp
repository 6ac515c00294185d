#include "support/reading_wait_holding_clock.h"

namespace qrv::testing {

bool ReadingWaitHoldingClock::DelayUnless(double seconds, const std::stop_token& stop) {
    if (!holding_) {
        return clock_.DelayUnless(seconds, stop);
    }
    std::unique_lock lock(mutex_);
    ++held_;
    changed_.notify_all();
    changed_.wait(lock, stop, [&] { return !holding_; });
    --held_;
    return !stop.stop_requested();
}

void ReadingWaitHoldingClock::Release() {
    {
        const std::lock_guard lock(mutex_);
        holding_ = false;
    }
    changed_.notify_all();
}

bool ReadingWaitHoldingClock::WaitForAHeldWait(std::chrono::steady_clock::duration deadline) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, deadline, [&] { return held_ > 0; });
}

}  // namespace qrv::testing
