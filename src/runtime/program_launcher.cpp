#include "runtime/program_launcher.h"

#include <spawn.h>
#include <sys/wait.h>
#include <csignal>

#include <unistd.h>

#include <cerrno>

namespace qrv {

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
    pid_t pid = 0;
    // posix_spawn (not posix_spawnp): the program is named by its path, as configured.
    const int rc = ::posix_spawn(&pid, args[0], nullptr, nullptr, args.data(), environ);
    if (rc != 0) {
        return rc == ENOENT ? -2 : -3;
    }
    handle = pid;
    return 0;
}

int PosixProgramLauncher::HasTerminated(pid_t handle) {
    int status = 0;
    const pid_t rc = ::waitpid(handle, &status, WNOHANG);
    if (rc == 0) {
        return 0;
    }
    if (rc == handle) {
        return 1;
    }
    // Already reaped or not our child: it is not running for us any more.
    return errno == ECHILD ? 1 : -1;
}

int PosixProgramLauncher::Terminate(pid_t handle) {
    if (::kill(handle, SIGTERM) != 0) {
        return errno == ESRCH ? 0 : -1;
    }
    int status = 0;
    ::waitpid(handle, &status, 0);
    return 0;
}

}  // namespace qrv
