#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "onewire/tracing_port.h"
#include "runtime/clock.h"
#include "sim/nodex_unit.h"

namespace qrv::tools {

// Serves a simulated unit on a pseudo-terminal: whatever a program writes to
// the terminal goes to the unit's DS2480B, its replies come back, paced at the
// baud rate the program set. The terminal is read as soon as bytes arrive,
// also while replies are still being paced out, so that a program that
// drains and flushes right after writing loses as little as a pseudo-terminal
// allows (see the README). A pseudo-terminal has no modem lines and carries
// no break, so the unit is powered while a program has the terminal open;
// closing it powers the unit off, as a serial port dropping RTS and DTR
// would.
class PtyServer {
  public:
    PtyServer(std::shared_ptr<sim::SimulatedNodex> unit, Clock& clock);
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // Opens the terminal; false with a message in `error`.
    bool Open(std::string& error);
    const std::string& Path() const { return path_; }
    // Bytes both ways, flushes and hang-ups go to the trace while it is set.
    void SetTrace(TraceSink* trace) { trace_ = trace; }

    // Serves until a byte can be read from `stopFd` (a pipe).
    void Serve(int stopFd);
    // Serves and calls `onControl` whenever `controlFd` (a signalfd, say)
    // is readable; stops when it returns false.
    void Serve(int controlFd, const std::function<bool()>& onControl);

    // How often the program flushed the bytes it had written (the terminal
    // reports this; on a serial line it drops nothing after a drain).
    std::uint64_t HostOutputFlushes() const { return hostOutputFlushes_; }

  private:
    double UnitTime() const { return clock_.Timer() - start_; }
    int HostBaud() const;
    void HandleHangup(bool& connected);
    void ReadHost(bool& connected);
    void SendDueReplies();
    void Note(std::string_view direction, std::string_view text);

    std::shared_ptr<sim::SimulatedNodex> unit_;
    Clock& clock_;
    TraceSink* trace_ = nullptr;
    int master_ = -1;
    std::string path_;
    double start_;
    std::vector<sim::TimedByte> pending_;
    std::uint64_t hostOutputFlushes_ = 0;
};

}  // namespace qrv::tools
