#pragma once

#include <string>

#include "runtime/clock.h"
#include "sensors/sensor_record.h"

namespace qrv::notify {

// The state a notice about the interface unit carries: no probe code has it.
inline constexpr int kUnitLost = 6;

// What a notice says about the alarm's source: a probe, or the interface unit
// (unit true, no ROM).
struct AlarmFacts {
    bool unit = false;
    RomCode rom{};
    std::string name;
    int sensorType = 0;
    std::string units;
    double value = 0.0;
    // The alarm on the probe's minutes out of range in the last 24 hours,
    // which stands beside its other alarm: value holds those minutes.
    bool timeAlarm = false;
    // The alarm state (1..5, kUnitLost, kTimeAlarmHigh or kTimeAlarmLow),
    // kAlarmNone once it has ended.
    int state = kAlarmNone;
    int alarmLow = 0;
    int alarmHigh = 0;
    int tripLow = 0;
    int tripHigh = 0;
};

// The facts of the probe in a record, in the given state.
AlarmFacts FactsOf(const SensorRecord& record, int state);

enum class NoticeKind {
    kAlarm,       // a new alarm, to the first contact
    kEscalation,  // still unacknowledged, to the next contact
    kWorse,       // the alarm got worse
    kReminder,    // it still stands
    kEnded,       // it is over, to everyone who was told
    kTest,        // a test message from the Alarm menu
};

std::string_view NoticeKindName(NoticeKind kind);

// One message for one contact.
struct Notice {
    int contact = 0;
    NoticeKind kind = NoticeKind::kAlarm;
    AlarmFacts facts;
    LocalDateTime when;
    // How long the alarm has stood (for an ended one: how long it stood).
    double stoodSeconds = 0.0;
    std::string acknowledgedBy;
};

// Pre-alarms weigh least, the lost probe or unit most; 0 no alarm.
int Severity(int state);

}  // namespace qrv::notify
