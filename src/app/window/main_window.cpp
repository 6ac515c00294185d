#include "app/window/main_window.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QMenuBar>
#include <QShortcut>
#include <QTimer>

#include <fmt/format.h>

#include "app/shell/commands.h"
#include "app/shell/menu_items.h"
#include "app/shell/results_table.h"
#include "qt_values/qt_values.h"
#include "records/audit_trail.h"
#include "reports/pages/daily_sheet_panel.h"
#include "reports/pages/display_dates.h"
#include "reports/pages/report_panel.h"
#include "reports/pages/settings_printing.h"
#include "station/display_timer.h"
#include "station/status_fields.h"
#include "text/texts.h"
#include "views/panels/current_values_panel.h"
#include "views/panels/history_panel.h"

namespace qrv::window {

using shell::DynamicItems;
using shell::MenuCommand;
using text::Key;

namespace {

constexpr int kDisplayTimerMs = 1000;
constexpr int kMenuTimerMs = 1000;

// Menu labels keep the blanks the tables pad them with for spacing; a Qt menu
// bar spaces its menus itself.
QString MenuText(std::string_view label) {
    return Q(text::ToQtAccelerators(label)).trimmed();
}

// While a bus step runs: the timers tick, posted status changes and paint
// and resize events are handled; clicks and keys wait until it has ended.
void KeepWindowAlive(const std::function<bool()>& finished) {
    constexpr int kPollMs = 10;
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(kPollMs);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (finished()) {
            loop.quit();
        }
    });
    poll.start();
    if (!finished()) {
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
}

}  // namespace

MainWindow::MainWindow(StationPaths paths, Platform platform)
    : panel_(new MainPanel(this)),
      display_(panel_, this),
      probeEditor_(this),
      bus_(KeepWindowAlive, [this](bool on) { core_.Session().SetGivingUp(on); }),
      core_(std::move(paths),
            {platform.clock, platform.dialogs, display_, platform.programLog, platform.editor,
             probeEditor_, bus_, shell::Via::kWindow},
            platform.machine),
      state_(core_.State()),
      services_(core_.Services()),
      monitoring_(core_.Monitoring()),
      rows_(state_, panel_->ResultsTable(), display_, monitoring_.Feed()),
      menus_(state_, platform.clock, platform.machine.ports, *this, monitoring_.Feed()),
      tree_(shell::MainMenuTree()),
      status_(display_, state_.settings.Taal, state_.NetWorkInstalled),
      history_(std::make_unique<HistoryData>()) {
    ClearHistoSensorStructure(*history_);
    setCentralWidget(panel_);
    setMinimumSize(800, 600);
    for (const shell::MenuNode& top : tree_) {
        QMenu* menu = menuBar()->addMenu(QString());
        entries_.push_back({&top, menu->menuAction(), true});
        for (const shell::MenuNode& child : top.children) {
            BuildMenu(menu, child);
        }
    }
    connect(&panel_->ResultsTable(), &ResultsTableWidget::probeChosen, this,
            [this](int index) { RunCommand(MenuCommand::ViewCurrentValues, index); });
    helpCandidates_ = HelpFileCandidates(QCoreApplication::applicationDirPath().toStdString());
    connect(new QShortcut(QKeySequence(Qt::Key_F1), this), &QShortcut::activated, this,
            &MainWindow::ShowHelp);
    connect(new QShortcut(QKeySequence(Qt::Key_F5), this), &QShortcut::activated, this,
            &MainWindow::Refresh);
    connect(new QShortcut(QKeySequence::Print, this), &QShortcut::activated, this,
            &MainWindow::OpenPrintMenu);
    connect(panel_, &MainPanel::alarmButtonChanged, this,
            [this](int value) { shell::AlarmButton(state_, services_, value); });
    // The rows are drawn on this thread's event loop, never on the
    // publisher's: the network timer's thread only posts.
    rows_.Events().SetWakeUp([this] {
        QMetaObject::invokeMethod(
            this, [this] { rows_.Serve(); }, Qt::QueuedConnection);
    });
    menus_.Events().SetWakeUp([this] {
        QMetaObject::invokeMethod(
            this, [this] { menus_.Serve(); }, Qt::QueuedConnection);
    });
    // The station's own followers (the store that came due, the audit of
    // changed probes) run on this thread as well.
    core_.SetWakeUp([this] {
        QMetaObject::invokeMethod(
            this, [this] { core_.Serve(); }, Qt::QueuedConnection);
    });
    connect(&displayTimer_, &QTimer::timeout, this, &MainWindow::DisplayTick);
    connect(&menuTimer_, &QTimer::timeout, this, &MainWindow::HandleSetMenuItems);
    displayTimer_.start(kDisplayTimerMs);
    menuTimer_.start(kMenuTimerMs);
    TranslateQRVMenu();
}

