#pragma once

#include <cstdint>

// The function commands of the scratchpad chips (DS18S20, DS18B20, DS1822 and
// the DS2438), as their datasheets give them. The station's readers and the
// simulated probes speak the same ones, so they are written down once.
namespace qrv::commands {

inline constexpr std::uint8_t kConvertT = 0x44;
// DS2438 only: converts the selected A/D input.
inline constexpr std::uint8_t kConvertV = 0xB4;
inline constexpr std::uint8_t kReadScratchpad = 0xBE;
inline constexpr std::uint8_t kWriteScratchpad = 0x4E;
inline constexpr std::uint8_t kCopyScratchpad = 0x48;
// "Recall E2" on the DS18x20, "Recall Memory" on the DS2438: the same code.
inline constexpr std::uint8_t kRecallMemory = 0xB8;

}  // namespace qrv::commands
