#include "runtime/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace qrv {

InstanceLock::InstanceLock(const std::filesystem::path& stationDirectory) {
    const std::filesystem::path lockPath = stationDirectory / "quorvanel.lock";
    fd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        state_ = State::Failed;
        error_ = errno;
        return;
    }
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
        state_ = State::Acquired;
        return;
    }
    if (errno == EWOULDBLOCK) {
        state_ = State::HeldByOther;
    } else {
        state_ = State::Failed;
        error_ = errno;
    }
    ::close(fd_);
    fd_ = -1;
}

InstanceLock::~InstanceLock() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

}  // namespace qrv
