#pragma once

#include <limits>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "runtime/clock.h"
#include "runtime/program_launcher.h"

namespace qrv::testing {

// Stand-in programs that run for a set time on the station's clock, so the
// SMS timings can be checked in virtual time. Safe from any thread.
class ClockedLauncher final : public ProgramLauncher {
  public:
    static constexpr double kNever = std::numeric_limits<double>::infinity();

    explicit ClockedLauncher(const Clock& clock) : clock_(clock) {}

    // How long the next programs run; the launch itself fails when refused.
    void SetRunSeconds(double seconds) {
        std::lock_guard lock(mutex_);
        runSeconds_ = seconds;
    }
    // How the next programs end when they end by themselves, and what they print.
    void SetEnd(ProgramEnd end, std::string output = {}) {
        std::lock_guard lock(mutex_);
        end_ = end;
        output_ = std::move(output);
    }
    void RefuseLaunches(bool refuse) {
        std::lock_guard lock(mutex_);
        refuse_ = refuse;
    }

    int Launch(const std::vector<std::string>& argv, pid_t& handle) override {
        std::lock_guard lock(mutex_);
        if (refuse_) {
            return -2;
        }
        handle = static_cast<pid_t>(launched_.size() + 1000);
        launched_.push_back(argv);
        ends_[handle] = clock_.Timer() + runSeconds_;
        return 0;
    }
    int HasTerminated(pid_t handle, ProgramEnd& end) override {
        std::lock_guard lock(mutex_);
        ++polls_;
        if (terminated_.count(handle) != 0) {
            end = {true, 15, {}};
            return 1;
        }
        if (clock_.Timer() >= ends_.at(handle)) {
            end = end_;
            return 1;
        }
        return 0;
    }
    int Terminate(pid_t handle) override {
        std::lock_guard lock(mutex_);
        terminated_[handle] = true;
        return 0;
    }

    std::string TakeOutput(pid_t) override {
        std::lock_guard lock(mutex_);
        return output_;
    }

    std::vector<std::vector<std::string>> Launched() const {
        std::lock_guard lock(mutex_);
        return launched_;
    }
    int Polls() const {
        std::lock_guard lock(mutex_);
        return polls_;
    }
    int Terminated() const {
        std::lock_guard lock(mutex_);
        return static_cast<int>(terminated_.size());
    }

  private:
    const Clock& clock_;
    mutable std::mutex mutex_;
    double runSeconds_ = 30.0;
    bool refuse_ = false;
    ProgramEnd end_;
    std::string output_;
    int polls_ = 0;
    std::vector<std::vector<std::string>> launched_;
    std::map<pid_t, double> ends_;
    std::map<pid_t, bool> terminated_;
};

}  // namespace qrv::testing
