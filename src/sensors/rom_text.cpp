#include "sensors/rom_text.h"

#include <ranges>
#include <span>

#include <fmt/format.h>

namespace qrv {

namespace {

// An element holds one byte value; anything above it would widen the text.
std::uint8_t LowByte(std::int16_t element) {
    return static_cast<std::uint8_t>(element & 0xFF);
}

}  // namespace

std::string RomToHex(const RomCode& rom) {
    return fmt::format("{:02X}", fmt::join(rom | std::views::transform(LowByte), ""));
}

std::string SerialNumberHex(const RomCode& rom) {
    const auto serial = std::span(rom).subspan<1, 6>();
    return fmt::format(
        "{:02X}", fmt::join(serial | std::views::reverse | std::views::transform(LowByte), ""));
}

}  // namespace qrv
