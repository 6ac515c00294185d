#pragma once

#include <chrono>

#include "runtime/clock.h"

namespace qrv::station {

// Real time run faster by a constant factor, from the moment it is made: a
// simulated station lives through its minutes and stores in seconds, so
// that a check of the whole program need not wait for the wall clock.
class AcceleratedClock final : public Clock {
  public:
    explicit AcceleratedClock(double factor);

    LocalDateTime Now() const override;
    double Timer() const override;
    void Delay(double seconds) override;
    bool SleepUntil(double deadline, const std::stop_token& stop) override;

    double Factor() const { return factor_; }

  private:
    double factor_;
    std::chrono::system_clock::time_point startWall_;
    std::chrono::steady_clock::time_point startSteady_;
};

}  // namespace qrv::station
