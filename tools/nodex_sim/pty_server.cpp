#include "pty_server.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace qrv::tools {

namespace {

// While no program has the terminal open, the master reports a hang-up at
// once; waiting on the stop descriptor alone for a while keeps the loop from
// spinning and still stops at once.
constexpr int kIdleMilliseconds = 50;
constexpr int kPollMilliseconds = 200;

int BaudOf(speed_t speed) {
    switch (speed) {
        case B19200:
            return 19200;
        case B57600:
            return 57600;
        case B115200:
            return 115200;
        case B4800:
            return 4800;
        default:
            return 9600;
    }
}

}  // namespace

PtyServer::PtyServer(std::shared_ptr<sim::SimulatedNodex> unit, Clock& clock)
    : unit_(std::move(unit)), clock_(clock), start_(clock.Timer()) {}

PtyServer::~PtyServer() {
    if (master_ >= 0) {
        ::close(master_);
    }
}

bool PtyServer::Open(std::string& error) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    const char* name = ::ptsname(master_);
    if (name == nullptr) {
        error = "cannot name the pseudo-terminal";
        return false;
    }
    path_ = name;
    // Raw from the start, so that nothing is echoed or translated before the
    // client sets its own mode.
    termios mode{};
    if (::tcgetattr(master_, &mode) == 0) {
        ::cfmakeraw(&mode);
        ::cfsetspeed(&mode, B9600);
        ::tcsetattr(master_, TCSANOW, &mode);
    }
    unit_->SetModemLines(true, true, clock_.Timer() - start_);
    return true;
}

int PtyServer::HostBaud() const {
    termios mode{};
    if (::tcgetattr(master_, &mode) != 0) {
        return 9600;
    }
    return BaudOf(::cfgetospeed(&mode));
}

void PtyServer::HandleHangup(bool& connected) {
    if (connected) {
        unit_->HostBreak(clock_.Timer() - start_);
        connected = false;
    }
}

void PtyServer::Serve(int stopFd) {
    std::array<std::uint8_t, 256> buffer{};
    std::vector<sim::TimedByte> replies;
    bool connected = true;  // a fresh bridge also starts from a master reset
    for (;;) {
        std::array<pollfd, 2> fds{{{master_, POLLIN, 0}, {stopFd, POLLIN, 0}}};
        if (::poll(fds.data(), fds.size(), kPollMilliseconds) < 0 && errno != EINTR) {
            return;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            return;
        }
        const bool hungUp =
            (fds[0].revents & (POLLHUP | POLLERR)) != 0 && (fds[0].revents & POLLIN) == 0;
        if (hungUp) {
            HandleHangup(connected);
            pollfd stop{stopFd, POLLIN, 0};
            ::poll(&stop, 1, kIdleMilliseconds);
            continue;
        }
        if ((fds[0].revents & POLLIN) == 0) {
            continue;
        }
        const ssize_t n = ::read(master_, buffer.data(), buffer.size());
        if (n <= 0) {
            if (n < 0 && errno == EIO) {
                HandleHangup(connected);
            }
            continue;
        }
        connected = true;
        replies.clear();
        const double now = clock_.Timer() - start_;
        unit_->HostWrite(std::span(buffer.data(), static_cast<std::size_t>(n)), HostBaud(), now,
                         replies);
        for (const sim::TimedByte& reply : replies) {
            // Each reply leaves when the simulated line would deliver it.
            const double wait = reply.at - (clock_.Timer() - start_);
            if (wait > 0) {
                clock_.Delay(wait);
            }
            const std::uint8_t byte = reply.byte;
            if (::write(master_, &byte, 1) != 1) {
                break;
            }
        }
    }
}

}  // namespace qrv::tools
