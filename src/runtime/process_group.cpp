#include "runtime/process_group.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>
#include <thread>

namespace qrv {

namespace {

constexpr std::chrono::milliseconds kLookAgain{10};

struct ProcessState {
    char state = '?';
    pid_t group = 0;
};

// From /proc/<pid>/stat: "pid (name) state ppid pgrp ..."; the name may hold
// blanks and parentheses, so the fields are counted from the last ')'.
bool ReadProcessState(const std::filesystem::path& statFile, ProcessState& process) {
    std::ifstream file(statFile);
    std::string text;
    if (!std::getline(file, text)) {
        return false;
    }
    const std::size_t nameEnd = text.rfind(')');
    if (nameEnd == std::string::npos) {
        return false;
    }
    std::istringstream fields(text.substr(nameEnd + 1));
    pid_t parent = 0;
    return static_cast<bool>(fields >> process.state >> parent >> process.group);
}

// Waits until none of the group is left, at most timeout; true when none is.
bool WaitUntilGone(pid_t group, pid_t leader, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!ProcessGroupMembers(group, leader).empty()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(kLookAgain);
    }
    return true;
}

}  // namespace

std::vector<pid_t> ProcessGroupMembers(pid_t group, pid_t leader) {
    std::vector<pid_t> members;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        const auto pid = static_cast<pid_t>(std::stol(name));
        ProcessState process;
        // A process may end between the listing and the read.
        if (pid != leader && ReadProcessState(entry.path() / "stat", process) &&
            process.group == group && process.state != 'Z' && process.state != 'X') {
            members.push_back(pid);
        }
    }
    return members;
}

GroupLeftovers EndGroupLeftovers(pid_t leader, std::chrono::milliseconds grace) {
    GroupLeftovers leftovers;
    leftovers.found = static_cast<int>(ProcessGroupMembers(leader, leader).size());
    if (leftovers.found == 0) {
        return leftovers;
    }
    ::kill(-leader, SIGTERM);
    if (WaitUntilGone(leader, leader, grace)) {
        return leftovers;
    }
    leftovers.killed = true;
    ::kill(-leader, SIGKILL);
    if (!WaitUntilGone(leader, leader, kKilledProcessWait)) {
        leftovers.remaining = static_cast<int>(ProcessGroupMembers(leader, leader).size());
    }
    return leftovers;
}

}  // namespace qrv
