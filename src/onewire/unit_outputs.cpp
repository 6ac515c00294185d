#include "onewire/unit_outputs.h"

#include <algorithm>
#include <array>
#include <optional>

#include "onewire/crc.h"

namespace qrv {

namespace {

constexpr std::uint8_t kMatchRom = 0x55;
constexpr std::uint8_t kWriteStatus = 0x55;
constexpr int kChannelAccess = 0xF5;
// Channel control byte 1: clear activity latches, initial read, interleave,
// channel A, CRC after every byte.
constexpr int kChannelControl1 = 0xD5;
constexpr int kChannelControl2 = 0xFF;
constexpr int kStatusReadWrite = 0x5A;
constexpr int kRedLampLit = 0x20;
constexpr int kRedLampOut = 0xA0;
constexpr int kPioALevelBit = 0x04;
constexpr double kSwitchSettleSeconds = 0.25;

}  // namespace

std::uint8_t Ds2406StatusByte(bool relayOff, bool orangeOff) {
    return static_cast<std::uint8_t>(0x1F | (relayOff ? 0x20 : 0) | (orangeOff ? 0x40 : 0));
}

OutputResult Update2406IO(NodexSession& session) {
    const std::uint8_t status =
        Ds2406StatusByte(session.AlarmRelaisOffState != 0, session.OranjeLedOffState != 0);
    std::array<std::uint8_t, 15> block{};
    block[0] = kMatchRom;
    for (std::size_t i = 0; i < 8; ++i) {
        block[1 + i] = static_cast<std::uint8_t>(session.Nodex2406Rom[i]);
    }
    block[9] = kWriteStatus;
    block[10] = 0x07;
    block[11] = 0x00;
    block[12] = status;
    block[13] = 0xFF;
    block[14] = 0xFF;
    std::uint16_t crc = Crc16(std::span(block).subspan(9, 4));
    if (session.Driver().OwBlockIO(session.Handle(), block) != static_cast<int>(block.size())) {
        return OutputResult::kCutShort;
    }
    crc = DoCRC16(crc, block[13]);
    crc = DoCRC16(crc, block[14]);
    return crc == kCrc16Residue ? OutputResult::kDone : OutputResult::kDamagedData;
}

OutputResult AlarmRelaisOn(NodexSession& session) {
    session.AlarmRelaisOffState = 0;
    return Update2406IO(session);
}

OutputResult AlarmRelaisOff(NodexSession& session) {
    session.AlarmRelaisOffState = 1;
    return Update2406IO(session);
}

OutputResult OranjeLedOn(NodexSession& session) {
    session.OranjeLedOffState = 0;
    return Update2406IO(session);
}

OutputResult OranjeLedOff(NodexSession& session) {
    session.OranjeLedOffState = 1;
    return Update2406IO(session);
}

OutputResult SwitchControlPort2409(NodexSession& session, int on, int coupler) {
    const auto index = static_cast<std::size_t>(std::clamp(coupler, 1, kCouplerCount) - 1);
    if (session.MakeCurrent(session.Nodex2409Rom[index]) != 1) {
        return OutputResult::kNotSelected;
    }
    OneWireDriver& driver = session.Driver();
    if (driver.OwAccess(session.Handle()) != 1) {
        return OutputResult::kNoAnswer;
    }
    driver.OwTouchByte(session.Handle(), kStatusReadWrite);
    driver.OwTouchByte(session.Handle(), on != 0 ? kRedLampLit : kRedLampOut);
    return OutputResult::kDone;
}

void RedLedOn(NodexSession& session) {
    for (int coupler = 1; coupler <= kCouplerCount; ++coupler) {
        SwitchControlPort2409(session, 1, coupler);
    }
}

void RedLedOff(NodexSession& session) {
    for (int coupler = 1; coupler <= kCouplerCount; ++coupler) {
        SwitchControlPort2409(session, 0, coupler);
    }
}

namespace {

// Channel Access on the current DS2406: the channel info byte, or nothing when
// the answer was damaged or cut short.
std::optional<int> ReadChannelInfo(NodexSession& session) {
    OneWireDriver& driver = session.Driver();
    const int handle = session.Handle();
    std::uint16_t crc = 0;
    for (const int byte : {kChannelAccess, kChannelControl1, kChannelControl2}) {
        driver.OwTouchByte(handle, byte);
        crc = DoCRC16(crc, static_cast<std::uint8_t>(byte));
    }
    int info = 0;
    for (int i = 0; i < 4; ++i) {
        const int value = driver.OwTouchByte(handle, 0xFF);
        if (value < 0) {
            return std::nullopt;
        }
        if (i == 0) {
            info = value;
        }
        crc = DoCRC16(crc, static_cast<std::uint8_t>(value));
    }
    if (crc != kCrc16Residue) {
        return std::nullopt;
    }
    return info;
}

}  // namespace

OutputResult ReadUnitOutputStates(NodexSession& session) {
    if (session.MakeCurrent(session.Nodex2406Rom) != 1) {
        return OutputResult::kNotSelected;
    }
    if (session.Driver().OwAccess(session.Handle()) != 1) {
        return OutputResult::kNoAnswer;
    }
    const std::optional<int> info = ReadChannelInfo(session);
    if (!info) {
        return OutputResult::kDamagedData;
    }
    // Info bits 0 and 1 are the PIO-A and PIO-B flip-flops; 1 = output off.
    session.AlarmRelaisOffState = (*info & 0x01) != 0 ? 1 : 0;
    session.OranjeLedOffState = (*info & 0x02) != 0 ? 1 : 0;
    return OutputResult::kDone;
}

Reading Get2406PioWaarde(NodexSession& session, int line, const RomCode& rom, SwitchPause pause) {
    session.SelectLine(line);
    if (session.MakeCurrent(rom) != 1) {
        return Reading::Failed(ProbeFault::kNotSelected);
    }
    if (session.Driver().OwAccess(session.Handle()) != 1) {
        return Reading::Failed(ProbeFault::kNoAnswer);
    }
    const std::optional<int> info = ReadChannelInfo(session);
    if (!info) {
        return Reading::Failed(ProbeFault::kDamagedData);
    }
    const double level = (*info & kPioALevelBit) != 0 ? 1.0 : 0.0;
    if (pause == SwitchPause::kAfterReading) {
        session.ReadingWait(kSwitchSettleSeconds);
    }
    return Reading::Of(level);
}

int Toggle2405Pio(NodexSession& session) {
    OneWireDriver& driver = session.Driver();
    const int handle = session.Handle();
    int result = 0;
    for (int line = 1; line <= kCouplerCount; ++line) {
        session.SelectLine(line);
        driver.OwFamilySearchSetup(handle, kFamilyDs2405);
        result = driver.OwNext(handle);
        if (result != 1) {
            continue;
        }
        RomCode rom{};
        result = driver.OwRom(handle, rom);
        if (result == 1 && rom[0] == kFamilyDs2405) {
            // Match ROM alone toggles a DS2405's output.
            result = driver.OwAccess(handle);
        }
    }
    return result;
}

}  // namespace qrv
