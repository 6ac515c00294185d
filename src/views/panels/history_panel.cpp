#include "views/panels/history_panel.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QShortcut>
#include <QVBoxLayout>

#include "qt_values/qt_values.h"
#include "reports/limit_lines.h"
#include "reports/pages/display_dates.h"
#include "reports/pages/panel_style.h"
#include "reports/printouts/day_pages.h"
#include "storage/period_files.h"
#include "text/texts.h"
#include "views/current_values.h"
#include "views/history_view.h"

namespace qrv::panels {

using text::Key;

namespace {

// The message line is redrawn at most this often while a day is read, so
// that a day of many blocks is not slowed down by drawing.
constexpr int kMessageIntervalMs = 40;

}  // namespace

HistoryPanel::HistoryPanel(pages::PanelContext context, HistoryData& day, int& lastViewAction,
                           QWidget* parent)
    : QDialog(parent),
      context_(std::move(context)),
      day_(day),
      lastViewAction_(lastViewAction),
      probeName_(new QLabel(this)),
      fileName_(new QLabel(this)),
      registrationCaption_(new QLabel(this)),
      registrationDate_(new QLabel(this)),
      typeLine_(new QLabel(this)),
      maxLine_(new QLabel(this)),
      minLine_(new QLabel(this)),
      cursorTime_(new QLabel(this)),
      cursorValue_(new QLabel(this)),
      message_(new QLabel(this)),
      graph_(new GraphView(this)),
      prevProbe_(new QPushButton(this)),
      nextProbe_(new QPushButton(this)),
      prevDate_(new QPushButton(this)),
      selectDate_(new QPushButton(this)),
      nextDate_(new QPushButton(this)),
      print_(new QPushButton(this)),
      quit_(new QPushButton(this)) {
    setObjectName("historyPanel");
    setModal(true);
    resize(1000, 680);
    probeName_->setObjectName("probeName");
    fileName_->setObjectName("fileName");
    registrationDate_->setObjectName("registrationDate");
    typeLine_->setObjectName("typeLine");
    maxLine_->setObjectName("maxLine");
    minLine_->setObjectName("minLine");
    cursorTime_->setObjectName("cursorTime");
    cursorValue_->setObjectName("cursorValue");
    message_->setObjectName("messageLine");
    prevDate_->setObjectName("prevDate");
    nextDate_->setObjectName("nextDate");
    selectDate_->setObjectName("selectDate");
    pages::StyleHeading(*probeName_, 20);
    pages::StyleHeading(*registrationDate_, 15);
    pages::StyleHeading(*typeLine_, 14);
    pages::StyleMono(*maxLine_);
    pages::StyleMono(*minLine_);
    pages::StyleValueBox(*cursorTime_);
    pages::StyleValueBox(*cursorValue_);
    pages::StyleMessageLine(*message_);
    fileName_->setStyleSheet("color: #505A66;");
    fileName_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto* names = new QVBoxLayout;
    names->addWidget(probeName_);
    names->addWidget(fileName_);
    top->addLayout(names, 1);
    top->addWidget(registrationCaption_, 0, Qt::AlignTop);
    top->addWidget(registrationDate_, 0, Qt::AlignTop);
    layout->addLayout(top);
    layout->addWidget(pages::HorizontalRule(this));
    auto* caption = new QHBoxLayout;
    caption->addWidget(typeLine_);
    caption->addStretch(1);
    caption->addWidget(maxLine_);
    caption->addSpacing(16);
    caption->addWidget(minLine_);
    layout->addLayout(caption);
    layout->addWidget(graph_, 1);
    auto* readout = new QHBoxLayout;
    readout->addWidget(message_, 1);
    readout->addStretch(1);
    readout->addWidget(cursorTime_);
    readout->addWidget(cursorValue_);
    layout->addLayout(readout);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(prevProbe_);
    buttons->addWidget(nextProbe_);
    buttons->addStretch(1);
    buttons->addWidget(prevDate_);
    buttons->addWidget(selectDate_);
    buttons->addWidget(nextDate_);
    buttons->addStretch(1);
    buttons->addWidget(print_);
    buttons->addSpacing(24);
    buttons->addWidget(quit_);
    layout->addLayout(buttons);

    connect(prevProbe_, &QPushButton::clicked, this, &HistoryPanel::HistoryPrevSensor);
    connect(nextProbe_, &QPushButton::clicked, this, &HistoryPanel::HistoryNextSensor);
    connect(prevDate_, &QPushButton::clicked, this, &HistoryPanel::HistoryPrevDate);
    connect(nextDate_, &QPushButton::clicked, this, &HistoryPanel::HistoryNextDate);
    connect(selectDate_, &QPushButton::clicked, this, &HistoryPanel::SelectDate);
    connect(print_, &QPushButton::clicked, this, &HistoryPanel::PrintHistory);
    connect(quit_, &QPushButton::clicked, this, &QDialog::accept);
    connect(graph_, &GraphView::cursorMoved, this, [this] { RefreshHistoryInfoBoxes(); });
    // The desktop's keys: print the day page, read the file again (today's
    // grows with every store).
    connect(new QShortcut(QKeySequence::Print, this), &QShortcut::activated, print_,
            &QPushButton::click);
    connect(new QShortcut(QKeySequence(Qt::Key_F5), this), &QShortcut::activated, this, [this] {
        if (!day_.HistoryFileName.empty()) {
            GetAndBringHistoryToScreen(day_.HistoryIndex);
        }
    });
}

void HistoryPanel::TranslateHistoPanel(int mode) {
    const int taal = context_.taal();
    setWindowTitle(Q(text::Plain(Key::TXT_HISTO_NAME, taal)));
    nextProbe_->setText(Q(text::Accel(Key::TXT_NEXT_SENSOR, taal)));
    prevProbe_->setText(Q(text::Accel(Key::TXT_PREV_SENSOR, taal)));
    nextDate_->setText(Q(text::Accel(Key::TXT_NEXT_DATE, taal)));
    prevDate_->setText(Q(text::Accel(Key::TXT_PREV_DATE, taal)));
    selectDate_->setText(Q(text::Accel(
        mode == views::kViewSavedData ? Key::TXT_SELECT_VIEW_FILE : Key::TXT_SELECT_DATE, taal)));
    print_->setText(Q(text::Accel(Key::TXT_HARD_COPY, taal)));
    registrationCaption_->setText(Q(text::Plain(Key::TXT_REGISTRATION_DATE, taal)).trimmed());
    quit_->setText(Q(text::Accel(Key::TXT_BAR_BACK_TO_MAIN, taal)));
}

bool HistoryPanel::Open(int mode) {
    const bool loaded = views::ReuseLoadedDay(day_, lastViewAction_, mode);
    graph_->Clear();
    ShowMessage({});
    const bool dayStepping = mode == views::kViewHistory;
    prevDate_->setVisible(dayStepping);
    nextDate_->setVisible(dayStepping);
    if (loaded) {
        TranslateHistoPanel(mode);
        show();
        RefreshHistoryScreen();
        return true;
    }
    if (KiesEenHistoryFile(day_, context_.dataDirectory(), context_.dialogs, context_.taal()) !=
        0) {
        return false;
    }
    TranslateHistoPanel(mode);
    show();
    GetAndBringHistoryToScreen(day_.HistoryIndex);
    day_.HistoryInitialized = 1;
    return true;
}

void HistoryPanel::LaatViewNuZien(int mode) {
    if (Open(mode)) {
        exec();
    }
}

void HistoryPanel::ShowMessage(const QString& text) {
    message_->setText(text);
    message_->setVisible(!text.isEmpty());
}

void HistoryPanel::DisplaySearchHistoryMessage(std::string_view text) {
    if (messageTimer_.isValid() && messageTimer_.elapsed() < kMessageIntervalMs) {
        return;
    }
    messageTimer_.start();
    ShowMessage(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    message_->repaint();
}

void HistoryPanel::GetAndBringHistoryToScreen(int index) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    context_.status.DoeDisplayMessage(text::Plain(Key::TXT_SEARCH_FILES, context_.taal()));
    graph_->Clear();
    fileName_->setText(Q(day_.HistoryFileName.string()));
    messageTimer_.invalidate();
    ClearHistoSensorStructure(day_);
    ReadHistoryFromDisk(day_, context_.status, *this);
    ShowMessage({});
    day_.HistoryIndex = views::ProbeIndexAfterLoad(index, day_.HistoryMaxIndex);
    RefreshHistoryScreen();
    QApplication::restoreOverrideCursor();
}

void HistoryPanel::RefreshHistoryScreen() {
    ShowMessage({});
    const std::optional<views::HistoryScreen> screen =
        views::MakeHistoryScreen(day_, context_.graphStyle(), context_.taal());
    fileName_->setText(Q(day_.HistoryFileName.string()));
    if (!screen) {
        // A file without a probe value: nothing to draw.
        probeName_->setText(Q(text::Plain(Key::TXT_NO_DATA, context_.taal())));
        graph_->Clear();
        typeLine_->clear();
        maxLine_->clear();
        minLine_->clear();
        registrationDate_->setText(pages::DisplayEuroDate(context_.taal(), day_.EuroHistoryDatum));
        return;
    }
    probeName_->setText(Q(screen->probeName));
    typeLine_->setText(Q(screen->typeLine));
    maxLine_->setText(Q(screen->maxLine));
    minLine_->setText(Q(screen->minLine));
    registrationDate_->setText(pages::DisplayEuroDate(context_.taal(), screen->registrationDate));
    GraphModel graph = screen->graph;
    const HistoEntry& entry = day_.HistoSensor[static_cast<std::size_t>(day_.HistoryIndex)];
    if (const auto limits = LimitsOf(context_.limitsOf, KeyText(entry.ProbeKey))) {
        AddLimitLines(graph, *limits, entry.MinValue, entry.MaxValue, kScreenAxisMargin);
    }
    const int cursor = graph_->CursorIndex();
    graph_->SetGraph(graph, cursor < 0 ? 0 : cursor);
    RefreshHistoryInfoBoxes();
}

void HistoryPanel::RefreshHistoryInfoBoxes() {
    if (const auto readout = views::HistoryReadout(day_, graph_->CursorIndex(), context_.taal())) {
        cursorTime_->setText(Q(readout->time));
        cursorValue_->setText(Q(readout->value));
    }
    graph_->setFocus();
}

void HistoryPanel::HistoryNextSensor() {
    day_.HistoryIndex = views::StepIndex(day_.HistoryIndex, day_.HistoryMaxIndex, true);
    RefreshHistoryScreen();
}

void HistoryPanel::HistoryPrevSensor() {
    day_.HistoryIndex = views::StepIndex(day_.HistoryIndex, day_.HistoryMaxIndex, false);
    RefreshHistoryScreen();
}

void HistoryPanel::HistoryNextDate() {
    if (GetOtherDateFile(day_, true, context_.dataDirectory(), context_.clock, context_.dialogs,
                         context_.status) == 1) {
        GetAndBringHistoryToScreen(day_.HistoryIndex);
    }
}

void HistoryPanel::HistoryPrevDate() {
    if (GetOtherDateFile(day_, false, context_.dataDirectory(), context_.clock, context_.dialogs,
                         context_.status) == 1) {
        GetAndBringHistoryToScreen(day_.HistoryIndex);
    }
}

void HistoryPanel::SelectDate() {
    if (KiesEenHistoryFile(day_, context_.dataDirectory(), context_.dialogs, context_.taal()) ==
        0) {
        GetAndBringHistoryToScreen(0);
    }
}

void HistoryPanel::PrintHistory() {
    const int e = day_.HistoryIndex;
    if (e >= 0 && e <= day_.HistoryMaxIndex) {
        ReportPage page = MakeDayPage(day_, e, context_.PrintNow());
        pages::PrintPages(context_, "Quorvanel " + day_.HistoryDatum, 1, [&](int) { return page; });
    }
    RefreshHistoryInfoBoxes();
}

}  // namespace qrv::panels
