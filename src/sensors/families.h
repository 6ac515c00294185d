#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "sensors/sensor_record.h"

namespace qrv {

// What the station knows of each 1-Wire family it measures: one table instead
// of switch statements spread over the code.
struct ProbeFamily {
    std::uint8_t familyCode;
    std::string_view device;
    int sensorType;
    std::string_view units;  // UTF-8; written to files as Windows-1252
};

inline constexpr std::array<ProbeFamily, 4> kProbeFamilies{{
    {0x10, "DS1820", kTypeTemperature, "\u00B0C"},
    {0x28, "DS18B20", kTypeTemperature, "\u00B0C"},
    {0x26, "DS2438", kTypeHumidity, " %"},
    {0x12, "DS2406", kTypeSwitch, "  "},
}};

// The family entry of a code, or nullptr for families the station does not measure.
constexpr const ProbeFamily* FindProbeFamily(int familyCode) {
    for (const ProbeFamily& family : kProbeFamilies) {
        if (family.familyCode == familyCode) {
            return &family;
        }
    }
    return nullptr;
}

}  // namespace qrv
