#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "acquisition/alarm_log.h"
#include "acquisition/alarm_texts.h"
#include "acquisition/sms_worker.h"
#include "acquisition/station_flags.h"
#include "acquisition/time_alarms.h"
#include "feed/live_feed.h"
#include "onewire/nodex_session.h"
#include "runtime/clock.h"
#include "runtime/status_display.h"
#include "sensors/shared_sensor_table.h"
#include "settings/settings_owner.h"

namespace qrv::acquisition {

// Seconds the delay counters grow per evaluation (one every two seconds).
inline constexpr int kCounterStep = 2;
inline constexpr int kSmallestLostDelay = 120;
// LostCount above which the lost timer runs.
inline constexpr int kLostCountLimit = 4;

// The relay and the red lamp of the interface unit.
class AlarmOutputs {
  public:
    virtual ~AlarmOutputs() = default;
    virtual void AlarmRelais(bool on) = 0;
    virtual void RedLed(bool on) = 0;
};

// The outputs through the 1-Wire session.
class SessionAlarmOutputs final : public AlarmOutputs {
  public:
    explicit SessionAlarmOutputs(NodexSession& session) : session_(session) {}
    void AlarmRelais(bool on) override;
    void RedLed(bool on) override;

  private:
    NodexSession& session_;
};

// 1 when the time of day lies outside the probe's alarm window of the given
// weekday (1 Monday .. 7 Sunday; any other value means the whole day).
int AlarmIsNotInsideBlockEnableTimes(const SensorRecord& record, int weekday,
                                     const LocalDateTime& now);
// The weekday of a date, 1 Monday .. 7 Sunday.
int WeekdayOf(const LocalDateTime& when);

// The smaller of the two delays, never below two minutes.
int LostDelay(const SensorRecord& record);

struct AlarmEvaluationContext {
    SharedSensorTable& table;
    StationFlags& flags;
    const Clock& clock;
    StatusDisplay& display;
    AlarmOutputs& outputs;
    AlarmLog& alarmLog;
    AlarmSmsSink& sms;
    const SettingsOwner& settings;
    LiveFeed& feed;
};

// Turns the latest readings into alarm states: limits, delays, the lost
// count and the windows of the evaluated moment's weekday, and the minutes
// out of range in the last 24 hours where a probe has a threshold; writes
// each new, changed and ended alarm to the alarm file, hands new and changed
// ones to SMS, publishes each change, and sets the red lamp and the relay
// from all probes and the user's mute. The walk over the table holds it; the file, SMS,
// feed and bus work come after.
class AlarmEvaluator {
  public:
    explicit AlarmEvaluator(const AlarmEvaluationContext& context) : context_(context) {}

    // One walk over every probe; 1 when an alarm stands afterwards.
    int HandleAlarmInterrupt();

    // The network name SMS texts end with (safe from any thread).
    void SetNetworkName(std::string name);

    TimeOutOfRangeAlarms& TimeAlarms() { return timeAlarms_; }
    // Ends the standing alarms on the time out of range, with their lines
    // and events, when alarms are switched off.
    void ClearTimeAlarms(AlarmClearReason reason);

  private:
    // A probe whose alarm state the walk changed, with the texts it needs.
    struct AlarmChange {
        LiveEvent event;
        bool relay = false;
        std::string fileText;
        // Empty when the probe sends no SMS or the alarm ended.
        std::string smsText;
    };

    std::vector<AlarmChange> EvaluateTable(const LocalDateTime& now, bool& alarmStands,
                                           bool& relayWanted);
    std::optional<AlarmChange> EvaluateTime(int index, const SensorRecord& record,
                                            bool insideWindow, const LocalDateTime& now, int taal,
                                            const std::string& networkName, bool& alarmStands,
                                            bool& relayWanted);
    void EndUnvisitedTimeAlarms(const LocalDateTime& now);
    void EndTimeAlarm(const TimeOutOfRangeAlarms::Ended& ended, const std::string& line,
                      const LocalDateTime& now);
    void NewOrChangedAlarm(const AlarmChange& change);
    void PassAlarmMessageToAlarmFile(const std::string& text);
    void PassNewAlarmToSmsHandler(const std::string& text);

    AlarmEvaluationContext context_;
    TimeOutOfRangeAlarms timeAlarms_;
    std::mutex nameMutex_;
    std::string networkName_;
};

}  // namespace qrv::acquisition
