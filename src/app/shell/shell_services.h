#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/shell/network_timer_control.h"
#include "probe_editor/probe_editor_view.h"
#include "runtime/clock.h"
#include "runtime/dialogs.h"
#include "runtime/event_log.h"
#include "runtime/serial_port.h"
#include "runtime/status_display.h"

namespace qrv {
class NodexSession;
}

namespace qrv::shell {

class LiveMonitoring;
class ResultsTableView;

// A window of the station's own that shows a text and returns once the user
// has closed it; an editable text may be changed there and saved.
class TextViewer {
  public:
    virtual ~TextViewer() = default;
    // The changed text when the user saved it (editable texts only), else
    // nullopt. Texts are UTF-8 with "\n" line ends.
    virtual std::optional<std::string> ShowText(std::string_view title, std::string_view text,
                                                bool editable, int taal) = 0;
};

struct ProbeMenuItem {
    std::string label;  // "__" followed by the probe's name
    int index = 0;
};

// The main window's menu bar and what its commands open. Only the window's
// commands and followers use it: the station's start-up, installation and
// shutdown announce their changes on the feed instead, so a station without
// a window has nothing to stand in for it.
class MainWindowView {
  public:
    virtual ~MainWindowView() = default;

    // Relabels the title, the menu bar, the alarm button and the mode line in
    // the current language.
    virtual void TranslateQRVMenu() = 0;
    // Sets every check mark from the settings.
    virtual void UpdateCheckMarks() = 0;
    // Dims the items by mode and installation (the menu timer's work).
    virtual void HandleSetMenuItems() = 0;
    virtual void SetComPortItems(const std::vector<int>& ports) = 0;
    virtual void SetProbeItems(const std::vector<ProbeMenuItem>& probes) = 0;
    virtual void SetYearItems(const std::vector<int>& years) = 0;

    // The views and printouts the menu opens; each returns when the user
    // has left it. period: 0 month, 1 week, 2 day; mode: 1 history, 2 saved data.
    virtual void DoeProbeViewPanel(int index) = 0;
    virtual void LaatViewNuZien(int mode) = 0;
    virtual void PrintMoWeDayReport(int period, int year) = 0;
    // The daily minimum and maximum sheet of a month of the year.
    virtual void PrintDailySheet(int year) = 0;
    virtual void PrintSystemSettings() = 0;
    virtual void PrintProbeSettings() = 0;

    // The main panel's results table, for the commands that rebuild it.
    virtual ResultsTableView& ResultsTable() = 0;

    // Ends the event loop; the shutdown follows.
    virtual void QuitUserInterface() = 0;
};

// Runs a long step on the 1-Wire bus (a search, the start of a session, a
// port check) to its end. The window runs it beside its event loop, so the
// clock and the progress go on and the window repaints; meanwhile the
// user-interface side answers no input and touches neither the session nor
// the probe table. Questions are asked between steps, never inside one.
class BusWork {
  public:
    virtual ~BusWork() = default;
    virtual void Run(const std::function<void()>& step) const = 0;
};

// Runs each step on the calling thread: tests, tools and the service.
class InlineBusWork final : public BusWork {
  public:
    void Run(const std::function<void()>& step) const override { step(); }
};
inline const InlineBusWork kInlineBusWork;

// Runs each step on a thread of its own while keepAlive runs on the calling
// thread until finished() holds. keepAlive returns before that only when the
// program is ending: the step is then told to give up (giveUp(true)), and
// once it has ended that is taken back (giveUp(false)) for the shutdown.
class BackgroundBusWork final : public BusWork {
  public:
    using KeepAlive = std::function<void(const std::function<bool()>& finished)>;
    BackgroundBusWork(KeepAlive keepAlive, std::function<void(bool)> giveUp)
        : keepAlive_(std::move(keepAlive)), giveUp_(std::move(giveUp)) {}
    void Run(const std::function<void()>& step) const override;

  private:
    KeepAlive keepAlive_;
    std::function<void(bool)> giveUp_;
};

// The platform services the shell works through. The log is the decorated
// one that shows the saving message while it writes.
struct ShellServices {
    Clock& clock;
    Dialogs& dialogs;
    StatusDisplay& display;
    EventLog& log;
    TextViewer& editor;
    SerialPortProvider& ports;
    NodexSession& session;
    NetworkTimerControl& networkTimer;
    ProbeEditorView& probeEditor;
    LiveMonitoring& monitoring;
    const BusWork& bus = kInlineBusWork;
};

}  // namespace qrv::shell
