#pragma once

#include <QTableWidget>
#include <vector>

#include "app/shell/results_table.h"

namespace qrv::window {

// The main panel's results table: one row per probe, four columns, eighteen
// rows in view and a scroll bar from the nineteenth. Read-only; Tab reaches
// it, and Enter or a double-click on a row asks for that probe's current
// values.
class ResultsTableWidget final : public QTableWidget, public shell::ResultsTableView {
    Q_OBJECT
  public:
    explicit ResultsTableWidget(QWidget* parent = nullptr);

    void SetHeaders(const shell::ResultsHeaders& headers) override;
    void SetRowCount(int count) override;
    void SetRow(int index, const shell::ResultsRow& row) override;
    void HideTheTable(bool hide) override;

    // Whether the table may be seen; the panel shows it only while the logo
    // is hidden.
    bool HiddenByAlarm() const { return hiddenByAlarm_; }

  signals:
    void hiddenByAlarmChanged();
    // The row (the probe's record index) the user opened.
    void probeChosen(int index);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

  private:
    int RowHeight() const;

    bool hiddenByAlarm_ = false;
    // What each row shows, so that an unchanged row costs nothing.
    std::vector<shell::ResultsRow> shown_;
};

}  // namespace qrv::window
