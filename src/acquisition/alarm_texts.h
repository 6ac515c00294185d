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

// The label of an alarm message code (1..5, 7 ended, anything else unknown).
std::string AlarmLabel(int code, int taal);

// The alarm-file message of a probe: the label, two blanks, the name and the
// value ("High Alarm:  Freezer     4.5°C"); none for a lost probe.
std::string ProbeAlarmMessage(int code, const SensorRecord& record, int taal);

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

// The SMS text of a new or changed probe alarm.
std::string AlarmSmsText(int code, const SensorRecord& record, int taal, const LocalDateTime& now,
                         std::string_view networkName);

// The text of a test message the user typed.
std::string TestSmsText(std::string_view typed, int taal, const LocalDateTime& now,
                        std::string_view networkName);

}  // namespace qrv::acquisition
