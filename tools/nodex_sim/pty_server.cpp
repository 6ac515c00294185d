#include "pty_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace qrv::tools {

namespace {

// While no program has the terminal open, the master reports a hang-up at
// once; waiting on the control descriptor alone for a while keeps the loop
// from spinning and still reacts at once.
constexpr int kIdleMilliseconds = 50;

// Clocks count in microseconds: a reply due within one is due now.
constexpr double kDueSlackSeconds = 1e-6;

int BaudOf(speed_t speed) {
    switch (speed) {
        case B4800:
            return 4800;
        case B19200:
            return 19200;
        case B57600:
            return 57600;
        case B115200:
            return 115200;
        default:
            return 9600;
    }
}

timespec Timeout(double seconds) {
    seconds = std::max(seconds, 0.0);
    const double whole = std::floor(seconds);
    return timespec{static_cast<time_t>(whole), static_cast<long>((seconds - whole) * 1e9)};
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
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
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
    // Packet mode tells when the program flushes, which a serial line
    // would never show but which explains lost bytes in the trace.
    int packet = 1;
    if (::ioctl(master_, TIOCPKT, &packet) != 0) {
        error = std::string("cannot watch the pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    unit_->SetModemLines(true, true, UnitTime());
    return true;
}

int PtyServer::HostBaud() const {
    // Termios calls on the master side act on the program's end.
    termios mode{};
    if (::tcgetattr(master_, &mode) != 0) {
        return 9600;
    }
    return BaudOf(::cfgetospeed(&mode));
}

void PtyServer::Note(std::string_view direction, std::string_view text) {
    if (trace_ != nullptr) {
        trace_->Write(UnitTime(), direction, text);
    }
}

void PtyServer::HandleHangup(bool& connected) {
    if (connected) {
        // A serial port drops RTS and DTR when the program closes it, which
        // unpowers the unit; the next program finds it fresh from power-on.
        unit_->SetModemLines(false, false, UnitTime());
        pending_.clear();
        Note("--", "hang-up: the unit is unpowered until the terminal is used again");
        connected = false;
    }
}

void PtyServer::ReadHost(bool& connected) {
    std::array<std::uint8_t, 512> buffer{};
    const ssize_t n = ::read(master_, buffer.data(), buffer.size());
    if (n <= 0) {
        if (n < 0 && errno == EIO) {
            HandleHangup(connected);
        }
        return;
    }
    if (!connected) {
        unit_->SetModemLines(true, true, UnitTime());
        connected = true;
    }
    // In packet mode the first byte says whether data or an event follows.
    if (buffer[0] != TIOCPKT_DATA) {
        if ((buffer[0] & TIOCPKT_FLUSHWRITE) != 0) {
            ++hostOutputFlushes_;
            Note("--", "host flushed its output");
            unit_->HostFlushedOutput(UnitTime());
        }
        if ((buffer[0] & TIOCPKT_FLUSHREAD) != 0) {
            Note("--", "host flushed its input");
        }
        return;
    }
    const std::span<const std::uint8_t> bytes(buffer.data() + 1, static_cast<std::size_t>(n - 1));
    Note("->", HexBytes(bytes));
    unit_->HostWrite(bytes, HostBaud(), UnitTime(), pending_);
}

void PtyServer::SendDueReplies() {
    const double now = UnitTime() + kDueSlackSeconds;
    std::size_t due = 0;
    while (due < pending_.size() && pending_[due].at <= now) {
        ++due;
    }
    if (due == 0) {
        return;
    }
    std::vector<std::uint8_t> bytes;
    bytes.reserve(due);
    for (std::size_t i = 0; i < due; ++i) {
        bytes.push_back(pending_[i].byte);
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(due));
    Note("<-", HexBytes(bytes));
    if (::write(master_, bytes.data(), bytes.size()) < 0) {
        Note("--", std::string("write failed: ") + std::strerror(errno));
    }
}

void PtyServer::Serve(int stopFd) {
    Serve(stopFd, [] { return false; });
}

void PtyServer::Serve(int controlFd, const std::function<bool()>& onControl) {
    bool connected = true;  // a fresh bridge also starts from a master reset
    for (;;) {
        std::array<pollfd, 2> fds{{{master_, POLLIN, 0}, {controlFd, POLLIN, 0}}};
        const bool waiting = !pending_.empty();
        const timespec timeout = Timeout(waiting ? pending_.front().at - UnitTime() : 0.2);
        const int ready = ::ppoll(fds.data(), fds.size(), &timeout, nullptr);
        if (ready < 0 && errno != EINTR) {
            return;
        }
        if ((fds[1].revents & POLLIN) != 0 && !onControl()) {
            return;
        }
        const bool hungUp =
            (fds[0].revents & (POLLHUP | POLLERR)) != 0 && (fds[0].revents & POLLIN) == 0;
        if (hungUp) {
            HandleHangup(connected);
            pollfd control{controlFd, POLLIN, 0};
            ::poll(&control, 1, kIdleMilliseconds);
            continue;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            ReadHost(connected);
        } else if (ready == 0 && waiting) {
            // The poll ran out on the real clock; a virtual one is moved on
            // to the reply's time here.
            const double left = pending_.front().at - UnitTime();
            if (left > 0) {
                clock_.Delay(left);
            }
        }
        SendDueReplies();
    }
}

}  // namespace qrv::tools
