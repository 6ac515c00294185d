#include "app/station/accelerated_clock.h"

namespace qrv::station {

namespace {

using Seconds = std::chrono::duration<double>;

}  // namespace

AcceleratedClock::AcceleratedClock(double factor)
    : factor_(factor),
      startWall_(std::chrono::system_clock::now()),
      startSteady_(std::chrono::steady_clock::now()) {}

double AcceleratedClock::Timer() const {
    return Seconds(std::chrono::steady_clock::now() - startSteady_).count() * factor_;
}

LocalDateTime AcceleratedClock::Now() const {
    return LocalDateTimeOf(
        startWall_ +
        std::chrono::duration_cast<std::chrono::system_clock::duration>(Seconds(Timer())));
}

void AcceleratedClock::Delay(double seconds) {
    RealClock().Delay(seconds / factor_);
}

bool AcceleratedClock::SleepUntil(double deadline, const std::stop_token& stop) {
    RealClock real;
    return real.SleepUntil(real.Timer() + (deadline - Timer()) / factor_, stop);
}

}  // namespace qrv::station
