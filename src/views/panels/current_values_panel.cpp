#include "views/panels/current_values_panel.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QShortcut>
#include <QVBoxLayout>

#include "qt_values/qt_values.h"
#include "reports/limit_lines.h"
#include "reports/pages/display_dates.h"
#include "reports/pages/panel_style.h"
#include "reports/printouts/day_pages.h"
#include "reports/value_text.h"
#include "runtime/date_strings.h"
#include "text/texts.h"
#include "views/current_values.h"

namespace qrv::panels {

using pages::HorizontalRule;
using pages::StyleHeading;
using pages::StyleMono;
using pages::StyleValueBox;
using text::Key;

CurrentValuesPanel::CurrentValuesPanel(pages::PanelContext context, LiveProbes live,
                                       QWidget* parent)
    : QDialog(parent),
      context_(std::move(context)),
      live_(live),
      today_(std::make_unique<TodayView>()),
      probeName_(new QLabel(this)),
      probeType_(new QLabel(this)),
      stateText_(new QLabel(this)),
      bigValue_(new QLabel(this)),
      rawValue_(new QLabel(this)),
      caption_(new QLabel(this)),
      todayDate_(new QLabel(this)),
      maxLine_(new QLabel(this)),
      minLine_(new QLabel(this)),
      cursorTime_(new QLabel(this)),
      cursorValue_(new QLabel(this)),
      graph_(new GraphView(this)),
      prev_(new QPushButton(this)),
      next_(new QPushButton(this)),
      print_(new QPushButton(this)),
      quit_(new QPushButton(this)) {
    setObjectName("currentValuesPanel");
    setModal(true);
    resize(980, 680);
    probeName_->setObjectName("probeName");
    probeType_->setObjectName("probeType");
    stateText_->setObjectName("stateText");
    bigValue_->setObjectName("bigValue");
    rawValue_->setObjectName("rawValue");
    rawValue_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    rawValue_->setVisible(false);
    todayDate_->setObjectName("todayDate");
    maxLine_->setObjectName("maxLine");
    minLine_->setObjectName("minLine");
    cursorTime_->setObjectName("cursorTime");
    cursorValue_->setObjectName("cursorValue");
    StyleHeading(*probeName_, 20);
    StyleValueBox(*cursorTime_);
    StyleValueBox(*cursorValue_);
    StyleMono(*maxLine_);
    StyleMono(*minLine_);
    QFont big = bigValue_->font();
    big.setPixelSize(56);
    big.setBold(true);
    bigValue_->setFont(big);
    bigValue_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    bigValue_->setMinimumWidth(320);
    stateText_->setWordWrap(true);
    QFont state = stateText_->font();
    state.setPixelSize(16);
    state.setBold(true);
    stateText_->setFont(state);

    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto* names = new QVBoxLayout;
    names->addWidget(probeName_);
    names->addWidget(probeType_);
    names->addSpacing(6);
    names->addWidget(stateText_);
    names->addStretch(1);
    top->addLayout(names, 1);
    auto* values = new QVBoxLayout;
    values->addWidget(bigValue_);
    values->addWidget(rawValue_);
    top->addLayout(values);
    layout->addLayout(top);
    layout->addWidget(HorizontalRule(this));

    auto* captionRow = new QHBoxLayout;
    StyleHeading(*caption_, 14);
    captionRow->addWidget(caption_);
    captionRow->addStretch(1);
    captionRow->addWidget(todayDate_);
    layout->addLayout(captionRow);
    layout->addWidget(graph_, 1);

    auto* readout = new QHBoxLayout;
    readout->addWidget(maxLine_);
    readout->addSpacing(16);
    readout->addWidget(minLine_);
    readout->addStretch(1);
    readout->addWidget(cursorTime_);
    readout->addWidget(cursorValue_);
    layout->addLayout(readout);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(prev_);
    buttons->addWidget(next_);
    buttons->addStretch(1);
    buttons->addWidget(print_);
    buttons->addSpacing(24);
    buttons->addWidget(quit_);
    layout->addLayout(buttons);

    connect(prev_, &QPushButton::clicked, this, &CurrentValuesPanel::ViewPrev);
    connect(next_, &QPushButton::clicked, this, &CurrentValuesPanel::ViewNext);
    connect(print_, &QPushButton::clicked, this, &CurrentValuesPanel::MakeViewHardCopy);
    connect(quit_, &QPushButton::clicked, this, &QDialog::accept);
    connect(graph_, &GraphView::cursorMoved, this, [this] { RefreshViewInfoBoxes(); });
    // The desktop's keys: print the hard copy, read the day again.
    connect(new QShortcut(QKeySequence::Print, this), &QShortcut::activated, print_,
            &QPushButton::click);
    connect(new QShortcut(QKeySequence(Qt::Key_F5), this), &QShortcut::activated, this,
            [this] { GetAndBringProbeToScreen(); });
}

CurrentValuesPanel::~CurrentValuesPanel() = default;

void CurrentValuesPanel::TranslateViewPanel() {
    const int taal = context_.taal();
    setWindowTitle(QString::fromStdString(text::Plain(Key::TXT_VIEW_NAME, taal)));
    print_->setText(QString::fromStdString(text::Accel(Key::TXT_HARD_COPY, taal)));
    next_->setText(QString::fromStdString(text::Accel(Key::TXT_NEXT_SENSOR, taal)));
    prev_->setText(QString::fromStdString(text::Accel(Key::TXT_PREV_SENSOR, taal)));
    quit_->setText(QString::fromStdString(text::Accel(Key::TXT_BAR_BACK_TO_MAIN, taal)));
    caption_->setText(QString::fromStdString(text::Plain(Key::TXT_TODAY_VIEW, taal)));
}

void CurrentValuesPanel::Open(int index) {
    events_ = live_.feed.Subscribe();
    events_.SetWakeUp([this] {
        QMetaObject::invokeMethod(
            this, [this] { ServeFeed(); }, Qt::QueuedConnection);
    });
    live_.viewingGraphActive = 1;
    live_.viewProbeSensor = index;
    graph_->Clear();
    TranslateViewPanel();
    GetAndBringProbeToScreen();
    show();
}

void CurrentValuesPanel::DoeProbeViewPanel(int index) {
    Open(index);
    exec();
}

void CurrentValuesPanel::done(int result) {
    events_.Close();
    live_.viewingGraphActive = 0;
    QDialog::done(result);
}

SensorRecord CurrentValuesPanel::ShownRecord() const {
    const auto table = live_.table.Lock();
    const int last = table->GetMax1820Index();
    const int index = std::clamp(live_.viewProbeSensor, 0, std::max(0, last));
    return table->SensorArray[static_cast<std::size_t>(index)];
}

void CurrentValuesPanel::GetAndBringProbeToScreen() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    graph_->Clear();
    const SensorRecord record = ShownRecord();
    hasValues_ = ReadViewResultsFromDisk(record, context_.dataDirectory(), context_.clock,
                                         context_.status, *today_) == 0;
    loadedDay_ = FileDate(context_.clock.Now());
    // The probe stepped to is named even on a day without its values, so
    // that an empty graph is never taken for the previous probe's.
    probeName_->setText(QString::fromStdString(record.Name));
    probeType_->setText(QString::fromStdString(ProbeTypeLine(record.SensorType, context_.taal())));
    UpdateActualBigView();
    RefreshViewGraph();
    QApplication::restoreOverrideCursor();
}

