#include "reports/pages/daily_sheet_panel.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QShortcut>
#include <QVBoxLayout>

#include <fmt/format.h>

#include "records/audit_trail.h"
#include "reports/pages/panel_style.h"
#include "reports/printouts/report_selection.h"
#include "runtime/calendar.h"
#include "text/texts.h"

namespace qrv::pages {

using text::Key;

namespace {

// The message line is redrawn at most this often while a month is read.
constexpr int kReadMessageIntervalMs = 50;

}  // namespace

DailySheetPanel::DailySheetPanel(PanelContext context, std::filesystem::path alarmFile,
                                 SensorTable table, QWidget* parent)
    : QDialog(parent),
      context_(std::move(context)),
      alarmFile_(std::move(alarmFile)),
      table_(std::move(table)),
      title_(new QLabel(this)),
      yearLine_(new QLabel(this)),
      monthCaption_(new QLabel(this)),
      probeCaption_(new QLabel(this)),
      monthList_(new QListWidget(this)),
      probeList_(new QListWidget(this)),
      message_(new QLabel(this)),
      printOne_(new QPushButton(this)),
      printAll_(new QPushButton(this)),
      cancel_(new QPushButton(this)) {
    setObjectName("dailySheetPanel");
    setModal(true);
    resize(620, 480);
    monthList_->setObjectName("monthList");
    probeList_->setObjectName("probeList");
    message_->setObjectName("messageLine");
    printOne_->setObjectName("printOne");
    printAll_->setObjectName("printAll");
    StyleHeading(*title_, 20);
    StyleHeading(*yearLine_, 15);
    StyleMessageLine(*message_);
    for (QListWidget* list : {monthList_, probeList_}) {
        QFont font = list->font();
        font.setPixelSize(15);
        list->setFont(font);
    }
    monthList_->setMaximumWidth(110);

    auto* layout = new QVBoxLayout(this);
    auto* head = new QHBoxLayout;
    head->addWidget(title_);
    head->addStretch(1);
    head->addWidget(yearLine_);
    layout->addLayout(head);
    layout->addWidget(HorizontalRule(this));
    auto* lists = new QGridLayout;
    lists->addWidget(monthCaption_, 0, 0);
    lists->addWidget(monthList_, 1, 0);
    lists->addWidget(probeCaption_, 0, 1);
    lists->addWidget(probeList_, 1, 1);
    lists->setColumnStretch(1, 1);
    layout->addLayout(lists, 1);
    layout->addWidget(message_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(printOne_);
    buttons->addWidget(printAll_);
    buttons->addStretch(1);
    buttons->addWidget(cancel_);
    layout->addLayout(buttons);

    connect(monthList_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0) {
            MonthSelect(monthList_->item(row)->data(Qt::UserRole).toInt());
        }
    });
    connect(probeList_, &QListWidget::currentRowChanged, this, &DailySheetPanel::ProbeSelect);
    connect(printOne_, &QPushButton::clicked, this, &DailySheetPanel::PrintOneSheet);
    connect(new QShortcut(QKeySequence::Print, this), &QShortcut::activated, printOne_,
            &QPushButton::click);
    connect(printAll_, &QPushButton::clicked, this, &DailySheetPanel::PrintAllSheets);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    // F5: the month read anew (the month under way gains a day at each
    // midnight), the chosen probe kept.
    connect(new QShortcut(QKeySequence(Qt::Key_F5), this), &QShortcut::activated, this, [this] {
        if (month_ == 0) {
            return;
        }
        const int chosen = probe_;
        LoadMonth();
        if (chosen < probeList_->count()) {
            probeList_->setCurrentRow(chosen);
        }
    });
}

DailySheetPanel::~DailySheetPanel() = default;

void DailySheetPanel::Translate() {
    const int taal = context_.taal();
    setWindowTitle(Q(text::Plain(Key::TXT_SHEET_TITLE, taal)));
    title_->setText(Q(text::Plain(Key::TXT_SHEET_TITLE, taal)));
    yearLine_->setText(Q(fmt::format("{}:  {}", text::Plain(Key::TXT_YEAR, taal), year_)));
    monthCaption_->setText(Q(text::Plain(Key::TXT_MONTH, taal)));
    probeCaption_->setText(Q(text::Plain(Key::TXT_PROBE, taal)).trimmed());
    printOne_->setText(Q(text::Accel(Key::TXT_PRINT_ONE, taal)));
    printAll_->setText(Q(text::Accel(Key::TXT_PRINT_ALL, taal)));
    cancel_->setText(Q(text::Accel(Key::ButtonCancel, taal)));
}

