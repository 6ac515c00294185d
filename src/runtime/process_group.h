#pragma once

#include <sys/types.h>

#include <chrono>
#include <vector>

namespace qrv {

// After SIGKILL only a process stuck in the kernel keeps running; it is not
// waited for longer than this.
inline constexpr std::chrono::milliseconds kKilledProcessWait{1000};

// The live processes of a process group (zombies left out), as the system's
// process table lists them; leader is left out too.
std::vector<pid_t> ProcessGroupMembers(pid_t group, pid_t leader);

// What was left of a process group once its leader had ended.
struct GroupLeftovers {
    int found = 0;        // processes still running then
    bool killed = false;  // SIGTERM did not end them all in the grace time
    int remaining = 0;    // still running after SIGKILL's wait as well
};

// Ends what is left of the group of a leader that has ended but is not yet
// reaped (so the group id cannot pass to a new process meanwhile): SIGTERM,
// then SIGKILL for whatever still runs after grace.
GroupLeftovers EndGroupLeftovers(pid_t leader, std::chrono::milliseconds grace);

}  // namespace qrv
