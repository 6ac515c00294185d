#include "reports/pages/report_panel.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QShortcut>
#include <QVBoxLayout>

#include <fmt/format.h>

#include "reports/pages/panel_style.h"
#include "reports/printouts/daily_list.h"
#include "reports/printouts/day_pages.h"
#include "reports/printouts/period_loading.h"
#include "reports/printouts/report_selection.h"
#include "reports/printouts/time_out_of_range.h"
#include "runtime/calendar.h"
#include "text/texts.h"

namespace qrv::pages {

using text::Key;

namespace {

// The message line is redrawn (and a wish to leave taken in) at most this
// often while a period is read.
constexpr int kMessageIntervalMs = 50;

Key TitleOf(ReportPeriod period) {
    switch (period) {
        case ReportPeriod::Week:
            return Key::TXT_WEEK_HIST_RECORD;
        case ReportPeriod::Day:
            return Key::TXT_DAY_HIST_RECORD;
        case ReportPeriod::Month:
            break;
    }
    return Key::TXT_MONTH_HIST_RECORD;
}

}  // namespace

ReportPanel::ReportPanel(PanelContext context, HistoryData& day, QWidget* parent)
    : QDialog(parent),
      context_(std::move(context)),
      day_(day),
      period_(std::make_unique<PeriodData>()),
      menu_(new QMenuBar(this)),
      title_(new QLabel(this)),
      year_(new QLabel(this)),
      periodCaption_(new QLabel(this)),
      dayCaption_(new QLabel(this)),
      probeCaption_(new QLabel(this)),
      probeHint_(new QLabel(this)),
      periodList_(new QListWidget(this)),
      dayList_(new QListWidget(this)),
      probeList_(new QListWidget(this)),
      message_(new QLabel(this)),
      printOne_(new QPushButton(this)),
      printAll_(new QPushButton(this)),
      listAll_(new QPushButton(this)),
      cancel_(new QPushButton(this)) {
    setObjectName("reportPanel");
    setModal(true);
    resize(760, 560);
    ClearSensorStructure(*period_);
    periodList_->setObjectName("periodList");
    dayList_->setObjectName("dayList");
    probeList_->setObjectName("probeList");
    message_->setObjectName("messageLine");
    StyleHeading(*title_, 20);
    StyleHeading(*year_, 15);
    StyleMessageLine(*message_);
    probeHint_->setObjectName("probeHint");
    probeHint_->setWordWrap(true);
    probeHint_->setStyleSheet("color: #505A66;");
    for (QListWidget* list : {periodList_, dayList_, probeList_}) {
        QFont font = list->font();
        font.setPixelSize(15);
        list->setFont(font);
    }
    periodList_->setMaximumWidth(110);
    dayList_->setMaximumWidth(110);

    fileMenu_ = menu_->addMenu(QString());
    backAction_ = fileMenu_->addAction(QString());
    printMenu_ = menu_->addMenu(QString());
    printOneAction_ = printMenu_->addAction(QString());
    printAllAction_ = printMenu_->addAction(QString());
    listAllAction_ = printMenu_->addAction(QString());
    printOneAction_->setShortcut(QKeySequence::Print);

    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(menu_);
    auto* head = new QHBoxLayout;
    head->addWidget(title_);
    head->addStretch(1);
    head->addWidget(year_);
    layout->addLayout(head);
    layout->addWidget(HorizontalRule(this));

    auto* lists = new QGridLayout;
    lists->addWidget(periodCaption_, 0, 0);
    lists->addWidget(periodList_, 1, 0);
    lists->addWidget(dayCaption_, 0, 1);
    lists->addWidget(dayList_, 1, 1);
    lists->addWidget(probeCaption_, 0, 2);
    lists->addWidget(probeList_, 1, 2);
    lists->addWidget(probeHint_, 2, 2);
    lists->setColumnStretch(2, 1);
    layout->addLayout(lists, 1);
    layout->addWidget(message_);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(printOne_);
    buttons->addWidget(printAll_);
    buttons->addWidget(listAll_);
    buttons->addStretch(1);
    buttons->addWidget(cancel_);
    layout->addLayout(buttons);

    connect(periodList_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!busy_ && row >= 0) {
            PeriodeSelect(periodList_->item(row)->data(Qt::UserRole).toInt());
        }
    });
    connect(dayList_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!busy_ && row >= 0) {
            DaySelect(dayList_->item(row)->data(Qt::UserRole).toInt());
        }
    });
    connect(probeList_, &QListWidget::currentRowChanged, this, &ReportPanel::ProbeBox);
    for (auto [button, action, run] :
         {std::tuple{printOne_, printOneAction_, &ReportPanel::PrintOneSensor},
          std::tuple{printAll_, printAllAction_, &ReportPanel::PrintAllSensors},
          std::tuple{listAll_, listAllAction_, &ReportPanel::ListAllSensors}}) {
        connect(button, &QPushButton::clicked, this, run);
        connect(action, &QAction::triggered, this, run);
    }
    connect(cancel_, &QPushButton::clicked, this, &ReportPanel::GebruikerWilTerug);
    connect(backAction_, &QAction::triggered, this, &ReportPanel::GebruikerWilTerug);
    // F5: the periods, days and probes read anew, the choice kept where it
    // still exists (a new day's file appears at midnight, today's grows).
    connect(new QShortcut(QKeySequence(Qt::Key_F5), this), &QShortcut::activated, this, [this] {
        if (!busy_) {
            HandleDateSelection();
        }
    });
}

