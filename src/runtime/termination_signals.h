#pragma once

#include <csignal>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace qrv {

// Termination signals (SIGTERM and SIGINT: logout, systemctl stop, Ctrl+C;
// for a window also SIGHUP, its terminal gone) turned into data: the
// handler only writes the signal's number to a pipe, which the event loop
// watches, so the station can end with its whole shutdown instead of dying
// on the spot. One instance per process; the default handling comes back
// when it goes.
class TerminationSignals {
  public:
    explicit TerminationSignals(std::initializer_list<int> handled = {SIGTERM, SIGINT});
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    bool Installed() const { return readFd_ >= 0; }
    // Readable when a signal has come.
    int ReadFd() const { return readFd_; }
    // The signal that came, if any (does not block).
    std::optional<int> TakeSignal();

    // "SIGTERM", "SIGINT", "SIGHUP" or "signal N".
    static std::string SignalName(int signal);

  private:
    std::vector<int> signals_;
    int readFd_ = -1;
    int writeFd_ = -1;
};

}  // namespace qrv