void CurrentValuesPanel::UpdateActualBigView() {
    views::ProbeState probe;
    {
        const auto table = live_.table.Lock();
        const SensorRecord& record = table->SensorArray[static_cast<std::size_t>(
            std::clamp(live_.viewProbeSensor, 0, kMaxSensors - 1))];
        probe.status = record.Status;
        probe.alarmState = record.AlarmState;
        probe.value = record.Value;
        probe.sensorType = record.SensorType;
        probe.units = record.Units;
        probe.rawValue = record.RawValue;
    }
    const views::BigViewTexts view =
        views::MakeBigView(probe, live_.communicationErrorAlarm.load() != 0, context_.taal());
    stateText_->setText(QString::fromStdString(view.stateText));
    bigValue_->setText(QString::fromStdString(view.valueText));
    rawValue_->setText(QString::fromStdString(view.rawText));
    rawValue_->setVisible(!view.rawText.empty());
    const QString colour = FromRgb(view.valueColour).name();
    bigValue_->setStyleSheet(QStringLiteral("color: %1;").arg(colour));
    stateText_->setStyleSheet(QStringLiteral("color: %1;").arg(colour));
    graph_->setFocus();
}

void CurrentValuesPanel::RefreshViewGraph() {
    todayDate_->setText(pages::DisplayDate(context_.taal(), context_.clock.Now()));
    if (!hasValues_) {
        graph_->Clear();
        maxLine_->clear();
        minLine_->clear();
        cursorTime_->clear();
        cursorValue_->clear();
        return;
    }
    const TodayView& today = *today_;
    GraphModel graph = views::TodayGraph(today, context_.graphStyle(), context_.taal());
    if (const auto limits = GraphLimitsOf(ShownRecord())) {
        AddLimitLines(graph, *limits, today.ViewMeasMin, today.ViewMeasMax, kScreenAxisMargin);
    }
    const std::size_t count = static_cast<std::size_t>(std::max(0, today.ViewArrayMaxIndex)) + 1;
    graph_->SetGraph(
        graph, views::CursorIndexForTime(std::span(today.ViewTime).first(count), viewCursorTime_));
    const ExtremeLines lines = ExtremeLinesOf(today.ViewProbeType, today.ViewMeasMin,
                                              today.ViewMeasMax, today.ViewProbeUnits);
    maxLine_->setText(QString::fromStdString(lines.maxLine));
    minLine_->setText(QString::fromStdString(lines.minLine));
    RefreshViewInfoBoxes();
}

