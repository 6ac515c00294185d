#include "sensors/rom_text.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <iterator>

#include <fmt/format.h>

namespace qrv {

namespace {

// An element holds one byte value; anything above it would widen the text.
// (Range views would say this shorter, but clang cannot compile them with
// Debian 12's libstdc++, and the fuzzing build uses clang.)
std::uint8_t LowByte(std::int16_t element) {
    return static_cast<std::uint8_t>(element & 0xFF);
}

}  // namespace

std::string RomToHex(const RomCode& rom) {
    std::array<std::uint8_t, kRomLength> bytes{};
    std::transform(rom.begin(), rom.end(), bytes.begin(), LowByte);
    return fmt::format("{:02X}", fmt::join(bytes, ""));
}

std::string SerialNumberHex(const RomCode& rom) {
    // Bytes 1 to 6, most significant first.
    std::array<std::uint8_t, 6> bytes{};
    std::transform(std::make_reverse_iterator(rom.begin() + 7),
                   std::make_reverse_iterator(rom.begin() + 1), bytes.begin(), LowByte);
    return fmt::format("{:02X}", fmt::join(bytes, ""));
}

std::optional<RomCode> RomFromHex(std::string_view hex) {
    RomCode rom{};
    if (hex.size() != 2 * rom.size()) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < rom.size(); ++i) {
        unsigned value = 0;
        if (std::sscanf(std::string(hex.substr(2 * i, 2)).c_str(), "%2x", &value) != 1 ||
            !std::isxdigit(static_cast<unsigned char>(hex[2 * i])) ||
            !std::isxdigit(static_cast<unsigned char>(hex[2 * i + 1]))) {
            return std::nullopt;
        }
        rom[i] = static_cast<std::int16_t>(value);
    }
    return rom;
}

}  // namespace qrv
