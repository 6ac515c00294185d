#pragma once

#include <QChart>

#include "reports/page_model.h"

namespace qrv::pages {

// Sizes of a chart's texts and lines: the screen's in pixels, the page's in
// points.
struct ChartLook {
    int labelSize = 11;
    int titleSize = 12;
    double lineWidth = 1.5;
    double thickLineWidth = 3.0;
    double markerSize = 4.5;
    double smallMarkerSize = 3.5;
};

ChartLook ScreenChartLook();
ChartLook PrintChartLook();

// Makes the chart show the graph: its axes with their labels and divisions,
// its one series in the graph's plot style (the chart's first) and a dashed
// line for each limit. Whatever the chart showed before is removed. Bars are
// fitted to the chart's width: apply the graph again after a resize.
void ApplyGraph(QChart& chart, const GraphModel& graph, const ChartLook& look);

// A white chart without legend, animation or rounded background, with room
// on the right for the last X label.
void PrepareChart(QChart& chart, const ChartLook& look);

}  // namespace qrv::pages
