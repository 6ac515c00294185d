#pragma once

#include <atomic>

namespace qrv::acquisition {

// The flags the user-interface thread and the acquisition thread share. Each
// is written by one side and read by the other; atomics keep that well
// defined without any lock.
struct StationFlags {
    // 1 while a network is installed and running.
    std::atomic<int> NetWorkInstalled{0};
    // 1: network ticks do their work; 0: acquisition paused.
    std::atomic<int> NetworkAsyncTimerEnabled{0};
    // Display-timer ticks since the last network tick.
    std::atomic<int> AsyncWatchdogTimer{0};
    // 1 while the interface unit does not answer.
    std::atomic<int> CommunicationErrorAlarm{0};
    // 1 while some probe is in an alarm state.
    std::atomic<int> SensorAlarm{0};
    // 1: alarms are audible and may switch the relay; 0: muted by the user.
    std::atomic<int> AlarmUserStatus{1};
};

}  // namespace qrv::acquisition
