#include "station/standing_alarms.h"

namespace qrv::shell {

using acquisition::AlarmClearReason;

StandingAlarms StandingAlarms::Take(const SensorTable& table) {
    StandingAlarms taken;
    for (int index = 0; index <= table.GetMax1820Index(); ++index) {
        const SensorRecord& record = table.SensorArray[static_cast<std::size_t>(index)];
        if (record.AlarmState != kAlarmNone || record.AlarmDelayCount != 0 ||
            record.TripDelayCount != 0) {
            taken.kept_.push_back(record);
        }
    }
    return taken;
}

void StandingAlarms::GiveBack(SensorTable& table, acquisition::AlarmLog& alarmFile) const {
    for (const SensorRecord& kept : kept_) {
        const int index = table.Find1820inDataStruct(kept.Rom);
        SensorRecord* found =
            index < 0 ? nullptr : &table.SensorArray[static_cast<std::size_t>(index)];
        if (found != nullptr && found->FoundOnNetwork != 0) {
            found->AlarmState = kept.AlarmState;
            found->AlarmDelayCount = kept.AlarmDelayCount;
            found->TripDelayCount = kept.TripDelayCount;
        } else if (kept.AlarmState != kAlarmNone) {
            alarmFile.LogAlarmToDisk(
                acquisition::ClearedAlarmMessage(AlarmClearReason::kProbeNotFound, kept));
        }
    }
}

void StandingAlarms::WriteOff(AlarmClearReason reason, acquisition::AlarmLog& alarmFile) const {
    for (const SensorRecord& kept : kept_) {
        if (kept.AlarmState != kAlarmNone) {
            alarmFile.LogAlarmToDisk(acquisition::ClearedAlarmMessage(reason, kept));
        }
    }
}

}  // namespace qrv::shell