MainWindow::~MainWindow() {
    // The links' threads may still publish while the window goes; nothing
    // is posted to it any more.
    core_.SetWakeUp({});
    if (placed_) {
        placement_.Save(*this);
    }
    display_.SetWaitCursor(false);
}

void MainWindow::BuildMenu(QMenu* parent, const shell::MenuNode& node) {
    if (node.dynamic != DynamicItems::None) {
        QMenu* menu = parent->addMenu(QString());
        entries_.push_back({&node, menu->menuAction(), true});
        dynamicMenus_.emplace(node.dynamic, std::make_pair(menu, &node));
        return;
    }
    if (!node.children.empty()) {
        QMenu* menu = parent->addMenu(QString());
        entries_.push_back({&node, menu->menuAction(), true});
        if (node.key == Key::TXT_BAR1_BESTAND_PRINT) {
            printMenu_ = menu;
        }
        for (const shell::MenuNode& child : node.children) {
            BuildMenu(menu, child);
        }
        return;
    }
    // Apart from the everyday commands: quitting and emptying the table.
    if (node.command == MenuCommand::Exit || node.command == MenuCommand::DeleteAllProbes) {
        parent->addSeparator();
    }
    QAction* action = AddCommandAction(parent, node.command, node.value);
    entries_.push_back({&node, action, false});
}

QAction* MainWindow::AddCommandAction(QMenu* menu, MenuCommand command, int value) {
    QAction* action = menu->addAction(QString());
    action->setCheckable(shell::IsCheckable(command));
    if (action->isCheckable()) {
        // One choice of several (a language, an interval, a port): a radio
        // item in its menu's group.
        auto* group = menu->findChild<QActionGroup*>(QString(), Qt::FindDirectChildrenOnly);
        if (group == nullptr) {
            group = new QActionGroup(menu);
        }
        group->addAction(action);
    }
    if (command == MenuCommand::Exit) {
        action->setShortcut(QKeySequence::Quit);
    }
    connect(action, &QAction::triggered, this,
            [this, command, value] { RunCommand(command, value); });
    return action;
}

void MainWindow::RunCommand(MenuCommand command, int value) {
    shell::ExecuteMenuCommand(state_, services_, *this, command, value);
    // A triggered check item toggles itself; the settings decide. A command
    // that started a hand-off or a relay test dims itself at once, not at
    // the menu timer's next tick.
    UpdateCheckMarks();
    HandleSetMenuItems();
}

void MainWindow::DisplayTick() {
    shell::SampleTimer(state_, services_);
}

shell::ResultsTableView& MainWindow::ResultsTable() {
    return panel_->ResultsTable();
}

void MainWindow::ShowMainPanel() {
    if (!placed_) {
        placement_.Restore(*this);
        placed_ = true;
        // The window manager frames the window a moment after it is shown.
        constexpr int kFrameSettledMs = 400;
        QTimer::singleShot(kFrameSettledMs, this,
                           [this] { WindowPlacement::KeepFrameOnScreen(*this); });
    }
    show();
}

void MainWindow::TranslateQRVMenu() {
    const int taal = state_.settings.Taal;
    std::string title = text::MainPanelTitle(taal);
    if (state_.serviceMonitors) {
        title += " - " + text::Plain(Key::TXT_SERVICE_MONITORS, taal);
    }
    setWindowTitle(Q(title));
    qtTranslations_.Use(taal);
    panel_->SetDateLocale(pages::DisplayLocale(taal));
    for (const StaticEntry& entry : entries_) {
        entry.action->setText(MenuText(shell::MenuLabel(*entry.node, taal)));
    }
    panel_->SetAlarmButtonLabels(Q(text::Plain(Key::TXT_MUTE_ALARM, taal)),
                                 Q(text::Plain(Key::TXT_MUTED_ALARM, taal)));
    panel_->SetModeText(Q(shell::ModeLineText(state_.WantedUserMode, taal)));
    const std::string_view banner = text::Raw(Key::QRVNL_TEXT, taal);
    const auto gap = banner.find("   ");
    panel_->SetLogoSubtitle(
        Q(gap == std::string_view::npos ? banner : banner.substr(gap + 3)).trimmed());
}

