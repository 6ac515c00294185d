#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <filesystem>
#include <vector>

#include "reports/pages/panel_context.h"
#include "reports/printouts/daily_sheet.h"
#include "sensors/sensor_table.h"
#include "storage/read_progress.h"

namespace qrv::pages {

// Chooses a month of a year and prints its daily minimum and maximum sheet:
// the months offered are those with stored result files; the probes are
// those stored in the chosen month, printed one or all (a sheet each).
class DailySheetPanel final : public QDialog, private HistoryProgress {
    Q_OBJECT
  public:
    // The alarm file gives the alarms and acknowledgements of each day; the
    // probe table the limits the minutes out of range are counted against.
    DailySheetPanel(PanelContext context, std::filesystem::path alarmFile, SensorTable table,
                    QWidget* parent = nullptr);
    ~DailySheetPanel() override;

    // Opens the panel on the year and returns when the user leaves it; a
    // year without stored values is refused with a message instead.
    void PrintDailySheet(int year);
    // The opening without the modal loop; false when nothing is stored.
    bool Open(int year);

    // The panel's lists and commands.
    void MonthSelect(int month);
    void ProbeSelect(int index);
    void PrintOneSheet();
    void PrintAllSheets();

    int Month() const { return month_; }
    const std::vector<ProbeSheet>& Sheets() const { return sheets_; }

  private:
    void DisplaySearchHistoryMessage(std::string_view text) override;
    void Translate();
    void LoadMonth();
    void Print(const std::vector<ProbeSheet>& sheets);

    PanelContext context_;
    std::filesystem::path alarmFile_;
    SensorTable table_;
    int year_ = 0;
    int month_ = 0;
    int probe_ = 0;
    std::vector<ProbeSheet> sheets_;
    QElapsedTimer messageTimer_;

    QLabel* title_;
    QLabel* yearLine_;
    QLabel* monthCaption_;
    QLabel* probeCaption_;
    QListWidget* monthList_;
    QListWidget* probeList_;
    QLabel* message_;
    QPushButton* printOne_;
    QPushButton* printAll_;
    QPushButton* cancel_;
};

}  // namespace qrv::pages
