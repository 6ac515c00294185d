#pragma once

#include <cstdint>
#include <span>

namespace qrv {

// The 1-Wire CRC-8 (x^8 + x^5 + x^4 + 1, reflected, initial value 0). Running
// it over a block followed by the block's CRC byte gives 0.
std::uint8_t DoCRC8(std::uint8_t crc, std::uint8_t byte);
std::uint8_t Crc8(std::span<const std::uint8_t> bytes, std::uint8_t crc = 0);

// The 1-Wire CRC-16 (x^16 + x^15 + x^2 + 1, reflected, initial value 0). The
// devices send its one's complement; running the data and the two received
// bytes through it gives kCrc16Residue.
std::uint16_t DoCRC16(std::uint16_t crc, std::uint8_t byte);
std::uint16_t Crc16(std::span<const std::uint8_t> bytes, std::uint16_t crc = 0);

inline constexpr std::uint16_t kCrc16Residue = 0xB001;

}  // namespace qrv
