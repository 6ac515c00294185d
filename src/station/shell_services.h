#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "probe_editor/probe_editor_view.h"
#include "runtime/clock.h"
#include "runtime/dialogs.h"
#include "runtime/event_log.h"
#include "runtime/serial_port.h"
#include "runtime/status_display.h"
#include "station/front_end.h"
#include "station/network_timer_control.h"

namespace qrv {
class NodexSession;
}

namespace qrv::shell {

class LiveMonitoring;
class StationCore;

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
    // The front end these services belong to: the commands it gives, and
    // what they set off, say so in the lines they write.
    Via via = Via::kWindow;
    // The station these services belong to, so that what follows its feed
    // catches up before the station reads back a file it wrote (none: a test's
    // own services, whose station nobody serves).
    StationCore* core = nullptr;
};

}  // namespace qrv::shell
