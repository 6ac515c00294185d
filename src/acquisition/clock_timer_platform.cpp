#include "acquisition/clock_timer_platform.h"

#include <cmath>

namespace qrv::acquisition {

ClockTimerPlatform::~ClockTimerPlatform() {
    std::map<int, std::jthread> threads;
    {
        std::lock_guard lock(mutex_);
        threads.swap(threads_);
    }
    threads.clear();  // each jthread asks its thread to stop and joins it
    JoinFinished();
}

int ClockTimerPlatform::Start(int periodMs, std::function<void()> procedure) {
    if (periodMs < minimumPeriodMs_ || !procedure) {
        return 0;
    }
    JoinFinished();
    const double period = periodMs / 1000.0;
    // The first deadline counts from now, not from when the thread gets going.
    const double first = clock_.Timer() + period;
    std::lock_guard lock(mutex_);
    const int id = nextId_++;
    threads_.emplace(id, std::jthread([this, period, first, procedure = std::move(procedure)](
                                          const std::stop_token& stop) {
                         Run(stop, first, period, procedure);
                     }));
    return id;
}

void ClockTimerPlatform::Run(const std::stop_token& stop, double first, double period,
                             const std::function<void()>& procedure) {
    double next = first;
    while (clock_.SleepUntil(next, stop)) {
        procedure();
        next += period;
        const double now = clock_.Timer();
        if (now >= next + period) {
            next += std::floor((now - next) / period) * period;
        }
    }
}

int ClockTimerPlatform::Kill(int timerId) {
    std::jthread thread;
    {
        std::lock_guard lock(mutex_);
        const auto found = threads_.find(timerId);
        if (found == threads_.end()) {
            return -1;
        }
        thread = std::move(found->second);
        threads_.erase(found);
        thread.request_stop();
        if (thread.get_id() == std::this_thread::get_id()) {
            // Called from the timer's own procedure: it ends after this call.
            finished_.push_back(std::move(thread));
            return 0;
        }
    }
    thread.join();
    return 0;
}

void ClockTimerPlatform::JoinFinished() {
    std::vector<std::jthread> finished;
    {
        std::lock_guard lock(mutex_);
        std::erase_if(finished_, [&](std::jthread& thread) {
            if (thread.get_id() == std::this_thread::get_id()) {
                return false;
            }
            finished.push_back(std::move(thread));
            return true;
        });
    }
    finished.clear();
}

}  // namespace qrv::acquisition
