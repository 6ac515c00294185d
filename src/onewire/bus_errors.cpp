#include "onewire/bus_errors.h"

namespace qrv {

namespace {

constexpr std::array<std::string_view, kBusErrorKinds> kLabels{
    "no_response", "crc_error", "bad_reading", "unit_silent", "network_lost"};

}  // namespace

std::string_view BusErrorLabel(BusErrorKind kind) {
    return kLabels[static_cast<std::size_t>(kind)];
}

BusErrorKind ReadFailureKind(ProbeFault fault) {
    switch (fault) {
        case ProbeFault::kNotSelected:
        case ProbeFault::kNoAnswer:
            return BusErrorKind::kNoResponse;
        case ProbeFault::kDamagedData:
            return BusErrorKind::kCrcError;
        default:
            return BusErrorKind::kBadReading;
    }
}

BusErrorCounts BusErrorCounter::Totals() const {
    BusErrorCounts totals{};
    for (std::size_t i = 0; i < kBusErrorKinds; ++i) {
        totals[i] = counts_[i].load(std::memory_order_relaxed);
    }
    return totals;
}

}  // namespace qrv
