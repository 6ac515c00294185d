#include "onewire/crc.h"

#include <array>

namespace qrv {

namespace {

constexpr std::array<std::uint8_t, 256> MakeCrc8Table() {
    std::array<std::uint8_t, 256> table{};
    for (int value = 0; value < 256; ++value) {
        auto crc = static_cast<std::uint8_t>(value);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1) != 0 ? static_cast<std::uint8_t>((crc >> 1) ^ 0x8C)
                                 : static_cast<std::uint8_t>(crc >> 1);
        }
        table[static_cast<std::size_t>(value)] = crc;
    }
    return table;
}

constexpr std::array<std::uint8_t, 256> kCrc8Table = MakeCrc8Table();

constexpr bool OddParity(unsigned value) {
    value ^= value >> 4;
    value ^= value >> 2;
    value ^= value >> 1;
    return (value & 1) != 0;
}

}  // namespace

std::uint8_t DoCRC8(std::uint8_t crc, std::uint8_t byte) {
    return kCrc8Table[static_cast<std::uint8_t>(crc ^ byte)];
}

std::uint8_t Crc8(std::span<const std::uint8_t> bytes, std::uint8_t crc) {
    for (const std::uint8_t byte : bytes) {
        crc = DoCRC8(crc, byte);
    }
    return crc;
}

std::uint16_t DoCRC16(std::uint16_t crc, std::uint8_t byte) {
    unsigned b = (byte ^ (crc & 0xFFu)) & 0xFFu;
    unsigned next = crc >> 8;
    if (OddParity(b)) {
        next ^= 0xC001u;
    }
    next ^= b << 6;
    next ^= b << 7;
    return static_cast<std::uint16_t>(next & 0xFFFFu);
}

std::uint16_t Crc16(std::span<const std::uint8_t> bytes, std::uint16_t crc) {
    for (const std::uint8_t byte : bytes) {
        crc = DoCRC16(crc, byte);
    }
    return crc;
}

}  // namespace qrv
