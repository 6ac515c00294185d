#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "reports/page_model.h"

namespace qrv {

// The values of one probe over one day, as the day readers leave them.
struct DaySeries {
    std::span<const std::int32_t> minutes;
    std::span<const double> values;
    int probeType = 0;
    std::string_view units;
    double minValue = 0.0;
    double maxValue = 0.0;
};

// The day graph of the current-values and history views and of the day
// pages: minutes 0..1440 against the values, the value axis with the given
// margin (the switch axis for a switch). Fewer than minimumPoints values
// draw no curve: the history view draws none for a single value.
GraphModel DayGraph(const DaySeries& series, double margin, PlotStyle style, int minimumPoints,
                    int taal);

// The value axis of a probe's graph and its title: the switch axis with its
// two labels for a switch, else scaled around the extremes with the margin.
void SetProbeValueAxis(GraphModel& graph, int probeType, std::string_view units, double minValue,
                       double maxValue, double margin, int taal);

// The max and min lines beside a graph; empty for a switch.
struct ExtremeLines {
    std::string maxLine;
    std::string minLine;
};
ExtremeLines ExtremeLinesOf(int probeType, double minValue, double maxValue,
                            std::string_view units);

}  // namespace qrv
