#pragma once

#include <cstdint>
#include <optional>

#include "runtime/clock.h"
#include "sensors/sensor_table.h"

namespace qrv::acquisition {

// The reading before a probe has been read; counts as a failure.
inline constexpr double kNoReadingYet = -777.0;
// Consecutive interface failures that raise the communication alarm, and the
// count that marks the alarm as raised.
inline constexpr int kInterfaceFailuresForAlarm = 3;
inline constexpr int kInterfaceAlarmRaised = 100;
// LostCount at which the network is reset, and from which the cycle moves on.
inline constexpr int kLostCountReset = 4;
inline constexpr int kLostCountMoveOn = 5;

// The lowest index of an active or inhibited probe, or -1.
int SetAcquireEersteSensor(const SensorTable& table);
// The next active or inhibited probe after current, cyclically; current
// itself when no other qualifies; -1 for an empty table.
int NextAcquireSensor(const SensorTable& table, int current);

// A humidity reading within one percent of the previous value is smoothed,
// (2 x previous + reading) / 3; others, and readings of 0 or below, stand.
double SmoothHumidity(double previous, double reading);

// Decides when a store of the day's samples is due: at every minute of the
// day that is a multiple of the sampling interval, once, and once at the
// next tick for due minutes that no tick saw (the machine was suspended, the
// clock jumped forward, a tick was late).
class SamplingTrigger {
  public:
    // Forgets the minutes before now: the first check looks at now's minute.
    void Restart(const LocalDateTime& now);
    // lastSampleTime: minute of the day of the latest store, which is not
    // requested again (the last store of a stopped network).
    bool Due(const LocalDateTime& now, int sampleMinutes, int lastSampleTime);

  private:
    std::optional<std::int64_t> lastChecked_;
};

}  // namespace qrv::acquisition
