#pragma once

#include <QPainter>
#include <QRectF>

#include "reports/page_model.h"

namespace qrv::pages {

// Draws a graph on paper straight with the painter: a frame with its grid,
// the labelled axes, the series in its plot style and a dashed line for each
// limit. The screen's charts look the same; a chart object per page cost a
// hundred-page report most of its time (its items, their shapes and a
// stroked outline of every line instead of the line).
void PaintGraph(QPainter& painter, const QRectF& target, const GraphModel& graph);

}  // namespace qrv::pages
