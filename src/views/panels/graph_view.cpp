#include "views/panels/graph_view.h"

#include <QKeyEvent>
#include <QMouseEvent>

#include <cmath>

#include "reports/pages/chart_builder.h"

namespace qrv::panels {

GraphView::GraphView(QWidget* parent) : QChartView(parent) {
    ShowOnFreshChart(GraphModel{});
    setRenderHint(QPainter::Antialiasing);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(480, 260);
    setViewportUpdateMode(QGraphicsView::FullViewportUpdate);
}

// The axes a chart on screen has shown keep their drawn labels after they
// are removed (a door's "Open" and "Closed" among the next probe's degrees,
// its time labels twice): every graph gets a chart of its own.
void GraphView::ShowOnFreshChart(const GraphModel& graph) {
    auto* fresh = new QChart;
    pages::PrepareChart(*fresh, pages::ScreenChartLook());
    fresh->resize(viewport()->size());
    pages::ApplyGraph(*fresh, graph, pages::ScreenChartLook());
    QChart* old = chart();
    setChart(fresh);
    delete old;
}

void GraphView::SetGraph(const GraphModel& graph, int cursorIndex) {
    ShowOnFreshChart(graph);
    graph_ = graph;
    cursor_ =
        graph_.xs.empty() ? -1 : std::clamp(cursorIndex, 0, static_cast<int>(graph_.xs.size()) - 1);
    viewport()->update();
}

void GraphView::Clear() {
    graph_ = GraphModel{};
    ShowOnFreshChart(graph_);
    cursor_ = -1;
    viewport()->update();
}

void GraphView::SetCursorIndex(int index) {
    if (graph_.xs.empty()) {
        return;
    }
    const int clamped = std::clamp(index, 0, static_cast<int>(graph_.xs.size()) - 1);
    if (clamped != cursor_) {
        cursor_ = clamped;
        viewport()->update();
    }
    emit cursorMoved(cursor_);
}

void GraphView::MoveCursorTo(const QPoint& position) {
    if (graph_.xs.empty()) {
        return;
    }
    const QPointF value = chart()->mapToValue(mapToScene(position));
    std::size_t nearest = 0;
    for (std::size_t i = 1; i < graph_.xs.size(); ++i) {
        if (std::abs(graph_.xs[i] - value.x()) < std::abs(graph_.xs[nearest] - value.x())) {
            nearest = i;
        }
    }
    SetCursorIndex(static_cast<int>(nearest));
}

void GraphView::mousePressEvent(QMouseEvent* event) {
    setFocus();
    if (event->button() == Qt::LeftButton) {
        MoveCursorTo(event->position().toPoint());
    }
}

void GraphView::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) {
        MoveCursorTo(event->position().toPoint());
    }
}

void GraphView::keyPressEvent(QKeyEvent* event) {
    const int last = static_cast<int>(graph_.xs.size()) - 1;
    switch (event->key()) {
        case Qt::Key_Left:
            SetCursorIndex(cursor_ - 1);
            break;
        case Qt::Key_Right:
            SetCursorIndex(cursor_ + 1);
            break;
        case Qt::Key_PageUp:
            SetCursorIndex(cursor_ - 10);
            break;
        case Qt::Key_PageDown:
            SetCursorIndex(cursor_ + 10);
            break;
        case Qt::Key_Home:
            SetCursorIndex(0);
            break;
        case Qt::Key_End:
            SetCursorIndex(last);
            break;
        default:
            QChartView::keyPressEvent(event);
            break;
    }
}

void GraphView::resizeEvent(QResizeEvent* event) {
    QChartView::resizeEvent(event);
    if (graph_.style.look == PlotLook::Bar && !graph_.xs.empty()) {
        ShowOnFreshChart(graph_);
    }
}

void GraphView::drawForeground(QPainter* painter, const QRectF& rect) {
    QChartView::drawForeground(painter, rect);
    if (cursor_ < 0 || cursor_ >= static_cast<int>(graph_.xs.size()) ||
        chart()->series().isEmpty()) {
        return;
    }
    const auto i = static_cast<std::size_t>(cursor_);
    const QPointF at = chart()->mapToPosition(QPointF(graph_.xs[i], graph_.ys[i]));
    const QRectF plot = chart()->plotArea();
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(QColor(0xD0, 0x20, 0x20), 1.0, Qt::DashLine));
    painter->drawLine(QPointF(at.x(), plot.top()), QPointF(at.x(), plot.bottom()));
    painter->setPen(QPen(QColor(0xD0, 0x20, 0x20), 2.0));
    painter->setBrush(Qt::NoBrush);
    painter->drawEllipse(at, 5.0, 5.0);
    painter->restore();
}

}  // namespace qrv::panels
