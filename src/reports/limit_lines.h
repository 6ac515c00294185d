#pragma once

#include <optional>

#include "reports/page_model.h"
#include "sensors/sensor_record.h"

namespace qrv {

// The colours of the alarm states, as the views show them.
inline constexpr std::uint32_t kAlarmLimitColour = 0xFF0000;
inline constexpr std::uint32_t kPreAlarmLimitColour = 0xFF6600;

// A probe's limits in whole units, as its record holds them.
struct ProbeLimits {
    int alarmLow = 0;
    int alarmHigh = 0;
    int tripLow = 0;
    int tripHigh = 0;
};

// The limits a graph of the probe shows: those of a measured temperature or
// humidity probe; none for a switch, an unknown type or a probe that is off.
std::optional<ProbeLimits> GraphLimitsOf(const SensorRecord& record);

// Draws the limits near the values (within ten units of them, or of their
// spread) on a graph of values between minValue and maxValue, and widens the
// value axis to show them; farther limits would squeeze the curve to a line.
// A graph without a curve is left alone.
void AddLimitLines(GraphModel& graph, const ProbeLimits& limits, double minValue, double maxValue,
                   double margin);

}  // namespace qrv
