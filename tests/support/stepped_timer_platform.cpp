#include "support/stepped_timer_platform.h"

#include <cmath>
#include <limits>
#include <vector>

namespace qrv::acquisition {

int SteppedTimerPlatform::Start(int periodMs, std::function<void()> procedure) {
    if (periodMs < minimumPeriodMs_ || !procedure) {
        return 0;
    }
    const double period = periodMs / 1000.0;
    const int id = nextId_++;
    timers_.emplace(id, Timer{period, clock_.Timer() + period,
                              std::make_shared<std::function<void()>>(std::move(procedure))});
    return id;
}

int SteppedTimerPlatform::Kill(int timerId) {
    return timers_.erase(timerId) == 1 ? 0 : -1;
}

int SteppedTimerPlatform::RunDue() {
    std::vector<int> due;
    // Deadlines are sums of doubles, the clock counts microseconds: a
    // deadline within half a microsecond has come.
    const double now = clock_.Timer() + 5e-7;
    for (const auto& [id, timer] : timers_) {
        if (timer.next <= now) {
            due.push_back(id);
        }
    }
    int calls = 0;
    for (const int id : due) {
        auto found = timers_.find(id);
        if (found == timers_.end()) {
            continue;  // killed by an earlier call of this round
        }
        found->second.next += found->second.period;
        // Held here: the procedure may kill its own timer.
        const auto procedure = found->second.procedure;
        (*procedure)();
        ++calls;
        found = timers_.find(id);
        if (found != timers_.end()) {
            Timer& timer = found->second;
            const double after = clock_.Timer();
            if (after >= timer.next + timer.period) {
                timer.next += std::floor((after - timer.next) / timer.period) * timer.period;
            }
        }
    }
    return calls;
}

double SteppedTimerPlatform::NextDeadline() const {
    double next = std::numeric_limits<double>::infinity();
    for (const auto& [id, timer] : timers_) {
        next = std::min(next, timer.next);
    }
    return next;
}

}  // namespace qrv::acquisition
