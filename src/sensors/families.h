#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "sensors/sensor_record.h"

namespace qrv {

enum class DeviceKind { kTemperature, kHumidity, kSwitchInput, kCoupler, kToggleSwitch, kOther };

// What the station knows of a 1-Wire family: one table instead of switch
// statements spread over the code.
struct DeviceFamily {
    std::uint8_t code;
    DeviceKind kind;
    // The chip that brought the family code. Family 0x10 is the DS1820's; its
    // successor, the DS18S20, answers with the same code.
    std::string_view name;
    int sensorType;          // kTypeUnknown for devices that are not probes
    std::string_view units;  // UTF-8; written to files as Windows-1252
};

inline constexpr std::array<DeviceFamily, 6> kDeviceFamilies{{
    {0x10, DeviceKind::kTemperature, "DS1820", kTypeTemperature, "\u00B0C"},
    {0x28, DeviceKind::kTemperature, "DS18B20", kTypeTemperature, "\u00B0C"},
    {0x26, DeviceKind::kHumidity, "DS2438", kTypeHumidity, " %"},
    {0x12, DeviceKind::kSwitchInput, "DS2406", kTypeSwitch, "  "},
    {0x1F, DeviceKind::kCoupler, "DS2409", kTypeUnknown, ""},
    {0x05, DeviceKind::kToggleSwitch, "DS2405", kTypeUnknown, ""},
}};

inline constexpr DeviceFamily kOtherFamily{0, DeviceKind::kOther, "other", kTypeUnknown, ""};

// The family entry of a code; kOtherFamily for codes not listed.
constexpr const DeviceFamily& FamilyOf(int code) {
    for (const DeviceFamily& family : kDeviceFamilies) {
        if (family.code == code) {
            return family;
        }
    }
    return kOtherFamily;
}

// True for the families the station accepts as probes (0x10, 0x28, 0x26, 0x12).
constexpr bool IsProbeFamily(int code) {
    return FamilyOf(code).sensorType != kTypeUnknown;
}

}  // namespace qrv
