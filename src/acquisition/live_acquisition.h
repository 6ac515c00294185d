#pragma once

#include <atomic>
#include <filesystem>

#include "acquisition/acquisition_cycle.h"
#include "acquisition/alarm_evaluation.h"
#include "acquisition/alarm_log.h"
#include "acquisition/sms_worker.h"
#include "acquisition/station_flags.h"
#include "acquisition/timer_platform.h"
#include "acquisition/timer_service.h"
#include "feed/live_feed.h"
#include "onewire/nodex_session.h"
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
};

// The acquisition and alarm side of the station in one piece: the timer
// service with the network timer, the acquisition cycle, the alarm
// evaluation, the alarm file and the SMS hand-offs.
class LiveAcquisition {
  public:
    explicit LiveAcquisition(const LiveAcquisitionContext& context);
    // Discards the network timer, then ends the SMS hand-offs.
    ~LiveAcquisition();
    LiveAcquisition(const LiveAcquisition&) = delete;
    LiveAcquisition& operator=(const LiveAcquisition&) = delete;

    // The network timer, created paused.
    int InitAsyncNetworkTimer() { return cycle_.InitAsyncNetworkTimer(timerService_); }
    int DiscardAsyncNetworkTimer() { return cycle_.DiscardAsyncNetworkTimer(timerService_); }

    AcquisitionCycle& Cycle() { return cycle_; }
    AlarmEvaluator& Alarms() { return alarms_; }
    AlarmLog& AlarmFile() { return alarmLog_; }
    SmsWorker& Sms() { return sms_; }
    AsyncTimerService& Timers() { return timerService_; }

  private:
    AsyncTimerService timerService_;
    AlarmLog alarmLog_;
    SmsWorker sms_;
    SessionAlarmOutputs outputs_;
    AlarmEvaluator alarms_;
    AcquisitionCycle cycle_;
};

}  // namespace qrv::acquisition