ReportPanel::~ReportPanel() = default;

void ReportPanel::TranslatePrintSelPanel() {
    const int taal = context_.taal();
    setWindowTitle(Q(text::Plain(Key::TXT_SELECT_PRINT_NAME_MENU, taal)));
    fileMenu_->setTitle(Q(text::Accel(Key::TXT_BAR_BESTAND, taal)).trimmed());
    backAction_->setText(Q(text::Accel(Key::TXT_BAR_BACK_TO_MAIN, taal)));
    printMenu_->setTitle(Q(text::Accel(Key::TXT_BAR1_BESTAND_PRINT, taal)));
    printOneAction_->setText(Q(text::Accel(Key::TXT_BAR2_PRINT_ONE, taal)));
    printAllAction_->setText(Q(text::Accel(Key::TXT_BAR2_PRINT_ALL, taal)));
    listAllAction_->setText(Q(text::Accel(Key::TXT_BAR2_LIST_ALL, taal)));
    printOne_->setText(Q(text::Accel(Key::TXT_PRINT_ONE, taal)));
    printAll_->setText(Q(text::Accel(Key::TXT_PRINT_ALL, taal)));
    listAll_->setText(Q(text::Accel(Key::TXT_LIST_ALL, taal)));
    cancel_->setText(Q(text::Accel(Key::ButtonCancel, taal)));
    dayCaption_->setText(Q(text::Plain(Key::TXT_DAY, taal)));
    probeCaption_->setText(Q(text::Plain(Key::TXT_PROBE, taal)).trimmed());
    probeHint_->setText(Q(text::Plain(Key::TXT_PROBE_BEFORE_PRINT, taal)));
}

bool ReportPanel::Open(ReportPeriod period, int year) {
    reportAbort_ = false;
    context_.knowPrinterSetting = 0;
    period_->ListSelection = 0;
    selection_ = PeriodSelection{period, year, 1, 1, 1};
    TranslatePrintSelPanel();
    const int taal = context_.taal();
    year_->setText(Q(fmt::format("{}:  {}", text::Plain(Key::TXT_YEAR, taal), year)));
    title_->setText(Q(text::Plain(TitleOf(period), taal)));
    const bool day = period == ReportPeriod::Day;
    dayCaption_->setVisible(day);
    dayList_->setVisible(day);
    // The daily list is a printout of one day.
    listAll_->setVisible(day);
    listAllAction_->setVisible(day);
    MakeMeldingVisible(true, context_.dataDirectory().string());
    ShowProbes(false);
    show();
    periodList_->setFocus();
    return HandleDateSelection();
}

