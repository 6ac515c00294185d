#pragma once

#include <filesystem>

namespace qrv {

// One running station per station directory: an exclusive lock on a lock file
// in that directory, held for the life of the object (released by the kernel
// even when the process dies).
class InstanceLock {
  public:
    enum class State { Acquired, HeldByOther, Failed };

    explicit InstanceLock(const std::filesystem::path& stationDirectory);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    State state() const { return state_; }
    // The errno of the failure when the state is Failed, else 0.
    int error() const { return error_; }

  private:
    int fd_ = -1;
    State state_ = State::Failed;
    int error_ = 0;
};

}  // namespace qrv
