#include "onewire/families.h"

#include "onewire/humidity.h"
#include "onewire/temperature.h"
#include "onewire/unit_outputs.h"

namespace qrv {

static_assert(FamilyOf(kFamilyDs1820).kind == DeviceKind::kTemperature);
static_assert(FamilyOf(kFamilyDs18b20).kind == DeviceKind::kTemperature);
static_assert(FamilyOf(kFamilyDs2438).kind == DeviceKind::kHumidity);
static_assert(FamilyOf(kFamilyDs2406).kind == DeviceKind::kSwitchInput);
static_assert(FamilyOf(kFamilyDs2409).kind == DeviceKind::kCoupler);
static_assert(FamilyOf(kFamilyDs2405).kind == DeviceKind::kToggleSwitch);

std::string_view DeviceName(const RomCode& rom) {
    if (rom[0] == kFamilyDs1820 && IsNewer1820(rom)) {
        return "DS18S20";
    }
    return FamilyOf(rom[0]).name;
}

Reading ReadProbe(NodexSession& session, int line, const RomCode& rom, SwitchPause switchPause) {
    switch (FamilyOf(rom[0]).kind) {
        case DeviceKind::kTemperature:
            return ReadTemperature(session, line, rom);
        case DeviceKind::kHumidity:
            return Get2438Vochtigheid(session, line, rom);
        case DeviceKind::kSwitchInput:
            return Get2406PioWaarde(session, line, rom, switchPause);
        default:
            return Reading::Failed(ProbeFault::kNotAProbe);
    }
}

}  // namespace qrv
