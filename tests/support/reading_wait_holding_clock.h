#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stop_token>

#include "runtime/clock.h"

namespace qrv::testing {

// A virtual clock for the station's session, except that, once told to,
// it holds every reading wait (a conversion) until the wait's stop comes:
// a conversion that never ends by itself, to show what ends it.
class ReadingWaitHoldingClock final : public Clock {
  public:
    explicit ReadingWaitHoldingClock(VirtualClock& clock) : clock_(clock) {}

    LocalDateTime Now() const override { return clock_.Now(); }
    double Timer() const override { return clock_.Timer(); }
    void Delay(double seconds) override { clock_.Delay(seconds); }
    bool SleepUntil(double deadline, const std::stop_token& stop) override {
        return clock_.SleepUntil(deadline, stop);
    }
    bool DelayUnless(double seconds, const std::stop_token& stop) override;

    void Hold() { holding_ = true; }
    // Ends the held waits as if they had run their course.
    void Release();
    // True once a wait is held, within the deadline.
    bool WaitForAHeldWait(std::chrono::steady_clock::duration deadline);

  private:
    VirtualClock& clock_;
    std::atomic<bool> holding_{false};
    std::mutex mutex_;
    std::condition_variable_any changed_;
    int held_ = 0;
};

}  // namespace qrv::testing
