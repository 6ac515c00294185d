#pragma once

#include <QMainWindow>
#include <QMenu>
#include <QTimer>
#include <map>
#include <vector>

#include "acquisition/timer_platform.h"
#include "app/shell/main_window_view.h"
#include "app/shell/menu_follower.h"
#include "app/shell/menu_model.h"
#include "app/shell/results_rows.h"
#include "app/window/help_window.h"
#include "app/window/main_panel.h"
#include "app/window/qt_status_display.h"
#include "app/window/qt_translations.h"
#include "app/window/window_placement.h"
#include "probe_editor/dialog/qt_probe_editor_view.h"
#include "reports/pages/panel_context.h"
#include "station/shell_services.h"
#include "station/station_core.h"
#include "station/station_state.h"
#include "storage/history_sensor.h"
#include "storage/status_messages.h"

namespace qrv::panels {
class CurrentValuesPanel;
class HistoryPanel;
}  // namespace qrv::panels

namespace qrv::window {

// The station window: status fields, the menu bar built from the menu model,
// and the display and menu timers.
class MainWindow final : public QMainWindow, public shell::MainWindowView {
    Q_OBJECT
  public:
    // What the window brings to the station besides itself.
    struct Platform {
        Clock& clock;
        Dialogs& dialogs;
        EventLog& programLog;
        shell::TextViewer& editor;
        shell::MachineParts machine;
    };

    MainWindow(StationPaths paths, Platform platform);
    ~MainWindow() override;

    // The station the window is the front end of.
    shell::StationCore& Core() { return core_; }
    const shell::ShellServices& Services() const { return services_; }
    StatusDisplay& Display() { return display_; }
    shell::LiveMonitoring& Monitoring() { return monitoring_; }
    MainPanel& Panel() { return *panel_; }

    // Where the window's size, position and maximised state are kept across
    // starts; without it the window opens at its preferred size, fitted
    // into the screen. Before the window is first shown.
    void RememberPlacementIn(const QString& settingsFile) {
        placement_ = WindowPlacement(settingsFile, kPreferredSize);
    }

    // One display-timer tick, as the timer delivers it every second.
    void DisplayTick();
    // Shows the window; the first time where the user left it (size,
    // position, maximised), inside the screen.
    void ShowMainPanel();

    void TranslateQRVMenu() override;
    void UpdateCheckMarks() override;
    void HandleSetMenuItems() override;
    void SetComPortItems(const std::vector<int>& ports) override;
    void SetProbeItems(const std::vector<shell::ProbeMenuItem>& probes) override;
    void SetYearItems(const std::vector<int>& years) override;
    shell::ResultsTableView& ResultsTable() override;
    void QuitUserInterface() override;
    void DoeProbeViewPanel(int index) override;
    void LaatViewNuZien(int mode) override;
    void PrintMoWeDayReport(int period, int year) override;
    void PrintDailySheet(int year) override;
    void PrintSystemSettings() override;
    void PrintProbeSettings() override;

    // The panels, created when first opened.
    panels::CurrentValuesPanel& CurrentValues();
    panels::HistoryPanel& History();
    // What the view and report panels use of the station.
    pages::PanelContext MakePanelContext();

    // The desktop's keys. F1: the README beside the window (from where it
    // is looked for; by default beside the program, then the source tree).
    void ShowHelp();
    void SetHelpCandidates(std::vector<std::filesystem::path> candidates) {
        helpCandidates_ = std::move(candidates);
    }
    // F5: the results table and the year menus read anew.
    void Refresh();
    // Ctrl+P: the Print submenu, opened to choose what to print.
    void OpenPrintMenu();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    struct StaticEntry {
        const shell::MenuNode* node;
        QAction* action;  // the item, or the submenu's own action
        bool isSubmenu;
    };
    struct DynamicEntry {
        shell::MenuCommand command;
        int value;
        QAction* action;
    };

    void BuildMenu(QMenu* parent, const shell::MenuNode& node);
    QAction* AddCommandAction(QMenu* menu, shell::MenuCommand command, int value);
    void FillDynamicMenus(shell::DynamicItems kind,
                          const std::vector<std::pair<std::string, int>>& items);
    void RunCommand(shell::MenuCommand command, int value);

    MainPanel* panel_;
    QtStatusDisplay display_;
    probe_editor::QtProbeEditorView probeEditor_;
    // Long bus steps run beside the event loop, which takes no input then.
    shell::BackgroundBusWork bus_;
    shell::StationCore core_;
    shell::StationState& state_;
    const shell::ShellServices& services_;
    shell::LiveMonitoring& monitoring_;
    shell::ResultsRows rows_;
    shell::MenuFollower menus_;
    std::vector<shell::MenuNode> tree_;
    std::vector<StaticEntry> entries_;
    std::multimap<shell::DynamicItems, std::pair<QMenu*, const shell::MenuNode*>> dynamicMenus_;
    std::vector<DynamicEntry> dynamicEntries_;
    StatusMessages status_;
    pages::PrinterOpener printer_;
    // The day the history view shows; the daily reports read into it too.
    std::unique_ptr<HistoryData> history_;
    int lastViewAction_ = 0;
    std::unique_ptr<panels::CurrentValuesPanel> currentValues_;
    std::unique_ptr<panels::HistoryPanel> historyPanel_;
    static constexpr QSize kPreferredSize{1280, 800};
    WindowPlacement placement_{QString(), kPreferredSize};
    bool placed_ = false;
    QtTranslations qtTranslations_;
    std::vector<std::filesystem::path> helpCandidates_;
    HelpWindow* help_ = nullptr;
    QMenu* printMenu_ = nullptr;
    QTimer displayTimer_;
    QTimer menuTimer_;
    bool quitting_ = false;
};

}  // namespace qrv::window
