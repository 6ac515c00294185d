#include "runtime/termination_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>

namespace qrv {

namespace {

// A signal handler can reach nothing but globals; this is the one place
// where the station keeps one. It holds the pipe's write end while a
// TerminationSignals object lives.
std::atomic<int> signalPipe{-1};

void OnTerminationSignal(int signal) {
    const int fd = signalPipe.load();
    if (fd >= 0) {
        const auto number = static_cast<unsigned char>(signal);
        [[maybe_unused]] const ssize_t written = ::write(fd, &number, 1);
    }
}

}  // namespace

TerminationSignals::TerminationSignals(std::initializer_list<int> handled) : signals_(handled) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    readFd_ = fds[0];
    writeFd_ = fds[1];
    signalPipe.store(writeFd_);
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : signals_) {
        ::sigaction(signal, &action, nullptr);
    }
}

TerminationSignals::~TerminationSignals() {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (const int signal : signals_) {
        ::sigaction(signal, &action, nullptr);
    }
    signalPipe.store(-1);
    if (readFd_ >= 0) {
        ::close(readFd_);
        ::close(writeFd_);
    }
}

std::optional<int> TerminationSignals::TakeSignal() {
    unsigned char number = 0;
    if (readFd_ >= 0 && ::read(readFd_, &number, 1) == 1) {
        return number;
    }
    return std::nullopt;
}

std::string TerminationSignals::SignalName(int signal) {
    switch (signal) {
        case SIGTERM:
            return "SIGTERM";
        case SIGINT:
            return "SIGINT";
        case SIGHUP:
            return "SIGHUP";
        default:
            return "signal " + std::to_string(signal);
    }
}

}  // namespace qrv
