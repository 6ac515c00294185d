#include "app/window/main_panel.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "reports/pages/display_dates.h"

namespace qrv::window {

namespace {

QString Rgb(QColor color) {
    return color.name(QColor::HexRgb);
}

}  // namespace

MainPanel::MainPanel(QWidget* parent) : QWidget(parent) {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    auto* header = new QFrame(this);
    header->setObjectName("header");
    header->setStyleSheet("#header { background: #F4F6F9; border-bottom: 1px solid #D5DAE1; }");
    auto* headerLayout = new QHBoxLayout(header);
    headerLayout->setContentsMargins(18, 10, 18, 10);
    headerLayout->setSpacing(14);

    modeText_ = new QLabel(header);
    modeText_->setObjectName("modeText");
    modeText_->setStyleSheet("color: #B45F06; font-weight: bold; font-size: 16px;");
    modeText_->setMinimumWidth(200);
    headerLayout->addWidget(modeText_);
    storeProblem_ = new QLabel(header);
    storeProblem_->setObjectName("storeProblem");
    storeProblem_->setStyleSheet("color: #C62828; font-weight: bold;");
    storeProblem_->hide();
    headerLayout->addWidget(storeProblem_);
    noticeProblem_ = new QLabel(header);
    noticeProblem_->setObjectName("noticeProblem");
    noticeProblem_->setStyleSheet("color: #C62828; font-weight: bold;");
    noticeProblem_->setWordWrap(true);
    noticeProblem_->hide();
    headerLayout->addWidget(noticeProblem_, 1);
    headerLayout->addStretch(1);

    // Steady, beside the clock: the one look at the header tells whether the
    // station watches.
    monitoringState_ = new QLabel(header);
    monitoringState_->setObjectName("monitoringState");
    monitoringState_->setStyleSheet(
        "#monitoringState { color: #FFFFFF; background: #B71C1C; font-weight: bold; "
        "font-size: 15px; border-radius: 5px; padding: 4px 10px; }");
    monitoringState_->hide();
    headerLayout->addWidget(monitoringState_);

    acquisition_ = new QFrame(header);
    acquisition_->setObjectName("acquisitionIndicator");
    acquisition_->setFixedSize(14, 14);
    headerLayout->addWidget(acquisition_);

    dateTime_ = new QLabel(header);
    dateTime_->setObjectName("dateTime");
    dateTime_->setStyleSheet("color: #1F3A5F; font-size: 20px; font-weight: 600;");
    headerLayout->addWidget(dateTime_);
    outer->addWidget(header);

    auto* body = new QVBoxLayout;
    body->setContentsMargins(18, 14, 18, 14);
    body->setSpacing(12);

    auto* alarmRow = new QHBoxLayout;
    alarmRow->setSpacing(12);
    alarmBox_ = new QFrame(this);
    alarmBox_->setObjectName("alarmBox");
    auto* alarmLayout = new QHBoxLayout(alarmBox_);
    alarmLayout->setContentsMargins(16, 10, 16, 10);
    alarmText_ = new QLabel(alarmBox_);
    alarmText_->setObjectName("alarmText");
    alarmText_->setWordWrap(true);
    alarmLayout->addWidget(alarmText_);
    alarmRow->addWidget(alarmBox_, 1);

    alarmButton_ = new QPushButton(this);
    alarmButton_->setObjectName("alarmButton");
    alarmButton_->setCheckable(true);
    alarmButton_->setChecked(true);
    alarmButton_->setMinimumHeight(44);
    alarmButton_->setMinimumWidth(200);
    QFont buttonFont = alarmButton_->font();
    buttonFont.setBold(true);
    buttonFont.setPointSizeF(buttonFont.pointSizeF() + 1);
    alarmButton_->setFont(buttonFont);
    connect(alarmButton_, &QPushButton::clicked, this, [this](bool checked) {
        RefreshAlarmButtonLabel();
        emit alarmButtonChanged(checked ? 1 : 0);
    });
    alarmRow->addWidget(alarmButton_);
    body->addLayout(alarmRow);

    installBox_ = new QFrame(this);
    installBox_->setObjectName("installBox");
    installBox_->setStyleSheet(
        "#installBox { background: #E8F1FB; border: 1px solid #9CC3EA; border-radius: 6px; }");
    auto* installLayout = new QHBoxLayout(installBox_);
    installLayout->setContentsMargins(16, 10, 16, 10);
    installText_ = new QLabel(installBox_);
    installText_->setObjectName("installText");
    installText_->setStyleSheet("color: #0066CC; font-size: 15px;");
    installText_->setWordWrap(true);
    installLayout->addWidget(installText_);
    body->addWidget(installBox_);

    logo_ = new LogoWidget(this);
    logo_->setObjectName("logo");
    body->addWidget(logo_, 1);
    table_ = new ResultsTableWidget(this);
    body->addWidget(table_, 1, Qt::AlignTop);
    // Takes the room of table and logo while the interface unit is silent,
    // so that header, banner and status line stay where they were.
    body->addStretch(0);
    connect(table_, &ResultsTableWidget::hiddenByAlarmChanged, this, [this] { ShowTableOrLogo(); });

    dealerFrame_ = new QFrame(this);
    dealerFrame_->setObjectName("dealerFrame");
    dealerFrame_->setFrameShape(QFrame::StyledPanel);
    auto* dealerLayout = new QHBoxLayout(dealerFrame_);
    dealerText_ = new QLabel(dealerFrame_);
    dealerText_->setObjectName("dealerText");
    dealerLayout->addWidget(dealerText_);
    body->addWidget(dealerFrame_);
    outer->addLayout(body, 1);

    statusLine_ = new QLabel(this);
    statusLine_->setObjectName("statusLine");
    statusLine_->setContentsMargins(18, 6, 18, 6);
    statusLine_->setAutoFillBackground(true);
    outer->addWidget(statusLine_);

    SetStatusLine({}, Qt::black);
    SetAcquisitionIndicator(Qt::white);
    ColorAlarmBanner(1);
    alarmBox_->hide();
    alarmButton_->hide();
    installBox_->hide();
    modeText_->hide();
    dealerFrame_->hide();
    ShowTableOrLogo();
}

void MainPanel::SetStatusLine(const QString& text, QColor color) {
    statusLine_->setText(text);
    statusLine_->setStyleSheet(QString("#statusLine { color: %1; background: #F4F6F9; "
                                       "border-top: 1px solid #D5DAE1; font-size: 13px; }")
                                   .arg(Rgb(color)));
}

void MainPanel::RepaintStatusLine() {
    statusLine_->repaint();
}

void MainPanel::SetDateTime(const QDateTime& now) {
    shownTime_ = now;
    dateTime_->setText(pages::DisplayDate(dateLocale_, now.date()) + QStringLiteral("   ") +
                       now.time().toString(QStringLiteral("HH:mm:ss")));
}

void MainPanel::SetDateLocale(const QLocale& locale) {
    dateLocale_ = locale;
    if (shownTime_.isValid()) {
        SetDateTime(shownTime_);
    }
}

void MainPanel::ShowAlarmBanner(bool show, const QString& text) {
    alarmText_->setText(text);
    alarmBox_->setVisible(show);
}

void MainPanel::ColorAlarmBanner(int phase) {
    const QString box = phase == 1 ? "#FF0000" : "#FFFFFF";
    const QString ink = phase == 1 ? "#FFFFFF" : "#FF0000";
    alarmBox_->setStyleSheet(
        QString("#alarmBox { background: %1; border: 2px solid #FF0000; border-radius: 6px; }")
            .arg(box));
    alarmText_->setStyleSheet(QString("color: %1; font-size: 18px; font-weight: bold;").arg(ink));
}

void MainPanel::ShowAlarmButton(bool show) {
    alarmButton_->setVisible(show);
}

void MainPanel::SetAlarmButton(int value) {
    alarmButton_->setChecked(value == 1);
    RefreshAlarmButtonLabel();
}

void MainPanel::SetAlarmButtonLabels(const QString& on, const QString& off) {
    alarmOnLabel_ = on;
    alarmOffLabel_ = off;
    RefreshAlarmButtonLabel();
}

void MainPanel::RefreshAlarmButtonLabel() {
    alarmButton_->setText(alarmButton_->isChecked() ? alarmOnLabel_ : alarmOffLabel_);
}

void MainPanel::ShowInstallNotice(bool show, const QString& text) {
    installText_->setText(text);
    installBox_->setVisible(show);
}

void MainPanel::ShowStoreProblem(bool show, const QString& text) {
    storeProblem_->setText(text);
    storeProblem_->setVisible(show);
}

void MainPanel::ShowNoticeProblem(const QString& text) {
    noticeProblem_->setText(text);
    noticeProblem_->setVisible(!text.isEmpty());
}

void MainPanel::ShowMonitoringState(const QString& text) {
    monitoringState_->setText(text);
    monitoringState_->setVisible(!text.isEmpty());
}

void MainPanel::ShowLogo(bool show) {
    logoShown_ = show;
    ShowTableOrLogo();
}

void MainPanel::ShowTableOrLogo() {
    logo_->setVisible(logoShown_);
    table_->setVisible(!logoShown_ && !table_->HiddenByAlarm());
}

void MainPanel::SetLogoSubtitle(const QString& subtitle) {
    logo_->SetSubtitle(subtitle);
}

void MainPanel::ShowModeText(bool show) {
    modeText_->setVisible(show);
}

void MainPanel::SetModeText(const QString& text) {
    modeText_->setText(text);
}

void MainPanel::ShowDealerText(bool show, const QString& text) {
    dealerText_->setText(text);
    dealerFrame_->setVisible(show);
}

void MainPanel::SetAcquisitionIndicator(QColor color) {
    acquisition_->setStyleSheet(
        QString("#acquisitionIndicator { background: %1; border: 1px solid #9AA5B1; "
                "border-radius: 7px; }")
            .arg(Rgb(color)));
}

}  // namespace qrv::window