void MainWindow::UpdateCheckMarks() {
    const shell::MenuInputs inputs = shell::CurrentMenuInputs(state_, monitoring_);
    for (const StaticEntry& entry : entries_) {
        if (!entry.isSubmenu && shell::IsCheckable(entry.node->command)) {
            entry.action->setChecked(
                shell::IsChecked(entry.node->command, entry.node->value, inputs));
        }
    }
    for (const DynamicEntry& entry : dynamicEntries_) {
        if (shell::IsCheckable(entry.command)) {
            entry.action->setChecked(shell::IsChecked(entry.command, entry.value, inputs));
        }
    }
}

void MainWindow::HandleSetMenuItems() {
    const shell::MenuInputs inputs = shell::CurrentMenuInputs(state_, monitoring_);
    for (const StaticEntry& entry : entries_) {
        const shell::MenuNode& node = *entry.node;
        if (node.dynamic != DynamicItems::None) {
            entry.action->setEnabled(!shell::IsSubmenuDimmed(node, inputs));
        } else if (!entry.isSubmenu) {
            entry.action->setEnabled(!shell::IsDimmed(node.command, inputs));
        }
    }
    for (const DynamicEntry& entry : dynamicEntries_) {
        entry.action->setEnabled(!shell::IsDimmed(entry.command, inputs));
    }
}

void MainWindow::FillDynamicMenus(DynamicItems kind,
                                  const std::vector<std::pair<std::string, int>>& items) {
    auto [first, last] = dynamicMenus_.equal_range(kind);
    for (auto it = first; it != last; ++it) {
        QMenu* menu = it->second.first;
        for (QAction* old : menu->actions()) {
            std::erase_if(dynamicEntries_,
                          [old](const DynamicEntry& e) { return e.action == old; });
        }
        menu->clear();
        const MenuCommand command = it->second.second->command;
        for (const auto& [label, value] : items) {
            QAction* action = AddCommandAction(menu, command, value);
            action->setText(MenuText(label));
            dynamicEntries_.push_back({command, value, action});
        }
    }
    UpdateCheckMarks();
    HandleSetMenuItems();
}

void MainWindow::SetComPortItems(const std::vector<int>& ports) {
    std::vector<std::pair<std::string, int>> items;
    items.reserve(ports.size());
    for (int port : ports) {
        items.emplace_back(std::string(text::Raw(Key::TXT_COMM_PORT_GEN, state_.settings.Taal)) +
                               std::to_string(port),
                           port);
    }
    FillDynamicMenus(DynamicItems::ComPorts, items);
}

void MainWindow::SetProbeItems(const std::vector<shell::ProbeMenuItem>& probes) {
    std::vector<std::pair<std::string, int>> items;
    items.reserve(probes.size());
    for (const auto& probe : probes) {
        items.emplace_back(probe.label, probe.index);
    }
    FillDynamicMenus(DynamicItems::Probes, items);
}

void MainWindow::SetYearItems(const std::vector<int>& years) {
    std::vector<std::pair<std::string, int>> items;
    items.reserve(years.size());
    for (int year : years) {
        items.emplace_back(std::to_string(year), year);
    }
    FillDynamicMenus(DynamicItems::Years, items);
}

void MainWindow::QuitUserInterface() {
    quitting_ = true;
    // exit() rather than quit(): quit() would first try to close this window.
    QCoreApplication::exit(0);
}

