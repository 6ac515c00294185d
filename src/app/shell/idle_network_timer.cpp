#include "app/shell/idle_network_timer.h"

#include "app/shell/status_fields.h"

namespace qrv::shell {

void IdleNetworkTimer::StopNetworkTimer() {
    state_.NetworkAsyncTimerEnabled = 0;
    state_.handshake.ReleaseAsyncMemoryUse();
    state_.handshake.WaitForMainMemoryUse();
    display_.SetStatusLine("", colors::kProgressBlue);
}

void IdleNetworkTimer::StartNetworkTimer() {
    state_.NetworkAsyncTimerEnabled = 0;
    SuspendDisplayTimer(state_);
    state_.SensorAlarm = 0;
    state_.AsyncWatchdogTimer = 2;
    state_.NetworkAsyncTimerEnabled = 1;
    ResumeDisplayTimer(state_);
}

}  // namespace qrv::shell
