#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <atomic>
#include <memory>
#include <string>

#include "feed/live_feed.h"
#include "reports/pages/panel_context.h"
#include "sensors/shared_sensor_table.h"
#include "storage/today_reader.h"
#include "views/panels/graph_view.h"

namespace qrv::panels {

// What the current-values panel reads of the live station.
struct LiveProbes {
    SharedSensorTable& table;
    LiveFeed& feed;
    const std::atomic<int>& communicationErrorAlarm;
    int& viewProbeSensor;     // the record shown
    int& viewingGraphActive;  // 1 while the panel is open
};

// One probe at a time: its value in large type, its state in words, today's
// graph with a cursor read-out, stepping through the probes and a printed
// hard copy of the graph. While it is open it follows the live-event feed:
// the shown probe's readings and alarm changes, the interface unit lost and
// back, and each store, which adds a point to the graph.
class CurrentValuesPanel final : public QDialog {
    Q_OBJECT
  public:
    CurrentValuesPanel(pages::PanelContext context, LiveProbes live, QWidget* parent = nullptr);
    ~CurrentValuesPanel() override;

    // Opens the panel on a probe and returns when the user leaves it.
    void DoeProbeViewPanel(int index);
    // The opening without the modal loop, for a caller that runs its own.
    void Open(int index);

    // After a store of the day's values at storedAt: the shown probe's value
    // joins the graph, or the day is read again once the store began a new day.
    void AppendViewGraph(const LocalDateTime& storedAt);
    void UpdateActualBigView();
    // Applies what the feed brought since the last call; the feed's wake-up
    // posts it to the event loop.
    void ServeFeed();

    void ViewNext();
    void ViewPrev();
    void MakeViewHardCopy();

    const TodayView& Today() const { return *today_; }
    GraphView& Graph() { return *graph_; }

  protected:
    void done(int result) override;

  private:
    void TranslateViewPanel();
    void GetAndBringProbeToScreen();
    void RefreshViewGraph();
    void RefreshViewInfoBoxes();
    void Step(bool forward);
    SensorRecord ShownRecord() const;

    pages::PanelContext context_;
    LiveProbes live_;
    std::unique_ptr<TodayView> today_;
    bool hasValues_ = false;
    std::string loadedDay_;  // YYYY-MM-DD of the values shown
    int viewCursorTime_ = 0;
    // While the panel is open; declared last, so that it ends first.
    FeedSubscription events_;

    QLabel* probeName_;
    QLabel* probeType_;
    QLabel* stateText_;
    QLabel* bigValue_;
    QLabel* rawValue_;
    QLabel* caption_;
    QLabel* todayDate_;
    QLabel* maxLine_;
    QLabel* minLine_;
    QLabel* cursorTime_;
    QLabel* cursorValue_;
    GraphView* graph_;
    QPushButton* prev_;
    QPushButton* next_;
    QPushButton* print_;
    QPushButton* quit_;
};

}  // namespace qrv::panels
