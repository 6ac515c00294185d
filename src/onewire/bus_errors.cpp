#include "onewire/bus_errors.h"

#include "onewire/humidity.h"
#include "onewire/temperature.h"
#include "onewire/unit_outputs.h"

namespace qrv {

namespace {

constexpr std::array<std::string_view, kBusErrorKinds> kLabels{
    "no_response", "crc_error", "bad_reading", "unit_silent", "network_lost"};

}  // namespace

std::string_view BusErrorLabel(BusErrorKind kind) {
    return kLabels[static_cast<std::size_t>(kind)];
}

BusErrorKind ReadFailureKind(DeviceKind probe, double errorValue) {
    static_assert(kTempRomNotCurrent == kHumRomNotCurrent &&
                  kTempRomNotCurrent == kSwitchRomNotCurrent);
    static_assert(kTempNoAccess == kHumNoAccessOrVdd && kTempNoAccess == kSwitchNoAccess);
    if (errorValue == kTempRomNotCurrent || errorValue == kTempNoAccess) {
        return BusErrorKind::kNoResponse;
    }
    if ((probe == DeviceKind::kTemperature && errorValue == kTempScratchpadBad) ||
        (probe == DeviceKind::kSwitchInput && errorValue == kSwitchCrcError)) {
        return BusErrorKind::kCrcError;
    }
    return BusErrorKind::kBadReading;
}

BusErrorCounts BusErrorCounter::Totals() const {
    BusErrorCounts totals{};
    for (std::size_t i = 0; i < kBusErrorKinds; ++i) {
        totals[i] = counts_[i].load(std::memory_order_relaxed);
    }
    return totals;
}

}  // namespace qrv
