#include "reports/printouts/day_graph.h"

#include <algorithm>

#include "reports/value_text.h"
#include "sensors/sensor_record.h"

namespace qrv {

GraphModel DayGraph(const DaySeries& series, double margin, PlotStyle style, int minimumPoints,
                    int taal) {
    GraphModel graph;
    graph.xLo = 0.0;
    graph.xHi = kMinutesPerDay;
    graph.xLabels = DayTimeLabels();
    SetProbeValueAxis(graph, series.probeType, series.units, series.minValue, series.maxValue,
                      margin, taal);
    graph.style = style;
    const std::size_t count = std::min(series.minutes.size(), series.values.size());
    if (count >= static_cast<std::size_t>(std::max(1, minimumPoints))) {
        graph.xs.assign(series.minutes.begin(), series.minutes.begin() + count);
        graph.ys.assign(series.values.begin(), series.values.begin() + count);
    }
    return graph;
}

void SetProbeValueAxis(GraphModel& graph, int probeType, std::string_view units, double minValue,
                       double maxValue, double margin, int taal) {
    graph.yTitle = ValueAxisTitle(probeType, units, taal);
    if (probeType == kTypeSwitch) {
        graph.y = SwitchAxis();
        graph.yLabels = SwitchAxisLabels(taal);
    } else {
        graph.y = ComputeValueAxis(minValue, maxValue, margin);
        graph.yLabels.clear();
    }
}

ExtremeLines ExtremeLinesOf(int probeType, double minValue, double maxValue,
                            std::string_view units) {
    if (probeType == kTypeSwitch) {
        return {};
    }
    return {MaxLine(maxValue, units), MinLine(minValue, units)};
}

}  // namespace qrv
