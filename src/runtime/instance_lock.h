#pragma once

#include <filesystem>
#include <optional>

namespace qrv {

// One running station per station directory: an exclusive lock on a lock file
// in that directory, held for the life of the object (released by the kernel
// even when the process dies). The holder writes what it is into the lock
// file, so that a window can tell a station run by the service from another
// window.
class InstanceLock {
  public:
    enum class State { Acquired, HeldByOther, Failed };
    enum class Holder { kWindow, kService };

    explicit InstanceLock(const std::filesystem::path& stationDirectory,
                          Holder holder = Holder::kWindow);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    State state() const { return state_; }
    // The errno of the failure when the state is Failed, else 0.
    int error() const { return error_; }
    // Who holds the lock when the state is HeldByOther, as far as it has
    // said; nothing when it has not (yet).
    std::optional<Holder> HeldBy() const { return heldBy_; }

  private:
    int fd_ = -1;
    State state_ = State::Failed;
    int error_ = 0;
    std::optional<Holder> heldBy_;
};

}  // namespace qrv
