#pragma once

#include <QChartView>
#include <vector>

#include "reports/page_model.h"

namespace qrv::panels {

// A probe graph on screen with one cursor: a click, a drag or the arrow keys
// put it on the nearest point, and the view tells which point it stands on.
class GraphView final : public QChartView {
    Q_OBJECT
  public:
    explicit GraphView(QWidget* parent = nullptr);

    // Shows the graph; the cursor goes to the given point (-1: none).
    void SetGraph(const GraphModel& graph, int cursorIndex);
    void Clear();

    // The point the cursor stands on, -1 when the graph has no curve.
    int CursorIndex() const { return cursor_; }
    void SetCursorIndex(int index);

  signals:
    void cursorMoved(int index);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void drawForeground(QPainter* painter, const QRectF& rect) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void ShowOnFreshChart(const GraphModel& graph);
    void MoveCursorTo(const QPoint& position);

    GraphModel graph_;
    int cursor_ = -1;
};

}  // namespace qrv::panels
