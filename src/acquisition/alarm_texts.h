#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "runtime/clock.h"
#include "sensors/sensor_record.h"
#include "settings/system_settings.h"

namespace qrv::acquisition {

// Messages of the alarm file about the interface unit.
inline constexpr std::string_view kNetworkLostMessage = "Alarm: network lost";
inline constexpr std::string_view kNetworkBackMessage = "Network comm-alarm ended.";

// The label of an alarm message code (1..5, 7 ended, 8..10 the alarm on the
// time out of range, anything else unknown).
std::string AlarmLabel(int code, int taal);

// The alarm-file message of a probe: the label, two blanks, the name and the
// value ("High Alarm:  Freezer     4.5°C"); none for a lost probe.
std::string ProbeAlarmMessage(int code, const SensorRecord& record, int taal);

// The alarm-file message of the alarm on a probe's minutes out of range in
// the last 24 hours: the label, two blanks, the name, two blanks and the
// minutes ("Time High Alarm:  Freezer    61 min in 24 h").
std::string TimeAlarmMessage(int code, std::string_view name, int minutes, int taal);

// Why a standing alarm was cleared without its value having come back.
enum class AlarmClearReason {
    kProbeNotFound,
    kNetworkStopped,
    kNetworkNotInstalled,
    kProbesDeleted,
    kAlarmsDisabled,
};

// The alarm-file message of an alarm that ends for another reason than its
// value, so that the file never leaves an alarm open
// ("Alarm cleared, probe not found:  Freezer").
std::string ClearedAlarmMessage(AlarmClearReason reason, const SensorRecord& record);
// The same for the alarm on the time out of range
// ("Time alarm cleared, alarms disabled:  Freezer").
std::string ClearedTimeAlarmMessage(AlarmClearReason reason, std::string_view name);

// The SMS text of a new or changed probe alarm.
std::string AlarmSmsText(int code, const SensorRecord& record, int taal, const LocalDateTime& now,
                         std::string_view networkName);

// The SMS text of the alarm on the time out of range: as a probe alarm's,
// with the minutes in place of the value.
std::string TimeAlarmSmsText(int code, std::string_view name, int minutes, int taal,
                             const LocalDateTime& now, std::string_view networkName);

// The text of a test message the user typed.
std::string TestSmsText(std::string_view typed, int taal, const LocalDateTime& now,
                        std::string_view networkName);

}  // namespace qrv::acquisition