void CurrentValuesPanel::RefreshViewInfoBoxes() {
    const int index = graph_->CursorIndex();
    const TodayView& today = *today_;
    if (!hasValues_ || index < 0 || index > today.ViewArrayMaxIndex) {
        return;
    }
    const auto i = static_cast<std::size_t>(index);
    viewCursorTime_ = today.ViewTime[i];
    cursorTime_->setText(QString::fromStdString(views::CursorTimeText(today.ViewTime[i])));
    cursorValue_->setText(QString::fromStdString(views::CursorValueText(
        today.ViewProbeType, today.ViewTemp[i], today.ViewProbeUnits, context_.taal())));
    graph_->setFocus();
}

void CurrentValuesPanel::Step(bool forward) {
    prev_->setEnabled(false);
    next_->setEnabled(false);
    live_.viewProbeSensor =
        views::StepIndex(live_.viewProbeSensor, live_.table.Lock()->GetMax1820Index(), forward);
    GetAndBringProbeToScreen();
    prev_->setEnabled(true);
    next_->setEnabled(true);
}

void CurrentValuesPanel::ViewNext() {
    Step(true);
}

void CurrentValuesPanel::ViewPrev() {
    Step(false);
}

void CurrentValuesPanel::ServeFeed() {
    if (live_.viewingGraphActive == 0) {
        return;
    }
    const FeedBatch batch = events_.Drain();
    if (batch.dropped > 0) {
        // Held up for longer than the queue holds: the day and the value
        // are read afresh instead of what was lost.
        GetAndBringProbeToScreen();
        return;
    }
    bool shownProbeChanged = false;
    for (const LiveEvent& event : batch.events) {
        switch (event.kind) {
            case LiveEventKind::kReading:
            case LiveEventKind::kAlarmChanged:
                shownProbeChanged = shownProbeChanged || event.index == live_.viewProbeSensor;
                break;
            case LiveEventKind::kNetworkLost:
            case LiveEventKind::kNetworkBack:
                shownProbeChanged = true;
                break;
            case LiveEventKind::kStored:
                AppendViewGraph(event.time);
                break;
            default:
                break;
        }
    }
    if (shownProbeChanged) {
        UpdateActualBigView();
    }
}

void CurrentValuesPanel::AppendViewGraph(const LocalDateTime& storedAt) {
    if (loadedDay_ != FileDate(storedAt)) {
        // Midnight has passed: the new day's file is read from its start.
        GetAndBringProbeToScreen();
        return;
    }
    const double value = live_.table.Lock()
                             ->SensorArray[static_cast<std::size_t>(
                                 std::clamp(live_.viewProbeSensor, 0, kMaxSensors - 1))]
                             .Value;
    TodayView& today = *today_;
    if (value > kErrorValueLimit) {
        if (hasValues_) {
            ++today.ViewArrayMaxIndex;
        } else {
            today.ViewArrayMaxIndex = 0;
            hasValues_ = true;
        }
        today.SetValue(static_cast<std::size_t>(today.ViewArrayMaxIndex),
                       storedAt.hour * 60 + storedAt.minute, value);
        today.ViewMeasMin = std::min(today.ViewMeasMin, value);
        today.ViewMeasMax = std::max(today.ViewMeasMax, value);
    }
    RefreshViewGraph();
}

void CurrentValuesPanel::MakeViewHardCopy() {
    const SensorRecord record = ShownRecord();
    ReportPage page =
        MakeHardCopyPage(*today_, record, FileDate(context_.clock.Now()), context_.PrintNow());
    pages::PrintPages(context_, "Quorvanel " + record.Name, 1, [&](int) { return page; });
    RefreshViewInfoBoxes();
}

}  // namespace qrv::panels
