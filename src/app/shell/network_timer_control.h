#pragma once

namespace qrv::shell {

// The two calls by which every user-interface operation that needs the 1-Wire
// session or the probe table to itself (installation, identification, change
// of port, the probe editor, stopping the network, saving today's file
// elsewhere) meets the acquisition thread. Both run on the user-interface
// thread.
class NetworkTimerControl {
  public:
    virtual ~NetworkTimerControl() = default;

    // Pauses acquisition and takes the probe table for the user-interface
    // side, keeping it. Returns only after a tick in progress has finished its
    // network traffic and its table update: from then on the timer thread
    // touches neither the session nor the table until StartNetworkTimer.
    virtual void StopNetworkTimer() = 0;

    // Resets the counters, chooses the first probe, runs one alarm step on
    // the calling thread and resumes acquisition.
    virtual void StartNetworkTimer() = 0;
};

}  // namespace qrv::shell
