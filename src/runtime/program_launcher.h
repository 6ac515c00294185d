#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "runtime/process_group.h"

namespace qrv {

// How a program ended: its exit status, or the signal that killed it, and
// what it left running in its process group.
struct ProgramEnd {
    bool signalled = false;
    int code = 0;
    GroupLeftovers leftovers;
};

// Starts external programs (the SMS hand-off program) with an argument vector,
// never through a shell, so no text of an alarm or a setting is ever
// interpreted as a command.
class ProgramLauncher {
  public:
    virtual ~ProgramLauncher() = default;

    // argv[0] is the program path. Returns 0 and sets handle, or a negative code.
    virtual int Launch(const std::vector<std::string>& argv, pid_t& handle) = 0;
    // 1 when the program has ended (and is reaped; end says how), 0 while it
    // runs, negative on error. What it started and left running in its
    // process group is ended with it, as by Terminate.
    virtual int HasTerminated(pid_t handle, ProgramEnd& end) = 0;
    // Ends the program and whatever it started, within a bounded time; 0 or a
    // negative code.
    virtual int Terminate(pid_t handle) = 0;
    // The start of what the program wrote to its standard output and error
    // (at most kProgramOutputLimit bytes); forgets the handle.
    virtual std::string TakeOutput(pid_t handle) = 0;
};

// What is kept of a program's output: enough for its first lines in a log.
inline constexpr std::size_t kProgramOutputLimit = 400;

class PosixProgramLauncher final : public ProgramLauncher {
  public:
    // A program, or what it left running when it ended, gets this long to
    // end after SIGTERM before its process group is killed.
    static constexpr std::chrono::milliseconds kTerminateGrace{2000};

    explicit PosixProgramLauncher(std::chrono::milliseconds grace = kTerminateGrace)
        : grace_(grace) {}
    ~PosixProgramLauncher() override;
    PosixProgramLauncher(const PosixProgramLauncher&) = delete;
    PosixProgramLauncher& operator=(const PosixProgramLauncher&) = delete;

    int Launch(const std::vector<std::string>& argv, pid_t& handle) override;
    int HasTerminated(pid_t handle, ProgramEnd& end) override;
    int Terminate(pid_t handle) override;
    std::string TakeOutput(pid_t handle) override;

  private:
    struct Running {
        int outputFd = -1;  // read end of the program's stdout and stderr
        std::string output;
    };

    // Reads what the program wrote so far without blocking; what is beyond
    // the limit is read and dropped, so the program never stalls on a full pipe.
    static void Drain(Running& program);

    const std::chrono::milliseconds grace_;
    std::mutex mutex_;
    std::map<pid_t, Running> running_;
};

}  // namespace qrv
