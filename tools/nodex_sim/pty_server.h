#pragma once

#include <memory>
#include <string>

#include "runtime/clock.h"
#include "sim/nodex_unit.h"

namespace qrv::tools {

// Serves a simulated unit on a pseudo-terminal: whatever a program writes to
// the terminal goes to the unit's DS2480B, its replies come back, paced at the
// baud rate the program set. A pseudo-terminal has no modem lines, so the
// unit is powered for good; when the program closes the terminal the bridge
// gets a master reset, as a real one would on the next break.
class PtyServer {
  public:
    PtyServer(std::shared_ptr<sim::SimulatedNodex> unit, Clock& clock);
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // Opens the terminal; false with a message in `error`.
    bool Open(std::string& error);
    const std::string& Path() const { return path_; }

    // Serves until a signal in `stopFd` (a signalfd or pipe) becomes readable.
    void Serve(int stopFd);

  private:
    int HostBaud() const;
    void HandleHangup(bool& connected);

    std::shared_ptr<sim::SimulatedNodex> unit_;
    Clock& clock_;
    int master_ = -1;
    std::string path_;
    double start_;
};

}  // namespace qrv::tools
