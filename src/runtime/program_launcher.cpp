#include "runtime/program_launcher.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <ctime>

namespace qrv {

namespace {

// Whether the program has ended, without reaping it: its pid stays taken, so
// its process group id cannot pass to a new process meanwhile.
bool HasExited(pid_t pid) {
    siginfo_t info{};
    return ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == pid;
}

// Waits until the program has ended, at most timeout; does not reap it.
bool WaitForExit(pid_t pid, std::chrono::milliseconds timeout) {
    // The system call itself: this C library's header declares it without C linkage.
    const auto pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (pidfd >= 0) {
        pollfd ready{pidfd, POLLIN, 0};
        int rc = 0;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        do {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            rc = ::poll(&ready, 1, static_cast<int>(std::max<std::int64_t>(left.count(), 0)));
        } while (rc < 0 && errno == EINTR);
        ::close(pidfd);
        return HasExited(pid);
    }
    // Kernels without process descriptors: look a few times a second.
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!HasExited(pid)) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        const timespec pause{0, 20'000'000};
        ::nanosleep(&pause, nullptr);
    }
    return true;
}

ProgramEnd EndOf(int status) {
    ProgramEnd end;
    end.signalled = WIFSIGNALED(status);
    end.code = end.signalled ? WTERMSIG(status) : (WIFEXITED(status) ? WEXITSTATUS(status) : 0);
    return end;
}

// Spawn settings of a hand-off program: a process group of its own, so that
// whatever it starts can be ended with it; default signal handling and no
// blocked signals, whatever the station's threads have; no terminal input.
class SpawnSetup {
  public:
    explicit SpawnSetup(int outputFd) {
        ::posix_spawnattr_init(&attributes_);
        ::posix_spawn_file_actions_init(&actions_);
        sigset_t none;
        sigemptyset(&none);
        sigset_t defaults;
        sigemptyset(&defaults);
        for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGPIPE, SIGCHLD}) {
            sigaddset(&defaults, signal);
        }
        ok_ = ::posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETPGROUP |
                                                           POSIX_SPAWN_SETSIGMASK |
                                                           POSIX_SPAWN_SETSIGDEF) == 0 &&
              ::posix_spawnattr_setpgroup(&attributes_, 0) == 0 &&
              ::posix_spawnattr_setsigmask(&attributes_, &none) == 0 &&
              ::posix_spawnattr_setsigdefault(&attributes_, &defaults) == 0 &&
              ::posix_spawn_file_actions_addopen(&actions_, STDIN_FILENO, "/dev/null", O_RDONLY,
                                                 0) == 0 &&
              ::posix_spawn_file_actions_adddup2(&actions_, outputFd, STDOUT_FILENO) == 0 &&
              ::posix_spawn_file_actions_adddup2(&actions_, outputFd, STDERR_FILENO) == 0;
    }
    ~SpawnSetup() {
        ::posix_spawn_file_actions_destroy(&actions_);
        ::posix_spawnattr_destroy(&attributes_);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    bool Ok() const { return ok_; }
    const posix_spawnattr_t* Attributes() const { return &attributes_; }
    const posix_spawn_file_actions_t* Actions() const { return &actions_; }

  private:
    posix_spawnattr_t attributes_{};
    posix_spawn_file_actions_t actions_{};
    bool ok_ = false;
};

}  // namespace

PosixProgramLauncher::~PosixProgramLauncher() {
    for (auto& [pid, program] : running_) {
        if (program.outputFd >= 0) {
            ::close(program.outputFd);
        }
    }
}

int PosixProgramLauncher::Launch(const std::vector<std::string>& argv, pid_t& handle) {
    if (argv.empty() || argv.front().empty()) {
        return -1;
    }
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const auto& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    std::array<int, 2> pipe{-1, -1};
    if (::pipe2(pipe.data(), O_CLOEXEC) != 0) {
        return -3;
    }
    ::fcntl(pipe[0], F_SETFL, O_NONBLOCK);
    pid_t pid = 0;
    int rc = EINVAL;
    {
        const SpawnSetup setup(pipe[1]);
        // posix_spawn (not posix_spawnp): the program is named by its path, as configured.
        if (setup.Ok()) {
            rc = ::posix_spawn(&pid, args[0], setup.Actions(), setup.Attributes(), args.data(),
                               environ);
        }
    }
    ::close(pipe[1]);
    if (rc != 0) {
        ::close(pipe[0]);
        return rc == ENOENT ? -2 : -3;
    }
    std::lock_guard lock(mutex_);
    running_[pid] = Running{pipe[0], {}};
    handle = pid;
    return 0;
}

void PosixProgramLauncher::Drain(Running& program) {
    std::array<char, 4096> chunk{};
    while (program.outputFd >= 0) {
        const ssize_t n = ::read(program.outputFd, chunk.data(), chunk.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                ::close(program.outputFd);
                program.outputFd = -1;
            }
            return;
        }
        const std::size_t room = kProgramOutputLimit - program.output.size();
        program.output.append(chunk.data(), std::min(room, static_cast<std::size_t>(n)));
    }
}

int PosixProgramLauncher::HasTerminated(pid_t handle, ProgramEnd& end) {
    {
        std::lock_guard lock(mutex_);
        if (const auto program = running_.find(handle); program != running_.end()) {
            Drain(program->second);
        }
    }
    siginfo_t info{};
    if (::waitid(P_PID, static_cast<id_t>(handle), &info, WEXITED | WNOHANG | WNOWAIT) != 0) {
        // Reaped elsewhere or not our child: how it ended cannot be told.
        return -1;
    }
    if (info.si_pid != handle) {
        return 0;
    }
    // Still unreaped, the program holds its group id, so only what it started
    // receives the signals.
    const GroupLeftovers leftovers = EndGroupLeftovers(handle, grace_);
    int status = 0;
    if (::waitpid(handle, &status, WNOHANG) != handle) {
        return -1;
    }
    end = EndOf(status);
    end.leftovers = leftovers;
    std::lock_guard lock(mutex_);
    if (const auto program = running_.find(handle); program != running_.end()) {
        Drain(program->second);
    }
    return 1;
}

int PosixProgramLauncher::Terminate(pid_t handle) {
    if (handle <= 0) {
        return -1;
    }
    // The whole group: helpers the program started must not outlive it.
    if (::kill(-handle, SIGTERM) != 0 && errno != ESRCH) {
        return -1;
    }
    const bool ended = WaitForExit(handle, grace_);
    // Killed while the program's pid is still unreaped, so the group id is
    // still the program's: whatever ignored SIGTERM goes now.
    ::kill(-handle, SIGKILL);
    if (!ended && !WaitForExit(handle, kKilledProcessWait)) {
        return -1;
    }
    int status = 0;
    ::waitpid(handle, &status, WNOHANG);
    std::lock_guard lock(mutex_);
    if (const auto program = running_.find(handle); program != running_.end()) {
        Drain(program->second);
    }
    return 0;
}

std::string PosixProgramLauncher::TakeOutput(pid_t handle) {
    std::lock_guard lock(mutex_);
    const auto program = running_.find(handle);
    if (program == running_.end()) {
        return {};
    }
    Drain(program->second);
    std::string output = std::move(program->second.output);
    if (program->second.outputFd >= 0) {
        ::close(program->second.outputFd);
    }
    running_.erase(program);
    return output;
}

}  // namespace qrv
