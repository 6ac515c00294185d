#pragma once

#include <QColor>
#include <QDateTime>
#include <QFrame>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QString>
#include <QWidget>

#include "app/window/logo_widget.h"
#include "app/window/results_table_widget.h"

namespace qrv::window {

// The fixed status fields of the main window: date and time, mode text,
// acquisition indicator, alarm banner and button, installation notice, logo,
// dealer text and status line. Called on the GUI thread only.
class MainPanel final : public QWidget {
    Q_OBJECT
  public:
    explicit MainPanel(QWidget* parent = nullptr);

    void SetStatusLine(const QString& text, QColor color);
    void RepaintStatusLine();
    void SetDateTime(const QDateTime& now);
    // The locale the clock writes its date in (the station's language).
    void SetDateLocale(const QLocale& locale);
    void ShowAlarmBanner(bool show, const QString& text);
    void ColorAlarmBanner(int phase);
    void ShowAlarmButton(bool show);
    void SetAlarmButton(int value);
    void SetAlarmButtonLabels(const QString& on, const QString& off);
    void ShowInstallNotice(bool show, const QString& text);
    void ShowStoreProblem(bool show, const QString& text);
    void ShowMonitoringState(const QString& text);
    void ShowNoticeProblem(const QString& text);
    void ShowLogo(bool show);
    void SetLogoSubtitle(const QString& subtitle);
    void ShowModeText(bool show);
    void SetModeText(const QString& text);
    void ShowDealerText(bool show, const QString& text);
    void SetAcquisitionIndicator(QColor color);
    ResultsTableWidget& ResultsTable() { return *table_; }

  signals:
    // 1 alarms audible, 0 muted by the user.
    void alarmButtonChanged(int value);

  private:
    void RefreshAlarmButtonLabel();
    // The logo and the results table share their place.
    void ShowTableOrLogo();

    QLabel* dateTime_;
    QLabel* modeText_;
    QLabel* storeProblem_ = nullptr;
    QLabel* noticeProblem_ = nullptr;
    QLabel* monitoringState_ = nullptr;
    QFrame* acquisition_;
    QFrame* alarmBox_;
    QLabel* alarmText_;
    QPushButton* alarmButton_;
    QFrame* installBox_;
    QLabel* installText_;
    LogoWidget* logo_;
    ResultsTableWidget* table_;
    bool logoShown_ = true;
    QFrame* dealerFrame_;
    QLabel* dealerText_;
    QLabel* statusLine_;
    QLocale dateLocale_;
    QDateTime shownTime_;
    QString alarmOnLabel_;
    QString alarmOffLabel_;
};

}  // namespace qrv::window
