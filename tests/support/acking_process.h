#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <string>
#include <vector>

namespace qrv::testing {

// A helper program that does one unit of work for every byte it reads and
// writes a number line as each one's acknowledgement; for the tests that
// kill such a program at random moments and check what it acknowledged.
class AckingProcess {
  public:
    using Clock = std::chrono::steady_clock;

    explicit AckingProcess(std::vector<std::string> argv) {
        int in[2];
        int out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        std::vector<char*> args;
        for (std::string& arg : argv) {
            args.push_back(arg.data());
        }
        args.push_back(nullptr);
        if (::posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(in[0]);
        ::close(out[1]);
        toChild_ = in[1];
        fromChild_ = out[0];
    }
    ~AckingProcess() {
        Kill();
        ::close(toChild_);
        ::close(fromChild_);
    }
    AckingProcess(const AckingProcess&) = delete;
    AckingProcess& operator=(const AckingProcess&) = delete;

    bool Started() const { return pid_ > 0; }
    bool Ask(int count) {
        const std::string go(static_cast<std::size_t>(count), 'g');
        return ::write(toChild_, go.data(), go.size()) == static_cast<ssize_t>(go.size());
    }
    // Waits until at least count acknowledgements have come, or the deadline.
    void WaitForAcks(std::size_t count, Clock::time_point deadline) {
        while (acked_.size() < count && Clock::now() < deadline) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            pollfd fd{fromChild_, POLLIN, 0};
            if (::poll(&fd, 1, static_cast<int>(left.count()) + 1) <= 0 || !ReadSome()) {
                return;
            }
        }
    }
    // Kills the process and collects what it acknowledged before it died.
    void Kill() {
        if (pid_ <= 0) {
            return;
        }
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
        while (ReadSome()) {
        }
    }
    const std::vector<int>& Acked() const { return acked_; }

  private:
    bool ReadSome() {
        std::array<char, 256> buffer{};
        const ssize_t n = ::read(fromChild_, buffer.data(), buffer.size());
        if (n <= 0) {
            return false;
        }
        for (ssize_t i = 0; i < n; ++i) {
            if (buffer[static_cast<std::size_t>(i)] == '\n') {
                acked_.push_back(std::stoi(partial_));
                partial_.clear();
            } else {
                partial_.push_back(buffer[static_cast<std::size_t>(i)]);
            }
        }
        return true;
    }

    pid_t pid_ = -1;
    int toChild_ = -1;
    int fromChild_ = -1;
    std::string partial_;
    std::vector<int> acked_;
};

}  // namespace qrv::testing
