#include "runtime/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <string_view>

namespace qrv {

namespace {

constexpr std::string_view kWindowText = "window\n";
constexpr std::string_view kServiceText = "service\n";

std::optional<InstanceLock::Holder> ReadHolder(int fd) {
    std::array<char, 16> buffer{};
    const ssize_t got = ::pread(fd, buffer.data(), buffer.size(), 0);
    const std::string_view text(buffer.data(), got > 0 ? static_cast<std::size_t>(got) : 0);
    if (text == kServiceText) {
        return InstanceLock::Holder::kService;
    }
    if (text == kWindowText) {
        return InstanceLock::Holder::kWindow;
    }
    return std::nullopt;
}

void WriteHolder(int fd, InstanceLock::Holder holder) {
    const std::string_view text =
        holder == InstanceLock::Holder::kService ? kServiceText : kWindowText;
    // Best effort: a lock file this user may only read still locks.
    if (::ftruncate(fd, 0) == 0) {
        [[maybe_unused]] const ssize_t written = ::pwrite(fd, text.data(), text.size(), 0);
    }
}

}  // namespace

InstanceLock::InstanceLock(const std::filesystem::path& stationDirectory, Holder holder) {
    const std::filesystem::path lockPath = stationDirectory / "quorvanel.lock";
    fd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0 && errno == EACCES) {
        // The service's lock file, seen by a member of its group.
        fd_ = ::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC);
    }
    if (fd_ < 0) {
        state_ = State::Failed;
        error_ = errno;
        return;
    }
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
        state_ = State::Acquired;
        WriteHolder(fd_, holder);
        return;
    }
    if (errno == EWOULDBLOCK) {
        state_ = State::HeldByOther;
        heldBy_ = ReadHolder(fd_);
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
