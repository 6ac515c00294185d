#include "runtime/termios_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace qrv {

namespace {

speed_t SpeedFor(int baudRate) {
    switch (baudRate) {
        case 1200:
            return B1200;
        case 2400:
            return B2400;
        case 4800:
            return B4800;
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        default:
            return 0;
    }
}

std::string OpenErrorText(int error) {
    switch (error) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return "no such device";
        case EACCES:
        case EPERM:
            return "permission denied";
        case EBUSY:
            return "busy: another program has it open";
        case ENOTTY:
        case EINVAL:
            return "not a terminal";
        default:
            return std::strerror(error);
    }
}

double MonotonicSeconds() {
    using Seconds = std::chrono::duration<double>;
    return Seconds(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

TermiosSerialPort::TermiosSerialPort(std::string devicePath) : path_(std::move(devicePath)) {}

TermiosSerialPort::~TermiosSerialPort() {
    Close();
}

int TermiosSerialPort::Open(const SerialSettings& settings) {
    Close();
    lastError_.clear();
    const int fd = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        lastError_ = OpenErrorText(errno);
        return kSerialCannotOpen;
    }
    // A second opener must not share the interface unit's byte stream.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        lastError_ = OpenErrorText(EBUSY);
        ::close(fd);
        return kSerialCannotOpen;
    }
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
        lastError_ = OpenErrorText(errno);
        ::close(fd);
        return kSerialCannotOpen;
    }
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~(CSIZE | CSTOPB | PARENB | CRTSCTS);
    tio.c_cflag |= settings.dataBits == 7 ? CS7 : CS8;
    if (settings.stopBits == 2) {
        tio.c_cflag |= CSTOPB;
    }
    if (settings.parity) {
        tio.c_cflag |= PARENB;
    }
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    const speed_t speed = SpeedFor(settings.baudRate);
    if (speed == 0 || ::cfsetispeed(&tio, speed) != 0 || ::cfsetospeed(&tio, speed) != 0 ||
        ::tcsetattr(fd, TCSANOW, &tio) != 0) {
        ::close(fd);
        return kSerialBadSettings;
    }
    ::ioctl(fd, TIOCEXCL);
    ::tcflush(fd, TCIOFLUSH);
    fd_ = fd;
    return kSerialOk;
}

int TermiosSerialPort::Close() {
    if (fd_ < 0) {
        return kSerialOk;
    }
    ::ioctl(fd_, TIOCNXCL);
    const int result = ::close(fd_);
    fd_ = -1;
    return result == 0 ? kSerialOk : kSerialSystemError;
}

int TermiosSerialPort::SetBaudRate(int baudRate) {
    if (fd_ < 0) {
        return kSerialNotOpen;
    }
    const speed_t speed = SpeedFor(baudRate);
    termios tio{};
    if (speed == 0 || ::tcgetattr(fd_, &tio) != 0) {
        return kSerialBadSettings;
    }
    ::tcdrain(fd_);
    if (::cfsetispeed(&tio, speed) != 0 || ::cfsetospeed(&tio, speed) != 0 ||
        ::tcsetattr(fd_, TCSANOW, &tio) != 0) {
        return kSerialBadSettings;
    }
    return kSerialOk;
}

int TermiosSerialPort::SetModemBit(int bit, bool on) {
    if (fd_ < 0) {
        return kSerialNotOpen;
    }
    if (::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bit) != 0) {
        // Pseudo-terminals have no modem lines; there is nothing to switch.
        return errno == ENOTTY || errno == EINVAL ? kSerialOk : kSerialSystemError;
    }
    return kSerialOk;
}

int TermiosSerialPort::SetRts(bool on) {
    return SetModemBit(TIOCM_RTS, on);
}

int TermiosSerialPort::SetDtr(bool on) {
    return SetModemBit(TIOCM_DTR, on);
}

int TermiosSerialPort::GetLineStatus() {
    if (fd_ < 0) {
        return kSerialNotOpen;
    }
    int bits = 0;
    if (::ioctl(fd_, TIOCMGET, &bits) != 0) {
        return kSerialSystemError;
    }
    return (bits & TIOCM_CTS) != 0 ? kLineStatusCts : 0;
}

bool TermiosSerialPort::HasModemLines() const {
    if (fd_ < 0) {
        return false;
    }
    int bits = 0;
    return ::ioctl(fd_, TIOCMGET, &bits) == 0;
}

int TermiosSerialPort::Write(std::span<const std::uint8_t> bytes) {
    if (fd_ < 0) {
        return kSerialNotOpen;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return kSerialWriteFailed;
        }
        pollfd pfd{fd_, POLLOUT, 0};
        if (::poll(&pfd, 1, 1000) <= 0) {
            return kSerialWriteFailed;
        }
    }
    return static_cast<int>(done);
}

int TermiosSerialPort::Read(std::span<std::uint8_t> bytes, double timeoutSeconds) {
    if (fd_ < 0) {
        return kSerialNotOpen;
    }
    const double deadline = MonotonicSeconds() + timeoutSeconds;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return done > 0 ? static_cast<int>(done) : kSerialReadFailed;
        }
        const double left = deadline - MonotonicSeconds();
        if (left <= 0) {
            break;
        }
        pollfd pfd{fd_, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, static_cast<int>(left * 1000) + 1);
        if (ready == 0) {
            break;
        }
        if (ready < 0 && errno != EINTR) {
            return kSerialReadFailed;
        }
        if (ready > 0 && (pfd.revents & (POLLERR | POLLHUP)) != 0 && (pfd.revents & POLLIN) == 0) {
            break;
        }
    }
    return static_cast<int>(done);
}

void TermiosSerialPort::FlushInput() {
    if (fd_ >= 0) {
        ::tcflush(fd_, TCIFLUSH);
    }
}

int TermiosSerialPort::SendBreak(double seconds) {
    if (fd_ < 0) {
        return kSerialNotOpen;
    }
    if (::ioctl(fd_, TIOCSBRK) != 0) {
        return kSerialSystemError;
    }
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    ::ioctl(fd_, TIOCCBRK);
    return kSerialOk;
}

}  // namespace qrv
