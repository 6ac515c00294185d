#include "reports/pages/graph_painter.h"

#include <QFontMetricsF>
#include <QLineF>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <vector>

#include "qt_values/qt_values.h"
#include "reports/pages/chart_builder.h"

namespace qrv::pages {

namespace {

constexpr double kGraphGap = 3.0;
const QColor kGraphFrameColour(0x60, 0x60, 0x60);
const QColor kGraphGridColour(0xD0, 0xD0, 0xD0);

QFont GraphFont(int size) {
    QFont font(QStringLiteral("DejaVu Sans"));
    // Without ligatures the PDF's words stay searchable.
    font.setStyleHint(QFont::SansSerif, QFont::PreferNoShaping);
    font.setPixelSize(size);
    return font;
}

// The value axis's labels: the graph's strings, or a number at each division.
std::vector<AxisLabel> ValueLabels(const GraphModel& graph) {
    if (!graph.yLabels.empty()) {
        return graph.yLabels;
    }
    std::vector<AxisLabel> labels;
    const int divisions = std::max(1, graph.y.divisions);
    for (int i = 0; i <= divisions; ++i) {
        const double at = graph.y.lo + (graph.y.hi - graph.y.lo) * i / divisions;
        labels.push_back({at, QString::number(at, 'f', 0).toStdString()});
    }
    return labels;
}

// Maps graph values to the plot rectangle.
class Scale {
  public:
    Scale(const GraphModel& graph, const QRectF& plot)
        : graph_(graph),
          plot_(plot),
          xUnit_(plot.width() / std::max(1e-9, graph.xHi - graph.xLo)),
          yUnit_(plot.height() / std::max(1e-9, graph.y.hi - graph.y.lo)) {}
    double X(double x) const { return plot_.left() + (x - graph_.xLo) * xUnit_; }
    double Y(double y) const { return plot_.bottom() - (y - graph_.y.lo) * yUnit_; }

