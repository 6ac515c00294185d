#pragma once

#include <cstdint>
#include <string_view>

#include "onewire/nodex_session.h"
#include "sensors/sensor_record.h"

namespace qrv {

enum class DeviceKind { kTemperature, kHumidity, kSwitchInput, kCoupler, kToggleSwitch, kOther };

using ProbeReader = double (*)(NodexSession& session, int line, const RomCode& rom);

// What the station knows of a 1-Wire family: its kind, a display name, the
// sensor type of its readings (kTypeUnknown when it is not a probe) and the
// routine that reads it (nullptr when it is not read).
struct DeviceFamily {
    std::uint8_t code;
    DeviceKind kind;
    std::string_view name;
    int sensorType;
    ProbeReader read;
};

// The family entry of a code; the "other" entry for codes not listed.
const DeviceFamily& FamilyOf(int code);
// True for the families the station accepts as probes (0x10, 0x28, 0x26, 0x12).
bool IsProbeFamily(int code);
// The display name of a device: for family 0x10 it tells the DS18S20 from
// the old DS1820 by ROM byte 5.
std::string_view DeviceName(const RomCode& rom);
// Reads a probe by its family; kTempNotTemperatureFamily (-950.0) when the
// family is not read.
double ReadProbe(NodexSession& session, int line, const RomCode& rom);

}  // namespace qrv
