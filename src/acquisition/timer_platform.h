#pragma once

#include <functional>

namespace qrv::acquisition {

// What the asynchronous timer service needs of the platform: periodic timers
// that call a procedure from a thread of their own, and a time in seconds.
class PeriodicTimerPlatform {
  public:
    virtual ~PeriodicTimerPlatform() = default;

    // The shortest period the platform supports.
    virtual int MinimumPeriodMs() const = 0;
    // Starts a periodic timer whose first call comes after periodMs and then
    // every periodMs. Returns its identifier (not 0), or 0 when it cannot run.
    virtual int Start(int periodMs, std::function<void()> procedure) = 0;
    // Stops a timer: 0 on success. Once it returns, the procedure is not
    // running and will not run again, unless Kill was called from that very
    // procedure, which then finishes its current call.
    virtual int Kill(int timerId) = 0;
    // Seconds on the platform's clock.
    virtual double Now() const = 0;
};

}  // namespace qrv::acquisition
