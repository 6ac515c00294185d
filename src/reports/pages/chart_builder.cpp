#include "reports/pages/chart_builder.h"

#include <QAreaSeries>
#include <QCategoryAxis>
#include <QGraphicsLayout>
#include <QLineSeries>
#include <QScatterSeries>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace qrv::pages {

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

QColor Colour(std::uint32_t rgb) {
    return QColor::fromRgb(static_cast<QRgb>(rgb));
}

QFont SizedFont(int pixelSize, bool bold = false) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
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

// Bars as one filled outline: a rectangle from the plot's bottom up to every
// value, as wide as most of the distance to the next value.
QList<QPointF> BarOutline(const QList<QPointF>& points, double bottom) {
    double gap = 10.0;
    for (qsizetype i = 1; i < points.size(); ++i) {
        const double step = points[i].x() - points[i - 1].x();
        if (step > 0) {
            gap = std::min(gap, step);
        }
    }
    const double half = 0.4 * gap;
    QList<QPointF> outline;
    outline.reserve(4 * points.size());
    for (const QPointF& point : points) {
        outline.append(QPointF(point.x() - half, bottom));
        outline.append(QPointF(point.x() - half, point.y()));
        outline.append(QPointF(point.x() + half, point.y()));
        outline.append(QPointF(point.x() + half, bottom));
    }
    return outline;
}

QAbstractSeries* MakeSeries(const GraphModel& graph, const ChartLook& look) {
    const QList<QPointF> points = Points(graph);
    const QColor colour = Colour(graph.style.colour);
    switch (graph.style.look) {
        case PlotLook::Bar: {
            auto* upper = new QLineSeries;
            upper->replace(BarOutline(points, graph.y.lo));
            auto* area = new QAreaSeries(upper);
            area->setBrush(colour);
            area->setPen(QPen(colour, 0.5));
            return area;
        }
        case PlotLook::Dots: {
            auto* dots = new QScatterSeries;
            dots->setMarkerShape(QScatterSeries::MarkerShapeCircle);
            dots->setMarkerSize(graph.style.smallMarks ? look.smallMarkerSize : look.markerSize);
            dots->setColor(colour);
            dots->setBorderColor(colour);
            dots->replace(points);
            return dots;
        }
        case PlotLook::Line:
        case PlotLook::LinePoints:
        case PlotLook::ThickLine: {
            auto* line = new QLineSeries;
            const bool thick = graph.style.look == PlotLook::ThickLine;
            line->setPen(QPen(colour, thick ? look.thickLineWidth : look.lineWidth, Qt::SolidLine,
                              Qt::RoundCap, Qt::RoundJoin));
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
    QAbstractSeries* series = MakeSeries(graph, look);
    chart.addSeries(series);
    series->attachAxis(xAxis);
    series->attachAxis(yAxis);
}

}  // namespace qrv::pages