pages::PanelContext MainWindow::MakePanelContext() {
    return pages::PanelContext{
        services_.clock,
        services_.dialogs,
        status_,
        printer_,
        state_.KnowPrinterSetting,
        [this] { return state_.settings.Taal; },
        [this] { return state_.settings.KeuzeGraphStyle; },
        [this] { return state_.sensors.Lock()->NetworkName; },
        [this] { return state_.paths.DataDirectory(state_.WantedUserMode); },
        [this](std::string_view probeKey) {
            return LimitsInTable(state_.sensors.Copy(), probeKey);
        },
        state_.paths.AlarmFileName().parent_path() / records::kAuditTrailFileName,
    };
}

panels::CurrentValuesPanel& MainWindow::CurrentValues() {
    if (!currentValues_) {
        currentValues_ = std::make_unique<panels::CurrentValuesPanel>(
            MakePanelContext(),
            panels::LiveProbes{state_.sensors, monitoring_.Feed(), state_.CommunicationErrorAlarm,
                               state_.ViewProbeSensor, state_.ViewingGraphActive},
            this);
    }
    return *currentValues_;
}

panels::HistoryPanel& MainWindow::History() {
    if (!historyPanel_) {
        historyPanel_ = std::make_unique<panels::HistoryPanel>(MakePanelContext(), *history_,
                                                               lastViewAction_, this);
    }
    return *historyPanel_;
}

void MainWindow::DoeProbeViewPanel(int index) {
    CurrentValues().DoeProbeViewPanel(index);
}

void MainWindow::LaatViewNuZien(int mode) {
    History().LaatViewNuZien(mode);
}

void MainWindow::PrintMoWeDayReport(int period, int year) {
    pages::ReportPanel panel(MakePanelContext(), *history_, this);
    panel.PrintMoWeDayReport(static_cast<ReportPeriod>(period), year);
}

void MainWindow::PrintDailySheet(int year) {
    pages::DailySheetPanel panel(MakePanelContext(), state_.paths.AlarmFileName(),
                                 state_.sensors.Copy(), this);
    panel.PrintDailySheet(year);
}

void MainWindow::PrintSystemSettings() {
    pages::PrintSystemSettings(MakePanelContext(), state_.paths.IniFileName(),
                               state_.sensors.Copy());
}

void MainWindow::PrintProbeSettings() {
    // The thresholds as stored (monitoring takes them up at its start and
    // whenever the file changes); a damaged file does not replace those in
    // use, so those are printed then.
    records::TimeAlarmFileResult timeAlarms =
        records::ReadTimeAlarmFile(state_.paths.CurrentDirName / records::kTimeAlarmFileName);
    if (!timeAlarms.error.empty()) {
        timeAlarms.book = monitoring_.Acquisition().Alarms().TimeAlarms().Book();
    }
    pages::PrintProbeSettings(MakePanelContext(), state_.sensors.Copy(), *state_.calibrations.Get(),
                              timeAlarms.book);
}

void MainWindow::ShowHelp() {
    const int taal = state_.settings.Taal;
    const std::optional<std::filesystem::path> file = FindHelpFile(helpCandidates_);
    if (!file) {
        std::string places;
        for (const std::filesystem::path& candidate : helpCandidates_) {
            places += candidate.string() + "\n";
        }
        services_.dialogs.MessagePopup(
            text::Raw(Key::QRVNL_TEXT, taal),
            fmt::format(fmt::runtime(text::Plain(Key::TXT_HELP_NOT_FOUND, taal)), places));
        return;
    }
    if (help_ == nullptr) {
        help_ = new HelpWindow(this);
    }
    help_->ShowFile(*file, Q(text::Plain(Key::QRVNL_TEXT, taal)).simplified() +
                               QStringLiteral(" - ") + Q(text::Plain(Key::TXT_HELP_TITLE, taal)));
}

void MainWindow::Refresh() {
    shell::InitTheResultsTable(state_, ResultsTable(), display_);
    shell::AddYearsAsSubMenuItems(state_, services_.clock, *this);
}

void MainWindow::OpenPrintMenu() {
    QAction* file = entries_.front().action;
    if (printMenu_ == nullptr || !menuBar()->isEnabled() || !file->isEnabled()) {
        return;
    }
    menuBar()->setActiveAction(file);
    file->menu()->setActiveAction(printMenu_->menuAction());
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (quitting_) {
        event->accept();
        return;
    }
    event->ignore();
    shell::DoeQuit(state_, services_, *this);
}

}  // namespace qrv::window
