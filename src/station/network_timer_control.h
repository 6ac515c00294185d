#pragma once

#include "runtime/dialogs.h"

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
    // That wait must not meet a tick waiting for the answer to a question:
    // callers go through QuestionRefusingNetworkTimer.
    virtual void StopNetworkTimer() = 0;

    // Resets the counters, chooses the first probe, runs one alarm step on
    // the calling thread and resumes acquisition.
    virtual void StartNetworkTimer() = 0;
};

// The network timer as the user-interface side calls it. A pause waits for
// the acquisition thread, which may itself be waiting for the answer to a
// question that only the user-interface thread can give; so the pause refuses
// questions from other threads while it waits (see Dialogs). The window gives
// the commands this one, whatever timer it wraps.
class QuestionRefusingNetworkTimer final : public NetworkTimerControl {
  public:
    QuestionRefusingNetworkTimer(NetworkTimerControl& timer, Dialogs& dialogs)
        : timer_(timer), dialogs_(dialogs) {}

    void StopNetworkTimer() override {
        const QuestionsFromOtherThreadsRefused refused(dialogs_);
        timer_.StopNetworkTimer();
    }
    void StartNetworkTimer() override { timer_.StartNetworkTimer(); }

  private:
    NetworkTimerControl& timer_;
    Dialogs& dialogs_;
};

}  // namespace qrv::shell
