#include "notify/notice.h"

#include "sensors/rom_text.h"

namespace qrv::notify {

AlarmFacts FactsOf(const SensorRecord& record, int state) {
    AlarmFacts facts;
    facts.rom = record.Rom;
    facts.name = record.Name;
    facts.sensorType = record.SensorType;
    facts.units = record.Units;
    facts.value = record.Value;
    facts.state = state;
    facts.alarmLow = record.AlarmLow;
    facts.alarmHigh = record.AlarmHigh;
    facts.tripLow = record.TripLow;
    facts.tripHigh = record.TripHigh;
    return facts;
}

std::string AlarmKeyOf(const AlarmFacts& facts) {
    if (facts.unit) {
        return {};
    }
    // A probe's time alarm is escalated and ended on its own, beside the
    // alarm on its value.
    return facts.timeAlarm ? RomToHex(facts.rom) + "/time" : RomToHex(facts.rom);
}

std::vector<std::string> AlarmKeysOf(const Notice& notice) {
    std::vector<std::string> keys{AlarmKeyOf(notice.facts)};
    for (const GroupedAlarm& other : notice.also) {
        keys.push_back(AlarmKeyOf(other.facts));
    }
    return keys;
}

bool Supersedes(NoticeKind later, NoticeKind earlier) {
    switch (later) {
        case NoticeKind::kEnded:
            return earlier != NoticeKind::kTest;
        case NoticeKind::kWorse:
            return earlier == NoticeKind::kAlarm || earlier == NoticeKind::kEscalation ||
                   earlier == NoticeKind::kReminder || earlier == NoticeKind::kWorse;
        case NoticeKind::kReminder:
            return earlier == NoticeKind::kReminder;
        default:
            return false;
    }
}

std::string_view NoticeKindName(NoticeKind kind) {
    switch (kind) {
        case NoticeKind::kAlarm:
            return "alarm";
        case NoticeKind::kEscalation:
            return "escalation";
        case NoticeKind::kWorse:
            return "worse";
        case NoticeKind::kReminder:
            return "reminder";
        case NoticeKind::kEnded:
            return "ended";
        case NoticeKind::kTest:
            return "test";
    }
    return "unknown";
}

int Severity(int state) {
    switch (state) {
        case kPreAlarmHigh:
        case kPreAlarmLow:
            return 1;
        case kAlarmHigh:
        case kAlarmLow:
        case kTimeAlarmHigh:
        case kTimeAlarmLow:
            return 2;
        case kAlarmLost:
        case kUnitLost:
            return 3;
        default:
            return 0;
    }
}

}  // namespace qrv::notify
