#pragma once

#include <atomic>
#include <mutex>

#include "settings/system_settings.h"

namespace qrv {

// The one owner of the station's system settings. Only the user-interface
// thread changes them, by replacing them whole; it reads Current() directly.
// Every other thread (acquisition, SMS hand-offs) reads a consistent copy
// with Snapshot() or the numbers it needs on every tick, which are published
// here with each change, so no setter can forget to pass a change on.
class SettingsOwner {
  public:
    // User-interface thread only.
    const SystemSettings& Current() const { return settings_; }
    void Replace(const SystemSettings& settings) {
        std::lock_guard lock(mutex_);
        settings_ = settings;
        taal_.store(settings.Taal);
        sampleTime_.store(settings.KeuzeSampleTime);
        alarmEnable_.store(settings.GeneralAlarmEnable);
    }

    // Any thread.
    SystemSettings Snapshot() const {
        std::lock_guard lock(mutex_);
        return settings_;
    }
    int Taal() const { return taal_.load(); }
    int KeuzeSampleTime() const { return sampleTime_.load(); }
    int GeneralAlarmEnable() const { return alarmEnable_.load(); }

  private:
    mutable std::mutex mutex_;
    SystemSettings settings_;
    std::atomic<int> taal_{SystemSettings{}.Taal};
    std::atomic<int> sampleTime_{SystemSettings{}.KeuzeSampleTime};
    std::atomic<int> alarmEnable_{SystemSettings{}.GeneralAlarmEnable};
};

}  // namespace qrv
