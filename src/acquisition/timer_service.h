#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <variant>
#include <vector>

#include "acquisition/timer_platform.h"

namespace qrv::acquisition {

// Events delivered to timer callbacks.
inline constexpr int kEventTimerTick = 15;
inline constexpr int kEventDiscard = 16;

// Results of the service; identifiers are 1 or more.
inline constexpr int kTimerOk = 0;
inline constexpr int kTimerPlatformFailed = -2;
inline constexpr int kTimerNoIdentifierLeft = -3;
inline constexpr int kTimerNotFound = -5;
inline constexpr int kTimerInvalidArgument = -7;
// The identifier that addresses every timer in DiscardAsyncTimer.
inline constexpr int kAllTimers = -1;

struct AsyncTimerEvent {
    int timerId = 0;
    int event = kEventTimerTick;
    std::uintptr_t callbackData = 0;
    double now = 0.0;      // service time in seconds
    double elapsed = 0.0;  // seconds since this timer's previous event
};

using AsyncTimerCallback = std::function<int(const AsyncTimerEvent&)>;

enum TimerAttribute : int {
    kAttributeInterval = 1,      // double, seconds
    kAttributeCount = 2,         // int
    kAttributeEnabled = 3,       // int, 0 or 1
    kAttributeCallbackData = 4,  // std::uintptr_t
    kAttributeCallback = 5,      // AsyncTimerCallback
};

using TimerAttributeValue = std::variant<double, int, std::uintptr_t, AsyncTimerCallback>;

// Timers that call their callbacks at a fixed interval from a thread of
// their own, independently of the user-interface event loop: each with its
// interval, repeat count (negative = unlimited), enabled state and callback
// data, a tick event every period and a discard event when it ends.
// Identifiers of discarded timers are reused, the most recently discarded
// first. Callbacks run without the service's lock, so a tick callback may
// call the service, even to discard its own timer. Ticks that arrive while a
// timer is disabled or callbacks are suspended are dropped, not queued.
class AsyncTimerService {
  public:
    explicit AsyncTimerService(PeriodicTimerPlatform& platform) : platform_(platform) {}
    // Discards every timer that is still live.
    ~AsyncTimerService();
    AsyncTimerService(const AsyncTimerService&) = delete;
    AsyncTimerService& operator=(const AsyncTimerService&) = delete;

    // The new timer's identifier, kTimerInvalidArgument (initial state not 0
    // or 1, negative interval, count 0), kTimerNoIdentifierLeft or
    // kTimerPlatformFailed.
    int NewAsyncTimer(double intervalSeconds, int count, int initialState,
                      AsyncTimerCallback callback, std::uintptr_t callbackData);
    // Ends one timer, or all of them with kAllTimers; 0 or kTimerNotFound.
    int DiscardAsyncTimer(int timerId);
    int SuspendAsyncTimerCallbacks();
    int ResumeAsyncTimerCallbacks();
    int SetAsyncTimerAttribute(int timerId, int attribute, const TimerAttributeValue& value);
    int GetAsyncTimerAttribute(int timerId, int attribute, TimerAttributeValue& value);

  private:
    struct Record {
        int TimerId = 0;
        AsyncTimerCallback Callback;
        int Count = 0;
        int IntervalMs = 0;
        int Enabled = 0;
        int SystemTimerId = 0;
        std::uintptr_t CallbackData = 0;
        double LastEventTime = 0.0;
    };

    void AsyncTimerTick(Record* record, int systemTimerId);
    int StartPlatformTimer(Record* record, int delayMs);
    // Ends one timer; the lock is held on entry and on return.
    void RemoveAsyncTimer(std::unique_lock<std::mutex>& lock, Record* record);
    Record* FindAsyncTimer(int timerId);
    static int ToMilliseconds(double seconds);

    PeriodicTimerPlatform& platform_;
    std::mutex mutex_;
    std::vector<std::unique_ptr<Record>> active_;  // in creation order
    std::vector<std::unique_ptr<Record>> free_;    // the back is reused first
    int NextTimerId = 1;
    int CallbacksEnabled = 1;
};

}  // namespace qrv::acquisition