  private:
    const GraphModel& graph_;
    QRectF plot_;
    double xUnit_;
    double yUnit_;
};

// Bars from below the plot up to every value, as wide as most of the distance
// to the next; bars within one unit of the pen keep only the highest, which
// is all that would show.
void PaintBars(QPainter& painter, const GraphModel& graph, const Scale& scale, const QRectF& plot,
               const QColor& colour) {
    double step = graph.xHi - graph.xLo;
    for (std::size_t i = 1; i < graph.xs.size(); ++i) {
        const double gap = graph.xs[i] - graph.xs[i - 1];
        if (gap > 0) {
            step = std::min(step, gap);
        }
    }
    const double unit = scale.X(graph.xLo + 1.0) - scale.X(graph.xLo);
    const double width = std::clamp(0.7 * step * unit, 0.3, 24.0);
    const std::size_t count = std::min(graph.xs.size(), graph.ys.size());
    std::vector<QLineF> bars;
    bars.reserve(count);
    for (std::size_t i = 0; i < count;) {
        const double x = scale.X(graph.xs[i]);
        double top = graph.ys[i];
        std::size_t next = i + 1;
        while (next < count && scale.X(graph.xs[next]) >= x &&
               scale.X(graph.xs[next]) - x < width) {
            top = std::max(top, graph.ys[next++]);
        }
        bars.emplace_back(x, plot.bottom(), x, scale.Y(top));
        i = next;
    }
    painter.setPen(QPen(colour, width, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    painter.drawLines(bars.data(), static_cast<int>(bars.size()));
}

void PaintSeries(QPainter& painter, const GraphModel& graph, const Scale& scale, const QRectF& plot,
                 const ChartLook& look) {
    const QColor colour = FromRgb(graph.style.colour);
    if (graph.style.look == PlotLook::Bar) {
        PaintBars(painter, graph, scale, plot, colour);
        return;
    }
    const std::size_t count = std::min(graph.xs.size(), graph.ys.size());
    QPolygonF points;
    points.reserve(static_cast<qsizetype>(count));
    for (std::size_t i = 0; i < count; ++i) {
        points.append(QPointF(scale.X(graph.xs[i]), scale.Y(graph.ys[i])));
    }
    const bool marks =
        graph.style.look == PlotLook::Dots || graph.style.look == PlotLook::LinePoints;
    if (graph.style.look != PlotLook::Dots) {
        const bool thick = graph.style.look == PlotLook::ThickLine;
        // Bevel joins: round ones cost a curve at each of up to 1440 points.
        painter.setPen(QPen(colour, thick ? look.thickLineWidth : look.lineWidth, Qt::SolidLine,
                            Qt::FlatCap, Qt::BevelJoin));
        painter.drawPolyline(points);
    }
    if (marks) {
        const double size = graph.style.smallMarks ? look.smallMarkerSize : look.markerSize;
        painter.setPen(QPen(colour, size, Qt::SolidLine, Qt::RoundCap));
        painter.drawPoints(points);
    }
}

}  // namespace

void PaintGraph(QPainter& painter, const QRectF& target, const GraphModel& graph) {
    if (target.width() <= 1 || target.height() <= 1) {
        return;
    }
    const ChartLook look = PrintChartLook();
    const QFont labelFont = GraphFont(look.labelSize);
    const QFont titleFont = GraphFont(look.titleSize);
    const QFontMetricsF labels(labelFont);
    const QFontMetricsF titles(titleFont);
    const std::vector<AxisLabel> yLabels = ValueLabels(graph);
    double yLabelWidth = 0.0;
    for (const AxisLabel& label : yLabels) {
        yLabelWidth = std::max(yLabelWidth, labels.horizontalAdvance(Q(label.text)));
    }
    const double titleHeight = graph.yTitle.empty() ? 0.0 : titles.height() + kGraphGap;
    // Room on the right for the last X label, and above and below for the
    // labels that stand on the frame's edges.
    const QRectF plot(
        target.left() + titleHeight + yLabelWidth + 2 * kGraphGap,
        target.top() + labels.height() / 2 + kGraphGap,
        target.width() - titleHeight - yLabelWidth - 2 * kGraphGap - 2.0 * look.labelSize,
        target.height() - 1.5 * labels.height() - 3 * kGraphGap);
    if (plot.width() <= 1 || plot.height() <= 1) {
        return;
    }
    const Scale scale(graph, plot);

    painter.save();
    painter.setBrush(Qt::NoBrush);
    // The grid at every label, then the frame over it.
    painter.setPen(QPen(kGraphGridColour, 0.4));
    std::vector<QLineF> grid;
    grid.reserve(yLabels.size() + graph.xLabels.size());
    for (const AxisLabel& label : yLabels) {
        grid.emplace_back(plot.left(), scale.Y(label.at), plot.right(), scale.Y(label.at));
    }
    for (const AxisLabel& label : graph.xLabels) {
        grid.emplace_back(scale.X(label.at), plot.top(), scale.X(label.at), plot.bottom());
    }
    painter.drawLines(grid.data(), static_cast<int>(grid.size()));
    painter.setPen(QPen(kGraphFrameColour, 0.6));
    painter.drawRect(plot);

    painter.setPen(Qt::black);
    painter.setFont(labelFont);
    const double labelHeight = labels.height();
    for (const AxisLabel& label : yLabels) {
        const QRectF box(plot.left() - kGraphGap - yLabelWidth, scale.Y(label.at) - labelHeight / 2,
                         yLabelWidth, labelHeight);
        painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter, Q(label.text));
    }
    for (const AxisLabel& label : graph.xLabels) {
        const QString text = Q(label.text);
        const double width = labels.horizontalAdvance(text) + 2.0;
        const QRectF box(scale.X(label.at) - width / 2, plot.bottom() + kGraphGap, width,
                         labelHeight);
        painter.drawText(box, Qt::AlignCenter, text);
    }
    if (!graph.yTitle.empty()) {
        painter.setFont(titleFont);
        painter.save();
        painter.translate(target.left(), plot.center().y());
        painter.rotate(-90.0);
        painter.drawText(QRectF(-plot.height() / 2, 0, plot.height(), titles.height()),
                         Qt::AlignCenter, Q(graph.yTitle));
        painter.restore();
    }

    painter.setClipRect(plot, Qt::IntersectClip);
    if (!graph.xs.empty()) {
        PaintSeries(painter, graph, scale, plot, look);
    }
    for (const LimitLine& limit : graph.limits) {
        painter.setPen(QPen(FromRgb(limit.colour), look.lineWidth, Qt::DashLine, Qt::FlatCap));
        painter.drawLine(
            QLineF(plot.left(), scale.Y(limit.value), plot.right(), scale.Y(limit.value)));
    }
    painter.restore();
}

}  // namespace qrv::pages
