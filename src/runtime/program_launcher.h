#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace qrv {

// Starts external programs (the SMS hand-off program) with an argument vector,
// never through a shell, so no text of an alarm or a setting is ever
// interpreted as a command.
class ProgramLauncher {
  public:
    virtual ~ProgramLauncher() = default;

    // argv[0] is the program path. Returns 0 and sets handle, or a negative code.
    virtual int Launch(const std::vector<std::string>& argv, pid_t& handle) = 0;
    // 1 when the program has ended (and is reaped), 0 while it runs, negative on error.
    virtual int HasTerminated(pid_t handle) = 0;
    // Ends the program; 0 or a negative code.
    virtual int Terminate(pid_t handle) = 0;
};

class PosixProgramLauncher final : public ProgramLauncher {
  public:
    int Launch(const std::vector<std::string>& argv, pid_t& handle) override;
    int HasTerminated(pid_t handle) override;
    int Terminate(pid_t handle) override;
};

}  // namespace qrv