bool DailySheetPanel::Open(int year) {
    year_ = year;
    Translate();
    SilentProgress quiet;
    const std::vector<int> months = PutAllMonthsToScreen(ResultFileIndex(context_.dataDirectory()),
                                                         year, context_.taal(), quiet);
    {
        const QSignalBlocker blocker(monthList_);
        monthList_->clear();
        for (int month : months) {
            auto* item = new QListWidgetItem(Q(GetDayName(month)), monthList_);
            item->setData(Qt::UserRole, month);
        }
    }
    message_->setVisible(false);
    if (months.empty()) {
        return false;
    }
    show();
    // The latest month first: the sheet is mostly wanted for the month just
    // ended or the one under way.
    month_ = 0;
    monthList_->setCurrentRow(monthList_->count() - 1);
    monthList_->setFocus();
    return true;
}

void DailySheetPanel::PrintDailySheet(int year) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool found = Open(year);
    QApplication::restoreOverrideCursor();
    if (found) {
        exec();
        return;
    }
    context_.status.Beep();
    context_.dialogs.MessagePopup(text::Plain(Key::QRVNL_TEXT, context_.taal()),
                                  text::Plain(Key::TXT_NO_DATA, context_.taal()));
}

void DailySheetPanel::MonthSelect(int month) {
    if (month == month_) {
        return;
    }
    month_ = month;
    LoadMonth();
}

void DailySheetPanel::LoadMonth() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    monthList_->setEnabled(false);
    probeList_->clear();
    messageTimer_.invalidate();
    const SheetSources sources{context_.dataDirectory(), alarmFile_, table_,
                               [this](HistoryData& day, const std::string& file) {
                                   ClearHistoSensorStructure(day);
                                   day.HistoryFileName = file;
                                   ReadHistoryFromDisk(day, context_.status, *this);
                               }};
    sheets_ = LoadDailySheets(sources, year_, month_, "");
    message_->setVisible(false);
    monthList_->setEnabled(true);
    QApplication::restoreOverrideCursor();
    {
        const QSignalBlocker blocker(probeList_);
        for (const ProbeSheet& sheet : sheets_) {
            probeList_->addItem(Q(sheet.name));
        }
    }
    probe_ = 0;
    probeList_->setCurrentRow(sheets_.empty() ? -1 : 0);
    printOne_->setEnabled(!sheets_.empty());
    printAll_->setEnabled(!sheets_.empty());
}

void DailySheetPanel::DisplaySearchHistoryMessage(std::string_view text) {
    if (messageTimer_.isValid() && messageTimer_.elapsed() < kReadMessageIntervalMs) {
        return;
    }
    messageTimer_.start();
    message_->setText(Q(text));
    message_->setVisible(true);
    // Drawn at once without taking input: the lists cannot change under the
    // read.
    message_->repaint();
}

void DailySheetPanel::ProbeSelect(int index) {
    if (index >= 0) {
        probe_ = index;
    }
}

void DailySheetPanel::PrintOneSheet() {
    if (probe_ < 0 || static_cast<std::size_t>(probe_) >= sheets_.size()) {
        return;
    }
    Print({sheets_[static_cast<std::size_t>(probe_)]});
}

void DailySheetPanel::PrintAllSheets() {
    Print(sheets_);
}

void DailySheetPanel::Print(const std::vector<ProbeSheet>& sheets) {
    if (sheets.empty()) {
        return;
    }
    PrintContext print = context_.PrintNow();
    print.trailHead =
        records::TrailHeadNow(alarmFile_.parent_path() / records::kAuditTrailFileName);
    const std::vector<ReportPage> pages = DailySheetPages(sheets, year_, month_, print);
    PrintPages(context_,
               fmt::format("Quorvanel {} {:04}-{:02}",
                           text::Plain(Key::TXT_SHEET_TITLE, print.taal), year_, month_),
               static_cast<int>(pages.size()),
               [&](int i) { return pages[static_cast<std::size_t>(i)]; });
}

}  // namespace qrv::pages
