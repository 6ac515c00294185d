#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>

#include "reports/pages/panel_context.h"
#include "storage/history_sensor.h"
#include "storage/read_progress.h"
#include "views/panels/graph_view.h"

namespace qrv::panels {

// One stored day, probe by probe: the graph with its cursor read-out,
// stepping through probes and days, another file, and the day page printed.
// The same panel shows the station's own days (history) and result files
// kept elsewhere (saved data, without day stepping).
class HistoryPanel final : public QDialog, private HistoryProgress {
    Q_OBJECT
  public:
    // The day shown lives in `day`, which the report panel reads into too;
    // lastViewAction remembers which of the two modes loaded it.
    HistoryPanel(pages::PanelContext context, HistoryData& day, int& lastViewAction,
                 QWidget* parent = nullptr);

    // LaatViewNuZien: opens the view in mode 1 (history) or 2 (saved data)
    // and returns when the user leaves it; returns without opening when no
    // day is loaded and the user cancels the file choice.
    void LaatViewNuZien(int mode);
    // The opening without the modal loop; false when the view does not open.
    bool Open(int mode);

    void HistoryNextSensor();
    void HistoryPrevSensor();
    void HistoryNextDate();
    void HistoryPrevDate();
    void SelectDate();
    void PrintHistory();

    GraphView& Graph() { return *graph_; }

  private:
    void DisplaySearchHistoryMessage(std::string_view text) override;
    void TranslateHistoPanel(int mode);
    void GetAndBringHistoryToScreen(int index);
    void RefreshHistoryScreen();
    void RefreshHistoryInfoBoxes();
    void ShowMessage(const QString& text);

    pages::PanelContext context_;
    HistoryData& day_;
    int& lastViewAction_;
    QElapsedTimer messageTimer_;

    QLabel* probeName_;
    QLabel* fileName_;
    QLabel* registrationCaption_;
    QLabel* registrationDate_;
    QLabel* typeLine_;
    QLabel* maxLine_;
    QLabel* minLine_;
    QLabel* cursorTime_;
    QLabel* cursorValue_;
    QLabel* message_;
    GraphView* graph_;
    QPushButton* prevProbe_;
    QPushButton* nextProbe_;
    QPushButton* prevDate_;
    QPushButton* selectDate_;
    QPushButton* nextDate_;
    QPushButton* print_;
    QPushButton* quit_;
};

}  // namespace qrv::panels
