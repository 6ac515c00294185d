#include "reports/limit_lines.h"

#include <algorithm>
#include <array>

namespace qrv {

namespace {

constexpr double kLimitReach = 10.0;

}  // namespace

std::optional<ProbeLimits> GraphLimitsOf(const SensorRecord& record) {
    if ((record.SensorType != kTypeTemperature && record.SensorType != kTypeHumidity) ||
        record.Status == kStatusOff) {
        return std::nullopt;
    }
    return ProbeLimits{record.AlarmLow, record.AlarmHigh, record.TripLow, record.TripHigh};
}

void AddLimitLines(GraphModel& graph, const ProbeLimits& limits, double minValue, double maxValue,
                   double margin) {
    if (graph.xs.empty() || minValue > maxValue) {
        return;
    }
    const double reach = std::max(kLimitReach, maxValue - minValue);
    // Alarm limits first: where a pre-alarm limit equals one, the alarm's
    // colour shows.
    const std::array<LimitLine, 4> all{
        {{static_cast<double>(limits.alarmHigh), kAlarmLimitColour},
         {static_cast<double>(limits.alarmLow), kAlarmLimitColour},
         {static_cast<double>(limits.tripHigh), kPreAlarmLimitColour},
         {static_cast<double>(limits.tripLow), kPreAlarmLimitColour}}};
    double lo = minValue;
    double hi = maxValue;
    for (const LimitLine& line : all) {
        const bool near = line.value >= minValue - reach && line.value <= maxValue + reach;
        const bool drawn = std::any_of(graph.limits.begin(), graph.limits.end(),
                                       [&](const LimitLine& l) { return l.value == line.value; });
        if (near && !drawn) {
            graph.limits.push_back(line);
            lo = std::min(lo, line.value);
            hi = std::max(hi, line.value);
        }
    }
    if (!graph.limits.empty()) {
        graph.y = ComputeValueAxis(lo, hi, margin);
    }
}

}  // namespace qrv
