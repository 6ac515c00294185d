#include "reports/pages/chart_builder.h"

#include <QCategoryAxis>
#include <QGraphicsLayout>
#include <QLineSeries>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

#include "qt_values/qt_values.h"

namespace qrv::pages {

namespace {

QFont SizedFont(int pixelSize, bool bold = false) {
    QFont font(QStringLiteral("DejaVu Sans"));
    // Without ligatures the PDF's words stay searchable ("ffi" is no glyph of its own).
    font.setStyleHint(QFont::SansSerif, QFont::PreferNoShaping);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

void StyleAxis(QAbstractAxis& axis, const ChartLook& look) {
    axis.setLabelsFont(SizedFont(look.labelSize));
    axis.setTitleFont(SizedFont(look.titleSize));
    axis.setLabelsColor(Qt::black);
    axis.setLinePenColor(QColor(0x60, 0x60, 0x60));
    axis.setGridLineColor(QColor(0xD0, 0xD0, 0xD0));
    // Short labels (day numbers, times) may be wider than their category.
    axis.setTruncateLabels(false);
}

// An axis with label strings at given values instead of numbers.
QCategoryAxis* LabelledAxis(double lo, double hi, const std::vector<AxisLabel>& labels) {
    auto* axis = new QCategoryAxis;
    axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    axis->setStartValue(lo);
    for (const AxisLabel& label : labels) {
        axis->append(Q(label.text), label.at);
    }
    axis->setRange(lo, hi);
    return axis;
}

QList<QPointF> Points(const GraphModel& graph) {
    QList<QPointF> points;
    const std::size_t count = std::min(graph.xs.size(), graph.ys.size());
    points.reserve(static_cast<qsizetype>(count));
    for (std::size_t i = 0; i < count; ++i) {
        points.append(QPointF(graph.xs[i], graph.ys[i]));
    }
    return points;
}

// Bars as one line series: up from below the plot to every value and
// back, drawn with a pen as wide as most of the distance to the next value.
// (An area series of the same outline takes seconds to fill for a day of
// minutes.) Bars closer than a pixel would overlap: each pixel column keeps
// only its highest bar, which is all that would show.
QLineSeries* MakeBars(const GraphModel& graph, const QColor& colour, double plotWidth) {
    const double range = std::max(1e-9, graph.xHi - graph.xLo);
    double step = range;
    for (std::size_t i = 1; i < graph.xs.size(); ++i) {
        const double gap = graph.xs[i] - graph.xs[i - 1];
        if (gap > 0) {
            step = std::min(step, gap);
        }
    }
    const double pixel = range / plotWidth;
    // The steps from bar to bar run below the plot, where the chart clips them.
    const double bottom = graph.y.lo - (graph.y.hi - graph.y.lo);
    QList<QPointF> zigzag;
    zigzag.reserve(3 * static_cast<qsizetype>(graph.xs.size()));
    const std::size_t count = std::min(graph.xs.size(), graph.ys.size());
    for (std::size_t i = 0; i < count;) {
        const double x = graph.xs[i];
        double top = graph.ys[i];
        std::size_t next = i + 1;
        while (next < count && graph.xs[next] >= x && graph.xs[next] - x < pixel) {
            top = std::max(top, graph.ys[next++]);
        }
        zigzag.append(QPointF(x, bottom));
        zigzag.append(QPointF(x, top));
        zigzag.append(QPointF(x, bottom));
        i = next;
    }
    auto* bars = new QLineSeries;
    const double width = std::min(0.7 * std::max(step, pixel) / range * plotWidth, 24.0);
    // Bars a pixel apart touch anyway: a one-pixel pen is drawn by the fast path.
    bars->setPen(
        QPen(colour, width < 1.5 ? 0.0 : width, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    bars->replace(zigzag);
    return bars;
}

QAbstractSeries* MakeSeries(const GraphModel& graph, const ChartLook& look, double plotWidth) {
    const QList<QPointF> points = Points(graph);
    const QColor colour = FromRgb(graph.style.colour);
    switch (graph.style.look) {
        case PlotLook::Bar:
            return MakeBars(graph, colour, plotWidth);
        case PlotLook::Dots: {
            // Marks drawn by a line series without its line: a scatter series
            // makes an item of every mark, far too slow for a day of minutes.
            auto* dots = new QLineSeries;
            QPen pen(colour);
            pen.setStyle(Qt::NoPen);
            dots->setPen(pen);
            dots->setColor(colour);
            dots->setPointsVisible(true);
            dots->setMarkerSize(graph.style.smallMarks ? look.smallMarkerSize : look.markerSize);
            dots->replace(points);
            return dots;
        }
        case PlotLook::Line:
        case PlotLook::LinePoints:
        case PlotLook::ThickLine: {
            auto* line = new QLineSeries;
            const bool thick = graph.style.look == PlotLook::ThickLine;
            // Bevel joins: round ones cost a curve at each of up to 1440 points.
            line->setPen(QPen(colour, thick ? look.thickLineWidth : look.lineWidth, Qt::SolidLine,
                              Qt::FlatCap, Qt::BevelJoin));
            if (graph.style.look == PlotLook::LinePoints) {
                line->setPointsVisible(true);
                line->setMarkerSize(graph.style.smallMarks ? look.smallMarkerSize
                                                           : look.markerSize);
            }
            line->replace(points);
            return line;
        }
    }
    return nullptr;
}

}  // namespace

ChartLook ScreenChartLook() {
    return ChartLook{};
}

ChartLook PrintChartLook() {
    return ChartLook{7, 8, 0.6, 1.4, 3.0, 1.8};
}

void PrepareChart(QChart& chart, const ChartLook& look) {
    chart.legend()->hide();
    chart.setAnimationOptions(QChart::NoAnimation);
    chart.setBackgroundRoundness(0);
    chart.setBackgroundBrush(Qt::white);
    chart.setPlotAreaBackgroundVisible(false);
    chart.setMargins(QMargins(2, 2, 2 * look.labelSize, 2));
    chart.layout()->setContentsMargins(0, 0, 0, 0);
}

void ApplyGraph(QChart& chart, const GraphModel& graph, const ChartLook& look) {
    chart.removeAllSeries();
    for (QAbstractAxis* axis : chart.axes()) {
        chart.removeAxis(axis);
        delete axis;
    }

    QAbstractAxis* xAxis = LabelledAxis(graph.xLo, graph.xHi, graph.xLabels);
    QAbstractAxis* yAxis = nullptr;
    if (graph.yLabels.empty()) {
        auto* values = new QValueAxis;
        values->setRange(graph.y.lo, graph.y.hi);
        values->setTickCount(graph.y.divisions + 1);
        values->setLabelFormat(QStringLiteral("%.0f"));
        yAxis = values;
    } else {
        yAxis = LabelledAxis(graph.y.lo, graph.y.hi, graph.yLabels);
    }
    yAxis->setTitleText(Q(graph.yTitle));
    StyleAxis(*xAxis, look);
    StyleAxis(*yAxis, look);
    chart.addAxis(xAxis, Qt::AlignBottom);
    chart.addAxis(yAxis, Qt::AlignLeft);

    if (graph.xs.empty()) {
        return;
    }
    // The plot area is known only after a layout; the chart's width less the
    // value axis is close enough for the bars.
    const double plotWidth = std::max(100.0, chart.size().width() - 70.0);
    QAbstractSeries* series = MakeSeries(graph, look, plotWidth);
    chart.addSeries(series);
    series->attachAxis(xAxis);
    series->attachAxis(yAxis);
    for (const LimitLine& limit : graph.limits) {
        auto* line = new QLineSeries;
        line->setPen(QPen(FromRgb(limit.colour), look.lineWidth, Qt::DashLine, Qt::FlatCap));
        line->append(graph.xLo, limit.value);
        line->append(graph.xHi, limit.value);
        chart.addSeries(line);
        line->attachAxis(xAxis);
        line->attachAxis(yAxis);
    }
}

}  // namespace qrv::pages
