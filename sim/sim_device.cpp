#include "sim_device.h"

#include <fmt/format.h>

#include <charconv>

#include "onewire/crc.h"

namespace qrv::sim {

std::string RomToHex(const Rom& rom) {
    return fmt::format("{:02X}", fmt::join(rom, ""));
}

bool RomFromHex(std::string_view text, Rom& rom) {
    if (text.size() != 2 * rom.size()) {
        return false;
    }
    Rom parsed{};
    for (std::size_t i = 0; i < parsed.size(); ++i) {
        const char* first = text.data() + 2 * i;
        const auto [end, error] = std::from_chars(first, first + 2, parsed[i], 16);
        if (error != std::errc{} || end != first + 2) {
            return false;
        }
    }
    rom = parsed;
    return true;
}

bool SearchOrderLess(const Rom& a, const Rom& b) {
    for (std::size_t bit = 0; bit < 64; ++bit) {
        const bool x = ((a[bit / 8] >> (bit % 8)) & 1) != 0;
        const bool y = ((b[bit / 8] >> (bit % 8)) & 1) != 0;
        if (x != y) {
            return !x;
        }
    }
    return false;
}

Rom MakeRom(std::uint8_t family, std::uint64_t serial) {
    Rom rom{};
    rom[0] = family;
    for (std::size_t i = 1; i < 7; ++i) {
        rom[i] = static_cast<std::uint8_t>(serial >> (8 * (i - 1)));
    }
    rom[7] = Crc8(std::span(rom.data(), 7));
    return rom;
}

void SimDevice::Queue(std::uint8_t byte) {
    out_.push_back(byte);
}

void SimDevice::ClearQueue() {
    out_.clear();
    outBit_ = 0;
}

bool SimDevice::Reset(double now) {
    (void)now;
    romState_ = RomState::kRomCommand;
    collected_ = 0;
    collectedBits_ = 0;
    ClearQueue();
    return true;
}

void SimDevice::RomCommand(std::uint8_t command, double now) {
    bitIndex_ = 0;
    searchPhase_ = 0;
    switch (command) {
        case 0x33:
            romState_ = RomState::kReadRom;
            break;
        case 0x55:
            romState_ = RomState::kMatch;
            break;
        case 0xCC:
            romState_ = RomState::kFunction;
            OnSkipped(now);
            break;
        case 0xF0:
            romState_ = RomState::kSearch;
            break;
        case 0xEC:
            romState_ = InAlarm(now) ? RomState::kSearch : RomState::kIdle;
            break;
        default:
            romState_ = RomState::kIdle;
            break;
    }
}

bool SimDevice::Slot(bool masterBit, double now) {
    switch (romState_) {
        case RomState::kIdle:
            return true;
        case RomState::kRomCommand:
            collected_ =
                static_cast<std::uint8_t>(collected_ | (masterBit ? 1u << collectedBits_ : 0u));
            if (++collectedBits_ == 8) {
                const std::uint8_t command = collected_;
                collected_ = 0;
                collectedBits_ = 0;
                RomCommand(command, now);
            }
            return true;
        case RomState::kMatch:
            if (masterBit != RomBit(bitIndex_)) {
                romState_ = RomState::kIdle;
            } else if (++bitIndex_ == 64) {
                romState_ = RomState::kFunction;
                OnSelected(true, now);
            }
            return true;
        case RomState::kReadRom: {
            const bool bit = RomBit(bitIndex_);
            if (++bitIndex_ == 64) {
                romState_ = RomState::kFunction;
            }
            return bit;
        }
        case RomState::kSearch: {
            const bool bit = RomBit(bitIndex_);
            if (searchPhase_ == 0) {
                searchPhase_ = 1;
                return bit;
            }
            if (searchPhase_ == 1) {
                searchPhase_ = 2;
                return !bit;
            }
            searchPhase_ = 0;
            if (masterBit != bit) {
                romState_ = RomState::kIdle;
            } else if (++bitIndex_ == 64) {
                romState_ = RomState::kFunction;
                OnSelected(false, now);
            }
            return true;
        }
        case RomState::kFunction:
            return FunctionSlot(masterBit, now);
    }
    return true;
}

bool SimDevice::FunctionSlot(bool masterBit, double now) {
    if (!out_.empty()) {
        const bool bit = ((out_.front() >> outBit_) & 1) != 0;
        if (++outBit_ == 8) {
            out_.pop_front();
            outBit_ = 0;
            if (out_.empty()) {
                OnQueueDrained(now);
            }
        }
        return bit;
    }
    const bool level = IdleBit(now);
    collected_ = static_cast<std::uint8_t>(collected_ | (masterBit ? 1u << collectedBits_ : 0u));
    if (++collectedBits_ == 8) {
        const std::uint8_t byte = collected_;
        collected_ = 0;
        collectedBits_ = 0;
        OnByte(byte, now);
    }
    return level;
}

std::uint8_t SimDevice::FunctionByte(std::uint8_t masterByte, double now, double slotSeconds) {
    if (!out_.empty() && outBit_ == 0) {
        const std::uint8_t byte = out_.front();
        out_.pop_front();
        if (out_.empty()) {
            OnQueueDrained(now + 7 * slotSeconds);
        }
        return byte;
    }
    if (!out_.empty() || collectedBits_ != 0) {
        return SlotsOneByOne(masterByte, now, slotSeconds);
    }
    // The level a device shows while idle can change within a byte (a
    // conversion that ends), so it is asked slot by slot.
    std::uint8_t level = 0;
    for (int bit = 0; bit < 8; ++bit) {
        if (IdleBit(now + bit * slotSeconds)) {
            level = static_cast<std::uint8_t>(level | (1u << bit));
        }
    }
    OnByte(masterByte, now + 7 * slotSeconds);
    return level;
}

std::uint8_t SimDevice::SlotsOneByOne(std::uint8_t masterByte, double now, double slotSeconds) {
    std::uint8_t level = 0;
    for (int bit = 0; bit < 8; ++bit) {
        if (Slot(((masterByte >> bit) & 1) != 0, now + bit * slotSeconds)) {
            level = static_cast<std::uint8_t>(level | (1u << bit));
        }
    }
    return level;
}

}  // namespace qrv::sim
