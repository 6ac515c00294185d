#pragma once

#include <functional>
#include <optional>
#include <string>

#include "runtime/clock.h"
#include "runtime/termination_signals.h"
#include "service/service_notifier.h"

namespace qrv::station {

// The event loop of a station without a display, on the main thread: the
// display timer's tick once a second, the status for the service manager
// when it changes, WATCHDOG=1 while the timer thread ticks, and the
// signals that end or change the station.
class ServiceLoop {
  public:
    struct Hooks {
        std::function<void()> displayTick;
        std::function<std::string()> statusText;
        // A signal the loop handles itself (the test-only stall); the loop
        // returns for every other one.
        std::function<bool(int signal)> handledInLoop;
        // What Wake() asked for: the station's own events, served on this
        // thread between bus steps.
        std::function<void()> serveEvents;
    };

    // secondsPerRealSecond: how fast clock runs against real time (1 except
    // for an accelerated simulation), for the watchdog's real interval.
    ServiceLoop(Clock& clock, double secondsPerRealSecond, TerminationSignals& signals,
                ServiceNotifier& notifier, const TickWatch& ticks, Hooks hooks);
    ~ServiceLoop();
    ServiceLoop(const ServiceLoop&) = delete;
    ServiceLoop& operator=(const ServiceLoop&) = delete;

    // Runs until a signal comes (returned) or the clock reaches deadline.
    std::optional<int> RunUntil(double deadline);
    // Runs until busy() no longer holds (none) or a signal comes (returned):
    // the loop beside a long bus step on another thread, which is then told
    // to give up, so a signal is honoured within a bus step.
    std::optional<int> RunWhile(const std::function<bool()>& busy);

    // READY=1 with the status, once monitoring runs. Until then the loop
    // keeps extending the service manager's start timeout.
    void Ready();
    // RELOADING=1: the files are reread and the network installed anew; a
    // Ready() follows.
    void Reloading();
    // From any thread: serveEvents runs on the loop's thread soon. Only
    // signals an eventfd, so it may run inside the feed's wake-up.
    void Wake();

  private:
    std::optional<int> Run(double deadline, const std::function<bool()>& busy);
    void Due(double now);

    Clock& clock_;
    double speed_;
    TerminationSignals& signals_;
    ServiceNotifier& notifier_;
    const TickWatch& ticks_;
    Hooks hooks_;
    // Clock seconds between two watchdog pings; nothing without a watchdog.
    std::optional<double> pingInterval_;
    double nextTick_;
    double nextPing_;
    double nextExtend_;
    std::string lastStatus_;
    bool ready_ = false;
    // Readable after Wake(); taken only outside bus steps.
    int wakeFd_ = -1;
    bool wakePending_ = false;
};

}  // namespace qrv::station
