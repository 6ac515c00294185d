#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace qrv::sim {

// What a byte from the host meant to the DS2480B, for the traffic counters.
enum class ByteClass {
    kCalibration,    // the first byte after a master reset
    kModeSwitch,     // E1h, E3h
    kReset,          // 1-Wire reset commands
    kSingleBit,      // single time slots
    kSearchSwitch,   // search accelerator on and off
    kConfiguration,  // parameter reads and writes
    kPulse,          // strong pull-up and programming pulses
    kData,           // data mode: one byte on the 1-Wire bus
    kSearchData,     // data mode with the accelerator on: four ROM bits
    kIgnored,        // command bytes the chip does nothing with
    kCount,
};

inline constexpr std::size_t kByteClassCount = static_cast<std::size_t>(ByteClass::kCount);

const char* ByteClassName(ByteClass kind);

// Bytes each way on the unit's serial line. `received` counts every byte the
// host sent; `lost` those that never reached the chip (unit unpowered, wrong
// baud rate, a link fault); `sent` every byte that reached the host.
struct ByteCounters {
    struct PerClass {
        std::uint64_t received = 0;
        std::uint64_t sent = 0;
    };
    std::uint64_t received = 0;
    std::uint64_t sent = 0;
    std::uint64_t lost = 0;
    std::uint64_t breaks = 0;
    std::uint64_t ignoredBreaks = 0;
    // Search passes ended for the host after it flushed (pseudo-terminal).
    std::uint64_t restoredAfterFlush = 0;
    std::array<PerClass, kByteClassCount> byClass{};

    PerClass& Of(ByteClass kind) { return byClass[static_cast<std::size_t>(kind)]; }
    const PerClass& Of(ByteClass kind) const { return byClass[static_cast<std::size_t>(kind)]; }
};

// A few lines for people: the totals, then every class that saw traffic.
std::string FormatByteCounters(const ByteCounters& counters);

}  // namespace qrv::sim
