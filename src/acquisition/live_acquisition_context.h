#pragma once

#include <atomic>
#include <filesystem>

#include "acquisition/station_flags.h"
#include "acquisition/timer_platform.h"
#include "feed/live_feed.h"
#include "onewire/nodex_session.h"
#include "records/calibration.h"
#include "runtime/clock.h"
#include "runtime/event_log.h"
#include "runtime/program_launcher.h"
#include "runtime/status_display.h"
#include "sensors/shared_sensor_table.h"
#include "settings/settings_owner.h"

namespace qrv::acquisition {

// What live acquisition works with; all of it outlives the acquisition.
struct LiveAcquisitionContext {
    StationFlags& flags;
    SharedSensorTable& table;
    NodexSession& session;
    Clock& clock;
    StatusDisplay& display;
    EventLog& log;
    const SettingsOwner& settings;
    ProgramLauncher& launcher;
    PeriodicTimerPlatform& timers;
    std::filesystem::path alarmFile;
    // Minute of the day of the latest store of the samples.
    const std::atomic<int>& lastSampleTime;
    LiveFeed& feed;
    // Applied once, where a reading enters the table.
    const records::SharedCalibrations& calibrations;
};

}  // namespace qrv::acquisition
