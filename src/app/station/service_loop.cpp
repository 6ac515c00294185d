#include "app/station/service_loop.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>

namespace qrv::station {

namespace {

constexpr double kDisplayTickSeconds = 1.0;
// While a bus step runs on another thread, the loop looks this often whether
// it has ended.
constexpr double kBusyPollRealSeconds = 0.01;
// Until monitoring runs, the start timeout is pushed this far ahead every
// kExtendEveryRealSeconds: an installation of a large network takes as long
// as it needs, while a start that hangs (no loop) still times out.
constexpr double kExtendRealSeconds = 30.0;
constexpr double kExtendEveryRealSeconds = 10.0;

}  // namespace

ServiceLoop::ServiceLoop(Clock& clock, double secondsPerRealSecond, TerminationSignals& signals,
                         ServiceNotifier& notifier, const TickWatch& ticks, Hooks hooks)
    : clock_(clock),
      speed_(secondsPerRealSecond),
      signals_(signals),
      notifier_(notifier),
      ticks_(ticks),
      hooks_(std::move(hooks)),
      nextTick_(clock.Timer() + kDisplayTickSeconds),
      nextPing_(clock.Timer()),
      nextExtend_(clock.Timer()),
      wakeFd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    // Twice within the interval the service manager allows, as sd_watchdog_enabled advises.
    if (const auto seconds = ServiceNotifier::WatchdogSeconds()) {
        pingInterval_ = *seconds / 2.0 * speed_;
    }
}

ServiceLoop::~ServiceLoop() {
    if (wakeFd_ >= 0) {
        ::close(wakeFd_);
    }
}

void ServiceLoop::Wake() {
    const std::uint64_t one = 1;
    if (wakeFd_ >= 0) {
        [[maybe_unused]] const ssize_t written = ::write(wakeFd_, &one, sizeof one);
    }
}

void ServiceLoop::Ready() {
    if (ready_) {
        return;
    }
    ready_ = true;
    if (hooks_.statusText) {
        lastStatus_ = hooks_.statusText();
        notifier_.Status(lastStatus_);
    }
    notifier_.Ready();
}

void ServiceLoop::Reloading() {
    ready_ = false;
    notifier_.Reloading();
    nextExtend_ = clock_.Timer();
}

std::optional<int> ServiceLoop::RunUntil(double deadline) {
    return Run(deadline, {});
}

std::optional<int> ServiceLoop::RunWhile(const std::function<bool()>& busy) {
    return Run(std::numeric_limits<double>::infinity(), busy);
}

void ServiceLoop::Due(double now) {
    if (now >= nextTick_) {
        if (hooks_.displayTick) {
            hooks_.displayTick();
        }
        // Like a user-interface timer: a late tick is not repeated.
        nextTick_ = std::max(nextTick_ + kDisplayTickSeconds, now + kDisplayTickSeconds / 2);
        if (hooks_.statusText) {
            std::string status = hooks_.statusText();
            if (status != lastStatus_) {
                lastStatus_ = std::move(status);
                notifier_.Status(lastStatus_);
            }
        }
    }
    if (!ready_ && now >= nextExtend_) {
        notifier_.ExtendTimeout(kExtendRealSeconds);
        nextExtend_ = now + kExtendEveryRealSeconds * speed_;
    }
    if (pingInterval_ && now >= nextPing_) {
        notifier_.WatchdogIfTicking(ticks_, clock_.Timer());
        nextPing_ = now + *pingInterval_;
    }
}

std::optional<int> ServiceLoop::Run(double deadline, const std::function<bool()>& busy) {
    for (;;) {
        if (busy && !busy()) {
            return std::nullopt;
        }
        double now = clock_.Timer();
        if (now >= deadline) {
            return std::nullopt;
        }
        Due(now);
        // Beside a bus step the station's events wait: the step has the
        // station to itself.
        if (wakePending_ && !busy && hooks_.serveEvents) {
            wakePending_ = false;
            hooks_.serveEvents();
        }
        now = clock_.Timer();
        double wake = std::min(nextTick_, deadline);
        if (!ready_) {
            wake = std::min(wake, nextExtend_);
        }
        if (pingInterval_) {
            wake = std::min(wake, nextPing_);
        }
        double realWait = std::max(0.0, (wake - now) / speed_);
        if (busy) {
            realWait = std::min(realWait, kBusyPollRealSeconds);
        }
        std::array<pollfd, 2> watched{pollfd{wakeFd_, POLLIN, 0},
                                      pollfd{signals_.ReadFd(), POLLIN, 0}};
        const nfds_t count = signals_.Installed() ? 2 : 1;
        const int timeoutMs = static_cast<int>(std::ceil(realWait * 1000.0));
        if (::poll(watched.data(), count, timeoutMs) <= 0) {
            continue;
        }
        if ((watched[0].revents & POLLIN) != 0) {
            std::uint64_t wakes = 0;
            [[maybe_unused]] const ssize_t read = ::read(wakeFd_, &wakes, sizeof wakes);
            wakePending_ = true;
        }
        if ((watched[1].revents & POLLIN) != 0) {
            if (const std::optional<int> signal = signals_.TakeSignal()) {
                if (!hooks_.handledInLoop || !hooks_.handledInLoop(*signal)) {
                    return signal;
                }
            }
        }
    }
}

}  // namespace qrv::station
