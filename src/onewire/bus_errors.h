#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "onewire/reading.h"

namespace qrv {

// The failures the station counts on its network. The set is fixed and only
// grows at the end: dashboards and alert rules name the kinds.
enum class BusErrorKind : std::uint8_t {
    // A probe did not answer its reset and address (taken off, a broken wire).
    kNoResponse,
    // A probe's data came back damaged or cut short.
    kCrcError,
    // A probe answered, but its reading is not usable: a conversion that did
    // not end, the power-on value, a humidity measurement that failed part way.
    kBadReading,
    // A measurement step found the interface unit not answering.
    kUnitSilent,
    // The unit stayed silent long enough to raise the network-lost alarm.
    kNetworkLost,
};
inline constexpr std::size_t kBusErrorKinds = 5;

// The kind's name in the metrics ("no_response", "crc_error", ...).
std::string_view BusErrorLabel(BusErrorKind kind);

// The kind a failed reading counts as. A humidity probe reports damaged data
// of its first step as no answer (see Get2438Vochtigheid), so it counts so.
BusErrorKind ReadFailureKind(ProbeFault fault);

using BusErrorCounts = std::array<std::uint64_t, kBusErrorKinds>;

// Failures since the station started: counted by the acquisition, read by
// anyone from any thread.
class BusErrorCounter {
  public:
    void Count(BusErrorKind kind) {
        counts_[static_cast<std::size_t>(kind)].fetch_add(1, std::memory_order_relaxed);
    }
    BusErrorCounts Totals() const;

  private:
    std::array<std::atomic<std::uint64_t>, kBusErrorKinds> counts_{};
};

}  // namespace qrv
