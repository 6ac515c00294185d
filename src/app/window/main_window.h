#pragma once

#include <QMainWindow>
#include <QMenu>
#include <QTimer>
#include <map>
#include <vector>

#include "app/shell/idle_network_timer.h"
#include "app/shell/menu_model.h"
#include "app/shell/shell_services.h"
#include "app/shell/station_state.h"
#include "app/shell/status_reporting_log.h"
#include "app/window/main_panel.h"
#include "app/window/qt_status_display.h"
#include "probe_editor/dialog/qt_probe_editor_view.h"

namespace qrv::window {

// Opens files with the desktop's default application for plain text.
class DesktopTextFileOpener final : public shell::TextFileOpener {
  public:
    void OpenInTextEditor(const std::filesystem::path& path) override;
};

// The station window: status fields, the menu bar built from the menu model,
// and the display and menu timers.
class MainWindow final : public QMainWindow, public shell::MainWindowView {
    Q_OBJECT
  public:
    struct Platform {
        Clock& clock;
        Dialogs& dialogs;
        EventLog& programLog;
        shell::TextFileOpener& editor;
        SerialPortProvider& ports;
        NodexSession& session;
    };

    MainWindow(shell::StationState& state, Platform platform);
    ~MainWindow() override;

    const shell::ShellServices& Services() const { return services_; }
    StatusDisplay& Display() { return display_; }
    MainPanel& Panel() { return *panel_; }

    // One display-timer tick, as the timer delivers it every second.
    void DisplayTick();

    void SetWaitCursor(bool on) override;
    void ShowMainPanel() override;
    void TranslateQRVMenu() override;
    void UpdateCheckMarks() override;
    void HandleSetMenuItems() override;
    void SetComPortItems(const std::vector<int>& ports) override;
    void SetProbeItems(const std::vector<shell::ProbeMenuItem>& probes) override;
    void SetYearItems(const std::vector<int>& years) override;
    void QuitUserInterface() override;

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

    shell::StationState& state_;
    MainPanel* panel_;
    QtStatusDisplay display_;
    shell::StatusReportingLog statusLog_;
    shell::IdleNetworkTimer networkTimer_;
    probe_editor::QtProbeEditorView probeEditor_;
    shell::ShellServices services_;
    std::vector<shell::MenuNode> tree_;
    std::vector<StaticEntry> entries_;
    std::multimap<shell::DynamicItems, std::pair<QMenu*, const shell::MenuNode*>> dynamicMenus_;
    std::vector<DynamicEntry> dynamicEntries_;
    QTimer displayTimer_;
    QTimer menuTimer_;
    bool waitCursor_ = false;
    bool quitting_ = false;
};

}  // namespace qrv::window
