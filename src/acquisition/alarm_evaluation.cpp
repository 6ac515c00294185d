#include "acquisition/alarm_evaluation.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "acquisition/alarm_texts.h"
#include "onewire/unit_outputs.h"

namespace qrv::acquisition {

void SessionAlarmOutputs::AlarmRelais(bool on) {
    if (on) {
        AlarmRelaisOn(session_);
    } else {
        AlarmRelaisOff(session_);
    }
}

void SessionAlarmOutputs::RedLed(bool on) {
    if (on) {
        RedLedOn(session_);
    } else {
        RedLedOff(session_);
    }
}

int AlarmIsNotInsideBlockEnableTimes(const SensorRecord& record, int weekday,
                                     const LocalDateTime& now) {
    AlarmWindow window;
    if (weekday >= 1 && weekday <= 7) {
        window = record.AlarmTimes[static_cast<std::size_t>(weekday - 1)];
    }
    const int quarter = now.hour * 4 + now.minute / 15;
    return quarter < window.Start || quarter >= window.Stop ? 1 : 0;
}

int WeekdayOf(const LocalDateTime& when) {
    const std::chrono::year_month_day date{std::chrono::year{when.year},
                                           std::chrono::month{static_cast<unsigned>(when.month)},
                                           std::chrono::day{static_cast<unsigned>(when.day)}};
    return static_cast<int>(std::chrono::weekday{std::chrono::sys_days{date}}.iso_encoding());
}

int LostDelay(const SensorRecord& record) {
    return std::max(std::min(record.TripDelay, record.AlarmDelay), kSmallestLostDelay);
}

namespace {

struct Conditions {
    bool preHigh = false;
    bool preLow = false;
    bool high = false;
    bool low = false;
    bool lost = false;
};

void LostCheck(SensorRecord& record, Conditions& conditions) {
    if (record.LostCount > kLostCountLimit) {
        const int delay = LostDelay(record);
        record.LostCount += kCounterStep;
        if (record.LostCount >= delay) {
            record.LostCount = delay;
            conditions.lost = true;
        }
    }
}

Conditions ConditionsOf(SensorRecord& record) {
    Conditions conditions;
    if (record.Status == kStatusActive) {
        LostCheck(record, conditions);
        const double value = record.Value;
        if (record.SensorType == kTypeTemperature || record.SensorType == kTypeHumidity) {
            conditions.preHigh = value >= record.TripHigh;
            conditions.preLow = value < record.TripLow;
            conditions.high = value >= record.AlarmHigh;
            conditions.low = value < record.AlarmLow;
        } else if (record.SensorType == kTypeSwitch) {
            conditions.high = std::lround(value) == record.AlarmHigh;
        }
    } else if (record.Status == kStatusInhibit) {
        LostCheck(record, conditions);
    }
    return conditions;
}

// Counts the conditions against the delays; a later rule overrides an
// earlier one, so lost wins over low over high over pre-low over pre-high.
int CountDelays(SensorRecord& record, const Conditions& c) {
    int state = kAlarmNone;
    const auto count = [](std::int32_t& counter, int delay) {
        counter += kCounterStep;
        if (counter >= delay) {
            counter = delay;
            return true;
        }
        return false;
    };
    if (c.preHigh && count(record.TripDelayCount, record.TripDelay)) {
        state = kPreAlarmHigh;
    }
    if (c.preLow && count(record.TripDelayCount, record.TripDelay)) {
        state = kPreAlarmLow;
    }
    if (c.high && count(record.AlarmDelayCount, record.AlarmDelay)) {
        state = kAlarmHigh;
    }
    if (c.low && count(record.AlarmDelayCount, record.AlarmDelay)) {
        state = kAlarmLow;
    }
    if (c.lost) {
        state = kAlarmLost;
    }
    if (!c.high && !c.low) {
        record.AlarmDelayCount = 0;
    }
    if (!c.preHigh && !c.preLow) {
        record.TripDelayCount = 0;
    }
    return state;
}

}  // namespace

std::vector<AlarmEvaluator::AlarmChange> AlarmEvaluator::EvaluateTable(const LocalDateTime& now,
                                                                       bool& alarmStands,
                                                                       bool& relayWanted) {
    const int weekday = WeekdayOf(now);
    const int taal = context_.settings.Taal();
    std::string networkName;
    {
        const std::lock_guard lock(nameMutex_);
        networkName = networkName_;
    }
    std::vector<AlarmChange> changes;
    const auto table = context_.table.Lock();
    const int last = table->GetMax1820Index();
    for (int i = 0; i <= last; ++i) {
        SensorRecord& record = table->SensorArray[static_cast<std::size_t>(i)];
        const int previous = record.AlarmState;
        Conditions conditions = ConditionsOf(record);
        const bool insideWindow = AlarmIsNotInsideBlockEnableTimes(record, weekday, now) == 0;
        if (!insideWindow) {
            conditions = Conditions{};
        }
        const int state = CountDelays(record, conditions);
        record.AlarmState = state;
        if (state != previous) {
            LiveEvent event = ProbeEvent(LiveEventKind::kAlarmChanged, now, i, record);
            event.oldAlarm = previous;
            event.newAlarm = state;
            if (state != kAlarmNone) {
                changes.push_back({std::move(event), record.RelayEnable == 1,
                                   ProbeAlarmMessage(state, record, taal),
                                   record.SmsEnable == 0
                                       ? std::string()
                                       : AlarmSmsText(state, record, taal, now, networkName)});
            } else {
                changes.push_back({std::move(event),
                                   false,
                                   ProbeAlarmMessage(kAlarmEndedMessage, record, taal),
                                   {}});
            }
        }
        if (state != kAlarmNone) {
            alarmStands = true;
            relayWanted = relayWanted || record.RelayEnable == 1;
        }
        if (auto change = EvaluateTime(i, record, insideWindow, now, taal, networkName, alarmStands,
                                       relayWanted)) {
            changes.push_back(std::move(*change));
        }
    }
    return changes;
}

std::optional<AlarmEvaluator::AlarmChange> AlarmEvaluator::EvaluateTime(
    int index, const SensorRecord& record, bool insideWindow, const LocalDateTime& now, int taal,
    const std::string& networkName, bool& alarmStands, bool& relayWanted) {
    const auto step =
        timeAlarms_.Evaluate(record, insideWindow, records::MinuteKey(now), kCounterStep);
    if (!step) {
        return std::nullopt;
    }
    if (step->state != kAlarmNone) {
        alarmStands = true;
        relayWanted = relayWanted || record.RelayEnable == 1;
    }
    if (step->state == step->previous) {
        return std::nullopt;
    }
    LiveEvent event = ProbeEvent(LiveEventKind::kTimeAlarmChanged, now, index, record);
    event.value = step->minutes;
    event.oldAlarm = step->previous;
    event.newAlarm = step->state;
    if (step->state == kAlarmNone) {
        return AlarmChange{std::move(event),
                           false,
                           TimeAlarmMessage(kTimeAlarmEnded, record.Name, step->minutes, taal),
                           {}};
    }
    return AlarmChange{
        std::move(event), record.RelayEnable == 1,
        TimeAlarmMessage(step->state, record.Name, step->minutes, taal),
        record.SmsEnable == 0
            ? std::string()
            : TimeAlarmSmsText(step->state, record.Name, step->minutes, taal, now, networkName)};
}

void AlarmEvaluator::EndTimeAlarm(const TimeOutOfRangeAlarms::Ended& ended, const std::string& line,
                                  const LocalDateTime& now) {
    PassAlarmMessageToAlarmFile(line);
    // The probe may have left the table: the event names it without a slot.
    LiveEvent event = StationEvent(LiveEventKind::kTimeAlarmChanged, now);
    event.rom = ended.rom;
    event.name = ended.name;
    event.value = ended.minutes;
    event.oldAlarm = ended.previous;
    context_.feed.Publish(event);
}

void AlarmEvaluator::EndUnvisitedTimeAlarms(const LocalDateTime& now) {
    const int taal = context_.settings.Taal();
    for (const TimeOutOfRangeAlarms::Ended& ended : timeAlarms_.EndUnvisited()) {
        EndTimeAlarm(ended, TimeAlarmMessage(kTimeAlarmEnded, ended.name, ended.minutes, taal),
                     now);
    }
}

void AlarmEvaluator::ClearTimeAlarms(AlarmClearReason reason) {
    const LocalDateTime now = context_.clock.Now();
    for (const TimeOutOfRangeAlarms::Ended& ended : timeAlarms_.EndAll()) {
        EndTimeAlarm(ended, ClearedTimeAlarmMessage(reason, ended.name), now);
    }
}

int AlarmEvaluator::HandleAlarmInterrupt() {
    const LocalDateTime now = context_.clock.Now();
    bool alarmStands = false;
    bool relayWanted = false;
    for (const AlarmChange& change : EvaluateTable(now, alarmStands, relayWanted)) {
        if (change.event.newAlarm == kAlarmNone) {
            PassAlarmMessageToAlarmFile(change.fileText);
        } else {
            NewOrChangedAlarm(change);
        }
        context_.feed.Publish(change.event);
    }
    EndUnvisitedTimeAlarms(now);
    if (alarmStands) {
        context_.flags.SensorAlarm = 1;
        context_.outputs.RedLed(true);
    } else {
        context_.flags.SensorAlarm = 0;
        context_.outputs.RedLed(false);
        context_.outputs.AlarmRelais(false);
    }
    context_.outputs.AlarmRelais(relayWanted && context_.flags.AlarmUserStatus != 0);
    return alarmStands ? 1 : 0;
}

void AlarmEvaluator::NewOrChangedAlarm(const AlarmChange& change) {
    context_.display.SetAlarmButton(1);
    context_.flags.AlarmUserStatus = 1;
    context_.display.BringToFront();
    context_.flags.SensorAlarm = 1;
    if (change.relay) {
        context_.outputs.AlarmRelais(true);
    }
    PassAlarmMessageToAlarmFile(change.fileText);
    PassNewAlarmToSmsHandler(change.smsText);
}

void AlarmEvaluator::PassAlarmMessageToAlarmFile(const std::string& text) {
    context_.alarmLog.LogAlarmToDisk(text);
}

void AlarmEvaluator::PassNewAlarmToSmsHandler(const std::string& text) {
    if (!text.empty()) {
        context_.sms.SendAlarmMessage(text);
    }
}

void AlarmEvaluator::SetNetworkName(std::string name) {
    std::lock_guard lock(nameMutex_);
    networkName_ = std::move(name);
}

}  // namespace qrv::acquisition
