#pragma once

// quorvanel-station as a real process for a test: started with an argument
// vector and an environment of the test's own, and the test's end of the
// service manager's notification socket.
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

extern char** environ;

namespace qrv::testing {

using SteadyClock = std::chrono::steady_clock;

inline constexpr const char* kStation = QRV_STATION_PROGRAM;

// A program started with an argument vector, its standard error in a file.
class Process {
  public:
    Process(const std::vector<std::string>& arguments, const std::vector<std::string>& extraEnv,
            const std::filesystem::path& errorFile) {
        std::vector<std::string> env(extraEnv);
        for (char** entry = environ; *entry != nullptr; ++entry) {
            const std::string_view text(*entry);
            if (!text.starts_with("NOTIFY_SOCKET=") && !text.starts_with("WATCHDOG_")) {
                env.emplace_back(text);
            }
        }
        std::vector<char*> argv;
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (std::string& entry : env) {
            envp.push_back(entry.data());
        }
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 2, errorFile.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 1, errorFile.c_str(), O_WRONLY | O_APPEND, 0644);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Process() {
        if (pid_ > 0 && !status_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool Started() const { return pid_ > 0; }
    void Signal(int signal) const { ::kill(pid_, signal); }
    // The exit status once the process has ended within the deadline.
    std::optional<int> WaitForExit(SteadyClock::duration deadline) {
        const auto end = SteadyClock::now() + deadline;
        while (!status_ && SteadyClock::now() < end) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                status_ = status;
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        }
        return status_;
    }

  private:
    pid_t pid_ = -1;
    std::optional<int> status_;
};

// The test's end of NOTIFY_SOCKET.
class NotifySocket {
  public:
    explicit NotifySocket(const std::filesystem::path& path) : path_(path.string()) {
        fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path_.c_str(), sizeof(address.sun_path) - 1);
        bound_ = path_.size() < sizeof(address.sun_path) &&
                 ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    }
    ~NotifySocket() { ::close(fd_); }
    NotifySocket(const NotifySocket&) = delete;
    NotifySocket& operator=(const NotifySocket&) = delete;

    bool Bound() const { return bound_; }
    const std::string& Path() const { return path_; }

    // The next message that arrives before deadline.
    std::optional<std::string> Receive(SteadyClock::time_point deadline) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
        pollfd ready{fd_, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&ready, 1, static_cast<int>(left.count())) != 1) {
            return std::nullopt;
        }
        char buffer[1024];
        const ssize_t n = ::recv(fd_, buffer, sizeof(buffer), 0);
        return n < 0 ? std::nullopt
                     : std::optional(std::string(buffer, static_cast<std::size_t>(n)));
    }
    // Waits for a message starting with prefix; every message on the way is
    // kept in seen.
    std::optional<std::string> WaitFor(std::string_view prefix, SteadyClock::duration within,
                                       std::vector<std::string>& seen) {
        const auto deadline = SteadyClock::now() + within;
        while (auto message = Receive(deadline)) {
            seen.push_back(*message);
            if (message->starts_with(prefix)) {
                return message;
            }
        }
        return std::nullopt;
    }

  private:
    std::string path_;
    int fd_ = -1;
    bool bound_ = false;
};

inline int CountStarting(const std::vector<std::string>& messages, std::string_view prefix) {
    int n = 0;
    for (const std::string& message : messages) {
        n += message.starts_with(prefix) ? 1 : 0;
    }
    return n;
}

}  // namespace qrv::testing
