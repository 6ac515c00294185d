#pragma once

#include <string>
#include <vector>

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

// Which alarm a notice is about: the probe's ROM (its time alarm with
// "/time" after it), empty for the interface unit.
std::string AlarmKeyOf(const AlarmFacts& facts);

// A further alarm told in a notice beside its first one: alarms that rise
// (or end) close together go to a contact as one notice.
struct GroupedAlarm {
    AlarmFacts facts;
    LocalDateTime rose;
    double stoodSeconds = 0.0;
};

// One message for one contact.
struct Notice {
    int contact = 0;
    NoticeKind kind = NoticeKind::kAlarm;
    AlarmFacts facts;
    // When it is sent, and when the alarm rose.
    LocalDateTime when;
    LocalDateTime rose;
    // How long the alarm has stood (for an ended one: how long it stood).
    double stoodSeconds = 0.0;
    std::string acknowledgedBy;
    // Unique to this notice, the same on every attempt to deliver it, so a
    // receiver can drop a repeat.
    std::string id;
    // Why this contact is called now: who could not be reached, and what
    // their receiver said.
    std::string unreached;
    // The other alarms this notice tells of, of the same kind, in the order
    // they came; empty for a notice about one alarm.
    std::vector<GroupedAlarm> also;
};

// The alarms (AlarmKeyOf) a notice is about: its first, then those grouped
// with it.
std::vector<std::string> AlarmKeysOf(const Notice& notice);

// Whether a notice of kind `later` about an alarm makes an older one of kind
// `earlier` to the same contact about the same alarm untrue or repeated: the
// end makes every other untrue, a worse state the escalation and reminders
// of the lesser one, a reminder an older reminder.
bool Supersedes(NoticeKind later, NoticeKind earlier);

// Pre-alarms weigh least, the lost probe or unit most; 0 no alarm.
int Severity(int state);

}  // namespace qrv::notify