void ReportPanel::PrintMoWeDayReport(ReportPeriod period, int year) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool found = Open(period, year);
    QApplication::restoreOverrideCursor();
    if (found) {
        exec();
        return;
    }
    hide();
    if (!reportAbort_) {
        context_.status.Beep();
        context_.dialogs.MessagePopup(text::Plain(Key::QRVNL_TEXT, context_.taal()),
                                      text::Plain(Key::TXT_NO_DATA, context_.taal()));
    }
}

void ReportPanel::FillList(QListWidget& list, const std::vector<int>& values, int& selected) {
    const QSignalBlocker blocker(list);
    list.clear();
    selected = KeepSelection(values, selected);
    for (int value : values) {
        auto* item = new QListWidgetItem(Q(GetDayName(value)), &list);
        item->setData(Qt::UserRole, value);
        if (value == selected) {
            list.setCurrentItem(item);
        }
    }
}

bool ReportPanel::HandleDateSelection() {
    const int taal = context_.taal();
    const ResultFileIndex files(context_.dataDirectory());
    bool found = true;
    switch (selection_.period) {
        case ReportPeriod::Month:
            periodCaption_->setText(Q(text::Plain(Key::TXT_MONTH, taal)));
            FillList(*periodList_, PutAllMonthsToScreen(files, selection_.year, taal, *this),
                     selection_.month);
            break;
        case ReportPeriod::Week: {
            periodCaption_->setText(Q(text::Plain(Key::TXT_WEEK, taal)));
            const std::vector<int> weeks =
                PutAllWeeksToScreen(files, selection_.year, context_.clock.Now(), taal, *this);
            FillList(*periodList_, weeks, selection_.week);
            found = !weeks.empty();
            break;
        }
        case ReportPeriod::Day:
            periodCaption_->setText(Q(text::Plain(Key::TXT_MONTH, taal)));
            FillList(*periodList_, PutAllMonthsToScreen(files, selection_.year, taal, *this),
                     selection_.month);
            FillList(*dayList_,
                     PutAllDaysToScreen(files, selection_.year, selection_.month, taal, *this),
                     selection_.day);
            break;
    }
    if (found) {
        FindAndDisplaySensors();
    }
    return found;
}

bool ReportPanel::FindAndDisplaySensors() {
    const int taal = context_.taal();
    MakeMeldingVisible(true, text::Plain(Key::TXT_SEARCH_FILES, taal));
    SetBusy(true);
    probeList_->clear();
    ShowProbes(false);
    PeriodData& period = *period_;
    // The minutes out of range of a month or a week come from the same read
    // as its slots; a day's pages read the day themselves.
    limitHistory_.reset();
    if (!context_.auditTrail.empty()) {
        records::TrailLimits trail = records::ReadTrailLimits(context_.auditTrail);
        if (trail.note.empty()) {
            limitHistory_ = std::make_shared<const records::LimitHistory>(std::move(trail.history));
        } else {
            context_.status.ShowError(trail.note);
        }
    }
    outOfRange_ = std::make_unique<PeriodOutOfRangeTally>(context_.limitsOf, limitHistory_);
    PeriodDayConsumer tally;
    if (selection_.period != ReportPeriod::Day) {
        tally = [this](int, const HistoryData& day) { outOfRange_->AddDay(day); };
    }
    const int files = LoadPeriod(period, selection_, context_.dataDirectory(), taal, *this, tally);
    MakeMeldingVisible(false, "");
    SetBusy(false);
    if (reportAbort_ || files <= 0 || period.MonthMaxIndex < 0) {
        return false;
    }
    for (int e = 0; e <= period.MonthMaxIndex; ++e) {
        probeList_->addItem(Q(period.MonthSensor[static_cast<std::size_t>(e)].ProbeName.utf8));
    }
    ShowProbes(true);
    probeList_->setCurrentRow(0);
    period.ListSelection = 0;
    return true;
}

