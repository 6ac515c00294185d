#include "service/service_notifier.h"

#include <cstdint>
#include <ctime>

#include <systemd/sd-daemon.h>

namespace qrv {

bool ServiceNotifier::Notify(const std::string& state) {
    // 0: no service manager listens; < 0: the message could not be sent.
    return sd_notify(0, state.c_str()) > 0;
}

bool ServiceNotifier::Ready() {
    return Notify("READY=1");
}

bool ServiceNotifier::Status(std::string_view text) {
    std::string line = "STATUS=";
    for (const char c : text) {
        line += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? ' ' : c;
    }
    return Notify(line);
}

bool ServiceNotifier::Watchdog() {
    return Notify("WATCHDOG=1");
}

bool ServiceNotifier::WatchdogIfTicking(const TickWatch& ticks, double now) {
    return ticks.Alive(now) && Watchdog();
}

bool ServiceNotifier::Reloading() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const auto microseconds = static_cast<std::uint64_t>(now.tv_sec) * 1000000U +
                              static_cast<std::uint64_t>(now.tv_nsec) / 1000U;
    return Notify("RELOADING=1\nMONOTONIC_USEC=" + std::to_string(microseconds));
}

bool ServiceNotifier::ExtendTimeout(double seconds) {
    const auto microseconds = static_cast<std::uint64_t>(seconds * 1e6);
    return Notify("EXTEND_TIMEOUT_USEC=" + std::to_string(microseconds));
}

bool ServiceNotifier::Stopping() {
    return Notify("STOPPING=1");
}

std::optional<double> ServiceNotifier::WatchdogSeconds() {
    std::uint64_t microseconds = 0;
    if (sd_watchdog_enabled(0, &microseconds) <= 0 || microseconds == 0) {
        return std::nullopt;
    }
    return static_cast<double>(microseconds) / 1e6;
}

bool TickWatch::Alive(double now) const {
    const double last = lastTick_.load(std::memory_order_relaxed);
    return now - last <= maxSilence_;
}

}  // namespace qrv
