#include "acquisition/alarm_evaluation.h"

#include <algorithm>
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
        record.LostCount = record.LostCount + kCounterStep;
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
    const auto count = [](SharedField<std::int32_t>& counter, int delay) {
        counter = counter + kCounterStep;
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

int AlarmEvaluator::HandleAlarmInterrupt() {
    const LocalDateTime now = context_.clock.Now();
    const int weekday = context_.flags.DezeDagVanDeWeek;
    bool alarmStands = false;
    bool relayWanted = false;
    const int last = context_.table.GetMax1820Index();
    for (int i = 0; i <= last; ++i) {
        SensorRecord& record = context_.table.SensorArray[static_cast<std::size_t>(i)];
        const int previous = record.AlarmState;
        Conditions conditions = ConditionsOf(record);
        if (AlarmIsNotInsideBlockEnableTimes(record, weekday, now) == 1) {
            conditions = Conditions{};
        }
        const int state = CountDelays(record, conditions);
        record.AlarmState = state;
        if (state != kAlarmNone && state != previous) {
            NewOrChangedAlarm(state, i, now);
        }
        if (previous != kAlarmNone && state == kAlarmNone) {
            PassAlarmMessageToAlarmFile(kAlarmEndedMessage, i);
        }
        if (state != kAlarmNone) {
            alarmStands = true;
            relayWanted = relayWanted || record.RelayEnable == 1;
        }
    }
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

void AlarmEvaluator::NewOrChangedAlarm(int state, int index, const LocalDateTime& now) {
    context_.display.SetAlarmButton(1);
    context_.flags.AlarmUserStatus = 1;
    context_.display.BringToFront();
    context_.flags.SensorAlarm = 1;
    if (context_.table.SensorArray[static_cast<std::size_t>(index)].RelayEnable == 1) {
        context_.outputs.AlarmRelais(true);
    }
    PassAlarmMessageToAlarmFile(state, index);
    PassNewAlarmToSmsHandler(state, index, now);
}

void AlarmEvaluator::PassAlarmMessageToAlarmFile(int code, int index) {
    const SensorRecord& record = context_.table.SensorArray[static_cast<std::size_t>(index)];
    context_.alarmLog.LogAlarmToDisk(ProbeAlarmMessage(code, record, context_.settings.Taal()));
}

void AlarmEvaluator::PassNewAlarmToSmsHandler(int code, int index, const LocalDateTime& now) {
    const SensorRecord& record = context_.table.SensorArray[static_cast<std::size_t>(index)];
    if (record.SmsEnable == 0) {
        return;
    }
    std::string networkName;
    {
        std::lock_guard lock(nameMutex_);
        networkName = networkName_;
    }
    context_.sms.SendAlarmMessage(
        AlarmSmsText(code, record, context_.settings.Taal(), now, networkName));
}

void AlarmEvaluator::SetNetworkName(std::string name) {
    std::lock_guard lock(nameMutex_);
    networkName_ = std::move(name);
}

}  // namespace qrv::acquisition