void ReportPanel::ShowProbes(bool visible) {
    for (QWidget* widget : std::initializer_list<QWidget*>{printOne_, printAll_, listAll_}) {
        widget->setEnabled(visible);
    }
    for (QAction* action : {printOneAction_, printAllAction_, listAllAction_}) {
        action->setEnabled(visible);
    }
    // The hint asks for a probe only while none is chosen.
    probeHint_->setVisible(visible && probeList_->currentRow() < 0);
}

void ReportPanel::SetBusy(bool busy) {
    busy_ = busy;
    periodList_->setEnabled(!busy);
    dayList_->setEnabled(!busy);
    probeList_->setEnabled(!busy);
    menu_->setEnabled(!busy);
    messageTimer_.invalidate();
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

void ReportPanel::MakeMeldingVisible(bool visible, std::string_view text) {
    message_->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    message_->setVisible(visible);
    message_->repaint();
}

void ReportPanel::DisplayMonthlyMessage(std::string_view reportMessage, std::string_view time) {
    if (messageTimer_.isValid() && messageTimer_.elapsed() < kMessageIntervalMs) {
        return;
    }
    messageTimer_.start();
    message_->setText(Q(fmt::format(" {}   {}  ", reportMessage, time)));
    message_->setVisible(true);
    // Lets the panel draw and the user leave it during a long read; the
    // lists are disabled meanwhile, so nothing else can start.
    QCoreApplication::processEvents();
}

void ReportPanel::PeriodeSelect(int value) {
    int& stored = selection_.period == ReportPeriod::Week ? selection_.week : selection_.month;
    if (value != stored) {
        stored = value;
        HandleDateSelection();
    }
}

void ReportPanel::DaySelect(int value) {
    if (value != selection_.day) {
        selection_.day = value;
        HandleDateSelection();
    }
}

void ReportPanel::ProbeBox(int index) {
    if (index >= 0) {
        period_->ListSelection = index;
    }
    probeHint_->setVisible(printOne_->isEnabled() && index < 0);
}

std::string ReportPanel::DayFile() const {
    return period_->PrintFile[static_cast<std::size_t>(std::clamp(selection_.day, 1, 31))];
}

bool ReportPanel::ReadDay(const std::string& file) {
    if (file.empty() || file == kNoPrintFile) {
        return false;
    }
    ClearHistoSensorStructure(day_);
    day_.HistoryFileName = file;
    SilentProgress progress;
    ReadHistoryFromDisk(day_, context_.status, progress);
    return true;
}

void ReportPanel::PrintDayPages(bool all) {
    if (!ReadDay(DayFile())) {
        return;
    }
    day_.HistoryInitialized = 1;
    const PrintContext print = PrintNow();
    if (all) {
        PrintPages(context_, "Quorvanel " + day_.HistoryDatum, day_.HistoryMaxIndex + 1,
                   [&](int i) { return MakeDayPage(day_, i, print); });
        return;
    }
    // The probe of the period list, found by its key without claiming an
    // entry: a probe with only failed readings that day has no day page.
    const KeyChars& key = period_->MonthSensor[static_cast<std::size_t>(ListSelection())].ProbeKey;
    for (int e = 0; e <= day_.HistoryMaxIndex; ++e) {
        if (day_.HistoSensor[static_cast<std::size_t>(e)].ProbeKey == key) {
            day_.HistoryIndex = e;
            PrintPages(context_,
                       "Quorvanel " + day_.HistoryDatum + " " +
                           day_.HistoSensor[static_cast<std::size_t>(e)].ProbeName.utf8,
                       1, [&](int) { return MakeDayPage(day_, e, print); });
            return;
        }
    }
    context_.dialogs.MessagePopup(text::Plain(Key::QRVNL_TEXT, context_.taal()),
                                  text::Plain(Key::TXT_NO_DATA, context_.taal()));
}

std::string ReportPanel::DocumentName(std::string_view probe) const {
    // "Quorvanel Monthly report 2026-01 Freezer": what and which period.
    const std::string period = selection_.period == ReportPeriod::Week
                                   ? fmt::format("{:04}-W{:02}", selection_.year, selection_.week)
                                   : fmt::format("{:04}-{:02}", selection_.year, selection_.month);
    std::string name = fmt::format(
        "Quorvanel {} {}", text::Plain(TitleOf(selection_.period), context_.taal()), period);
    if (!probe.empty()) {
        name += " " + std::string(probe);
    }
    return name;
}

void ReportPanel::PrintOneSensor() {
    if (period_->MonthMaxIndex < 0) {
        return;
    }
    MakeMeldingVisible(true, text::Plain(Key::TXT_MELDING_PRINTING, context_.taal()));
    if (selection_.period == ReportPeriod::Day) {
        PrintDayPages(false);
    } else {
        const PrintContext print = PrintNow();
        const MonthEntry& entry = period_->MonthSensor[static_cast<std::size_t>(ListSelection())];
        ReportPage page =
            MakePeriodPage(entry, selection_, print,
                           OutOfRangeOf(TimesOutOfRange(print), KeyText(entry.ProbeKey)));
        PrintPages(context_, DocumentName(entry.ProbeName.utf8), 1, [&](int) { return page; });
    }
    MakeMeldingVisible(false, "");
}

void ReportPanel::PrintAllSensors() {
    if (period_->MonthMaxIndex < 0) {
        return;
    }
    MakeMeldingVisible(true, text::Plain(Key::TXT_MELDING_PRINTING, context_.taal()));
    if (selection_.period == ReportPeriod::Day) {
        PrintDayPages(true);
    } else {
        const PrintContext print = PrintNow();
        const PeriodTimesOutOfRange outOfRange = TimesOutOfRange(print);
        PrintPages(context_, DocumentName(""), period_->MonthMaxIndex + 1, [&](int i) {
            const MonthEntry& entry = period_->MonthSensor[static_cast<std::size_t>(i)];
            return MakePeriodPage(entry, selection_, print,
                                  OutOfRangeOf(outOfRange, KeyText(entry.ProbeKey)));
        });
    }
    MakeMeldingVisible(false, "");
}

void ReportPanel::ListAllSensors() {
    if (selection_.period != ReportPeriod::Day || !ReadDay(DayFile())) {
        return;
    }
    day_.HistoryInitialized = 0;
    MakeMeldingVisible(true, text::Plain(Key::TXT_MELDING_PRINTING, context_.taal()));
    const PrintContext print = PrintNow();
    // The pages count the probes of the day read for the list itself.
    const int pages = DailyListPageCount(day_.HistoryMaxIndex + 1);
    PrintPages(context_, "Quorvanel " + day_.HistoryDatum + " list", pages,
               [&](int i) { return MakeDailyListPage(day_, i + 1, pages, print); });
    MakeMeldingVisible(false, "");
}

PeriodTimesOutOfRange ReportPanel::TimesOutOfRange(const PrintContext& print) const {
    if (outOfRange_) {
        // Counted by the limits in force when each value was stored, which
        // a change made since the period was read does not alter.
        if (limitHistory_) {
            return outOfRange_->Sums();
        }
        if (auto sums = outOfRange_->SumsIfLimitsHold(print)) {
            return std::move(*sums);
        }
    }
    // A limit changed since the period was read: its minutes are counted anew.
    return PeriodTimeOutOfRange(*period_, print);
}

PrintContext ReportPanel::PrintNow() const {
    PrintContext print = context_.PrintNow();
    print.limitHistory = limitHistory_;
    return print;
}

void ReportPanel::GebruikerWilTerug() {
    reportAbort_ = true;
    done(QDialog::Rejected);
}

void ReportPanel::reject() {
    // Escape and the window's close button leave the panel as Cancel does.
    reportAbort_ = true;
    QDialog::reject();
}

}  // namespace qrv::pages
