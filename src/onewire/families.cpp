#include "onewire/families.h"

#include <array>

#include "onewire/humidity.h"
#include "onewire/temperature.h"
#include "onewire/unit_outputs.h"

namespace qrv {

namespace {

constexpr std::array<DeviceFamily, 6> kFamilies{{
    {kFamilyDs1820, DeviceKind::kTemperature, "DS18S20", kTypeTemperature, &Get1820Temperature},
    {kFamilyDs18b20, DeviceKind::kTemperature, "DS18B20", kTypeTemperature, &Get1820Temperature},
    {kFamilyDs2438, DeviceKind::kHumidity, "DS2438", kTypeHumidity, &Get2438Vochtigheid},
    {kFamilyDs2406, DeviceKind::kSwitchInput, "DS2406", kTypeSwitch, &Get2406PioWaarde},
    {kFamilyDs2409, DeviceKind::kCoupler, "DS2409", kTypeUnknown, nullptr},
    {kFamilyDs2405, DeviceKind::kToggleSwitch, "DS2405", kTypeUnknown, nullptr},
}};

constexpr DeviceFamily kOtherFamily{0, DeviceKind::kOther, "other", kTypeUnknown, nullptr};

}  // namespace

const DeviceFamily& FamilyOf(int code) {
    for (const DeviceFamily& family : kFamilies) {
        if (family.code == code) {
            return family;
        }
    }
    return kOtherFamily;
}

bool IsProbeFamily(int code) {
    return FamilyOf(code).read != nullptr;
}

std::string_view DeviceName(const RomCode& rom) {
    if (rom[0] == kFamilyDs1820 && !IsNewer1820(rom)) {
        return "DS1820";
    }
    return FamilyOf(rom[0]).name;
}

double ReadProbe(NodexSession& session, int line, const RomCode& rom) {
    const DeviceFamily& family = FamilyOf(rom[0]);
    return family.read != nullptr ? family.read(session, line, rom) : kTempNotTemperatureFamily;
}

}  // namespace qrv
