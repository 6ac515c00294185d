#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <memory>
#include <vector>

#include "reports/pages/panel_context.h"
#include "reports/printouts/period_pages.h"
#include "reports/printouts/time_out_of_range.h"
#include "storage/history_sensor.h"
#include "storage/month_sensor.h"
#include "storage/read_progress.h"

class QMenuBar;

namespace qrv::pages {

// The report panel of a monthly, weekly or daily report of one year: the user
// narrows the period, sees the probes that have data in it (read with
// progress, abortable), and prints one probe, all probes, or the daily list.
class ReportPanel final : public QDialog, private ReportProgress {
    Q_OBJECT
  public:
    // Daily prints read their day into `day`, the day the history view shows.
    ReportPanel(PanelContext context, HistoryData& day, QWidget* parent = nullptr);
    ~ReportPanel() override;

    // PrintMoWeDayReport: opens the panel on the year and returns when the
    // user leaves it. A year without any week with data is refused with a
    // message instead.
    void PrintMoWeDayReport(ReportPeriod period, int year);
    // The opening without the modal loop; false when there is no data.
    bool Open(ReportPeriod period, int year);

    // The panel's lists and commands.
    void PeriodeSelect(int value);
    void DaySelect(int value);
    void ProbeBox(int index);
    void PrintOneSensor();
    void PrintAllSensors();
    void ListAllSensors();
    void GebruikerWilTerug();

    const PeriodSelection& Selection() const { return selection_; }
    const PeriodData& Period() const { return *period_; }
    // The minutes out of range of the period read, against the limits the
    // probe table holds now.
    PeriodTimesOutOfRange TimesOutOfRange(const PrintContext& print) const;
    // The pages' context, with the limit changes read with the period.
    PrintContext PrintNow() const;
    int ListSelection() const { return period_->ListSelection; }

  protected:
    void reject() override;

  private:
    void MakeMeldingVisible(bool visible, std::string_view text) override;
    void DisplayMonthlyMessage(std::string_view reportMessage, std::string_view time) override;
    bool ReportAbort() const override { return reportAbort_; }

    void TranslatePrintSelPanel();
    bool HandleDateSelection();
    bool FindAndDisplaySensors();
    void FillList(QListWidget& list, const std::vector<int>& values, int& selected);
    void SetBusy(bool busy);
    void ShowProbes(bool visible);
    std::string DayFile() const;
    bool ReadDay(const std::string& file);
    void PrintDayPages(bool all);
    // The print job's name for the week or month selected, and the probe's
    // when one is printed.
    std::string DocumentName(std::string_view probe) const;

    PanelContext context_;
    HistoryData& day_;
    std::unique_ptr<PeriodData> period_;
    // The period's minutes out of range, from the read that gave its slots.
    std::unique_ptr<PeriodOutOfRangeTally> outOfRange_;
    // The trail's limit changes, read with the period for its reports.
    std::shared_ptr<const records::LimitHistory> limitHistory_;
    PeriodSelection selection_;
    bool reportAbort_ = false;
    bool busy_ = false;
    QElapsedTimer messageTimer_;

    QMenuBar* menu_;
    QLabel* title_;
    QLabel* year_;
    QLabel* periodCaption_;
    QLabel* dayCaption_;
    QLabel* probeCaption_;
    QLabel* probeHint_;
    QListWidget* periodList_;
    QListWidget* dayList_;
    QListWidget* probeList_;
    QLabel* message_;
    QPushButton* printOne_;
    QPushButton* printAll_;
    QPushButton* listAll_;
    QPushButton* cancel_;
    QAction* printOneAction_;
    QAction* printAllAction_;
    QAction* listAllAction_;
    QAction* backAction_;
    QMenu* fileMenu_;
    QMenu* printMenu_;
};

}  // namespace qrv::pages
