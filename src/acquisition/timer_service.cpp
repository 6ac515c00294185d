#include "acquisition/timer_service.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

namespace qrv::acquisition {

namespace {

template <typename T>
const T* ValueOf(const TimerAttributeValue& value) {
    return std::get_if<T>(&value);
}

// The event a timer hands its callback, which also starts its next interval.
template <typename Record>
AsyncTimerEvent NextEvent(Record& record, int kind, double now) {
    AsyncTimerEvent event;
    event.timerId = record.TimerId;
    event.event = kind;
    event.callbackData = record.CallbackData;
    event.now = now;
    event.elapsed = now - record.LastEventTime;
    record.LastEventTime = now;
    return event;
}

}  // namespace

AsyncTimerService::~AsyncTimerService() {
    DiscardAsyncTimer(kAllTimers);
}

int AsyncTimerService::ToMilliseconds(double seconds) {
    const double ms = std::trunc(1000.0 * seconds);
    if (!(ms >= 0.0) || ms > std::numeric_limits<int>::max()) {
        return -1;
    }
    return static_cast<int>(ms);
}

AsyncTimerService::Record* AsyncTimerService::FindAsyncTimer(int timerId) {
    for (const auto& record : active_) {
        if (record->TimerId == timerId) {
            return record.get();
        }
    }
    return nullptr;
}

int AsyncTimerService::StartPlatformTimer(Record* record, int delayMs) {
    // The identifier is known only once the platform has started the timer;
    // ticks that come before are dropped by the identity check.
    auto systemId = std::make_shared<std::atomic<int>>(0);
    const int id = platform_.Start(
        delayMs, [this, record, systemId] { AsyncTimerTick(record, systemId->load()); });
    systemId->store(id);
    return id;
}

int AsyncTimerService::NewAsyncTimer(double intervalSeconds, int count, int initialState,
                                     AsyncTimerCallback callback, std::uintptr_t callbackData) {
    const int ms = ToMilliseconds(intervalSeconds);
    if ((initialState != 0 && initialState != 1) || ms < 0 || count == 0) {
        return kTimerInvalidArgument;
    }
    std::unique_lock lock(mutex_);
    std::unique_ptr<Record> owned;
    if (!free_.empty()) {
        owned = std::move(free_.back());
        free_.pop_back();
    } else {
        if (NextTimerId < 1) {
            return kTimerNoIdentifierLeft;
        }
        owned = std::make_unique<Record>();
        owned->TimerId = NextTimerId++;
    }
    Record* record = owned.get();
    active_.push_back(std::move(owned));

    record->Enabled = 0;
    record->Count = count;
    record->IntervalMs = std::max(ms, platform_.MinimumPeriodMs());
    record->Callback = std::move(callback);
    record->CallbackData = callbackData;
    record->LastEventTime = platform_.Now();
    lock.unlock();
    const int systemId = StartPlatformTimer(record, ms);
    lock.lock();

    if (systemId != 0) {
        record->SystemTimerId = systemId;
        record->Enabled = initialState;
        return record->TimerId;
    }
    record->SystemTimerId = 0;
    record->Count = 0;
    record->Callback = {};
    record->CallbackData = 0;
    const auto at = std::find_if(active_.begin(), active_.end(),
                                 [record](const auto& r) { return r.get() == record; });
    free_.push_back(std::move(*at));
    active_.erase(at);
    return kTimerPlatformFailed;
}

void AsyncTimerService::AsyncTimerTick(Record* record, int systemTimerId) {
    std::unique_lock lock(mutex_);
    const bool live = std::any_of(active_.begin(), active_.end(),
                                  [record](const auto& r) { return r.get() == record; });
    if (CallbacksEnabled == 0 || !live || systemTimerId == 0 ||
        record->SystemTimerId != systemTimerId || record->Enabled == 0) {
        return;
    }
    if (record->Count == 0) {
        RemoveAsyncTimer(lock, record);
        return;
    }
    if (record->Count > 0) {
        --record->Count;
    }
    const AsyncTimerEvent event = NextEvent(*record, kEventTimerTick, platform_.Now());
    const AsyncTimerCallback callback = record->Callback;
    lock.unlock();
    if (callback) {
        callback(event);
    }
}

void AsyncTimerService::RemoveAsyncTimer(std::unique_lock<std::mutex>& lock, Record* record) {
    record->Enabled = 0;
    const auto at = std::find_if(active_.begin(), active_.end(),
                                 [record](const auto& r) { return r.get() == record; });
    std::unique_ptr<Record> owned = std::move(*at);
    active_.erase(at);

    const AsyncTimerEvent event = NextEvent(*record, kEventDiscard, platform_.Now());
    if (record->SystemTimerId != 0) {
        const int systemId = record->SystemTimerId;
        const AsyncTimerCallback callback = record->Callback;
        lock.unlock();
        platform_.Kill(systemId);
        if (callback) {
            callback(event);
        }
        lock.lock();
        record->SystemTimerId = 0;
        record->Count = 0;
        record->Callback = {};
        record->CallbackData = 0;
    }
    free_.push_back(std::move(owned));
    if (active_.empty()) {
        free_.clear();
        NextTimerId = 1;
    }
}

int AsyncTimerService::DiscardAsyncTimer(int timerId) {
    std::unique_lock lock(mutex_);
    if (timerId == kAllTimers) {
        while (!active_.empty()) {
            RemoveAsyncTimer(lock, active_.front().get());
        }
        NextTimerId = 1;
        return kTimerOk;
    }
    Record* record = FindAsyncTimer(timerId);
    if (record == nullptr) {
        return kTimerNotFound;
    }
    RemoveAsyncTimer(lock, record);
    return kTimerOk;
}

int AsyncTimerService::SuspendAsyncTimerCallbacks() {
    std::lock_guard lock(mutex_);
    CallbacksEnabled = 0;
    return kTimerOk;
}

int AsyncTimerService::ResumeAsyncTimerCallbacks() {
    std::lock_guard lock(mutex_);
    CallbacksEnabled = 1;
    return kTimerOk;
}

int AsyncTimerService::SetAsyncTimerAttribute(int timerId, int attribute,
                                              const TimerAttributeValue& value) {
    if (attribute < kAttributeInterval || attribute > kAttributeCallback) {
        return kTimerInvalidArgument;
    }
    std::unique_lock lock(mutex_);
    Record* record = FindAsyncTimer(timerId);
    if (record == nullptr) {
        return kTimerNotFound;
    }
    switch (attribute) {
        case kAttributeInterval: {
            const auto* seconds = ValueOf<double>(value);
            int ms = seconds != nullptr ? ToMilliseconds(*seconds) : -1;
            if (ms < 0) {
                return kTimerInvalidArgument;
            }
            ms = std::max(ms, platform_.MinimumPeriodMs());
            const int newId = StartPlatformTimer(record, ms);
            if (newId == 0) {
                return kTimerPlatformFailed;
            }
            const int oldId = record->SystemTimerId;
            // The old timer's thread may be waiting for this lock.
            lock.unlock();
            const int killed = platform_.Kill(oldId);
            lock.lock();
            if (killed != 0 || FindAsyncTimer(timerId) != record ||
                record->SystemTimerId != oldId) {
                lock.unlock();
                platform_.Kill(newId);
                return kTimerPlatformFailed;
            }
            record->IntervalMs = ms;
            record->SystemTimerId = newId;
            return kTimerOk;
        }
        case kAttributeCount:
            if (const int* count = ValueOf<int>(value)) {
                record->Count = *count;
                return kTimerOk;
            }
            return kTimerInvalidArgument;
        case kAttributeEnabled:
            if (const int* enabled = ValueOf<int>(value);
                enabled && (*enabled == 0 || *enabled == 1)) {
                record->Enabled = *enabled;
                return kTimerOk;
            }
            return kTimerInvalidArgument;
        case kAttributeCallbackData:
            if (const auto* data = ValueOf<std::uintptr_t>(value)) {
                record->CallbackData = *data;
                return kTimerOk;
            }
            return kTimerInvalidArgument;
        default:
            if (const auto* callback = ValueOf<AsyncTimerCallback>(value)) {
                record->Callback = *callback;
                return kTimerOk;
            }
            return kTimerInvalidArgument;
    }
}

int AsyncTimerService::GetAsyncTimerAttribute(int timerId, int attribute,
                                              TimerAttributeValue& value) {
    if (attribute < kAttributeInterval || attribute > kAttributeCallback) {
        return kTimerInvalidArgument;
    }
    std::lock_guard lock(mutex_);
    const Record* record = FindAsyncTimer(timerId);
    if (record == nullptr) {
        return kTimerNotFound;
    }
    switch (attribute) {
        case kAttributeInterval:
            value = record->IntervalMs / 1000.0;
            break;
        case kAttributeCount:
            value = record->Count;
            break;
        case kAttributeEnabled:
            value = record->Enabled;
            break;
        case kAttributeCallbackData:
            value = record->CallbackData;
            break;
        default:
            value = record->Callback;
            break;
    }
    return kTimerOk;
}

}  // namespace qrv::acquisition
