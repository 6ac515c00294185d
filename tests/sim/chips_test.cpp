// The simulated chips at the level of bytes through the simulated bridge,
// each behaviour checked against the datasheet sentence it implements.
#include <gtest/gtest.h>

#include "onewire/crc.h"
#include "sim/humidity_probe.h"
#include "sim/nodex_unit.h"
#include "sim/sim_serial_port.h"
#include "sim/switch_devices.h"
#include "sim/temperature_probe.h"

namespace qrv::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A host talking DS2480B to a unit: command mode between calls.
class Host {
  public:
    explicit Host(const std::shared_ptr<SimulatedNodex>& unit) : port_(unit, clock_) {
        EXPECT_EQ(port_.Open(SerialSettings{}), 0);
        Calibrate();
    }
    void Calibrate() {
        port_.SendBreak(0.004);
        port_.Write(Bytes{0xC1});
        clock_.Advance(0.01);
        port_.FlushInput();
    }
    std::uint8_t Reset() { return Exchange({0xC5}, 1).at(0); }
    // Data bytes on the bus (FF reads); the bytes that came back.
    Bytes Data(const Bytes& bytes) {
        Bytes out{0xE1};
        for (const std::uint8_t byte : bytes) {
            out.push_back(byte);
            if (byte == 0xE3) {
                out.push_back(byte);
            }
        }
        out.push_back(0xE3);
        return Exchange(out, bytes.size());
    }
    bool Bit(bool value) {
        return (Exchange({value ? std::uint8_t{0x95} : std::uint8_t{0x85}}, 1).at(0) & 1) != 0;
    }
    // Every ROM a search with `command` (F0 or EC) finds, bit by bit.
    std::vector<Rom> Search(std::uint8_t command) {
        std::vector<Rom> found;
        Rom last{};
        int lastDiscrepancy = 0;
        do {
            if ((Reset() & 3) != 1) {
                break;
            }
            Data({command});
            Rom rom{};
            int lastZero = 0;
            for (int n = 0; n < 64; ++n) {
                const bool id = Bit(true);
                const bool complement = Bit(true);
                if (id && complement) {
                    return found;
                }
                bool direction = id;
                if (id == complement) {
                    direction = n + 1 < lastDiscrepancy ? ((last[n / 8] >> (n % 8)) & 1) != 0
                                                        : n + 1 == lastDiscrepancy;
                    if (!direction) {
                        lastZero = n + 1;
                    }
                }
                Bit(direction);
                rom[n / 8] = static_cast<std::uint8_t>(rom[n / 8] | (direction ? 1 << (n % 8) : 0));
            }
            found.push_back(rom);
            last = rom;
            lastDiscrepancy = lastZero;
        } while (lastDiscrepancy != 0 && found.size() < 32);
        return found;
    }
    Bytes Select(const Rom& rom) {
        // Sized first: g++ 12 at -O3 warns falsely (-Warray-bounds) when a
        // one-byte vector is extended.
        Bytes bytes(1 + rom.size(), 0x55);
        std::copy(rom.begin(), rom.end(), bytes.begin() + 1);
        return bytes;
    }
    VirtualClock& Clock() { return clock_; }

  private:
    Bytes Exchange(const Bytes& out, std::size_t replies) {
        port_.Write(out);
        Bytes in(replies);
        const int n = port_.Read(in, 0.5);
        in.resize(static_cast<std::size_t>(std::max(n, 0)));
        return in;
    }

    VirtualClock clock_;
    SimulatedSerialPort port_;
};

Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct Unit {
    Unit() : unit(std::make_shared<SimulatedNodex>(MakeRom(0x12, 0x10), couplers)) {
        std::sort(couplers.begin(), couplers.end(), SearchOrderLess);
        line1 = {MakeRom(0x28, 0x21), MakeRom(0x28, 0x22)};
        for (const Rom& rom : line1) {
            unit->AddLineDevice(1, std::make_unique<TemperatureProbe>(
                                       rom, TemperatureProbe::Model::kDs18b20, ValueModel(12.5)));
        }
    }
    std::vector<Rom> couplers{MakeRom(0x1F, 1), MakeRom(0x1F, 2), MakeRom(0x1F, 3)};
    std::shared_ptr<SimulatedNodex> unit;
    std::vector<Rom> line1;
};

TEST(Ds2409SmartOn, ResetsTheBranchReportsItsPresenceAndLetsTheNextRomCommandReachOnlyIt) {
    Unit u;
    Host host(u.unit);
    // "This command generates a reset/presence sequence on the selected
    // output": the master sends the reset stimulus FFh and reads the
    // presence byte, then the confirmation CCh.
    ASSERT_EQ(host.Reset(), 0xCD);
    EXPECT_EQ(host.Data(Concat(host.Select(u.couplers[0]), {0xCC, 0xFF, 0xFF, 0xFF})),
              Concat(host.Select(u.couplers[0]), {0xCC, 0xFF, 0x00, 0xCC}));
    EXPECT_TRUE(u.unit->LineConnected(1));
    // A ROM command at once, without a reset: only the freshly reset branch
    // answers, the trunk still waits for a reset after the Match ROM.
    const Bytes readRom = host.Data({0x33, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
    ASSERT_EQ(readRom.size(), 9u);
    Rom collided{};
    for (std::size_t i = 0; i < 8; ++i) {
        collided[i] = static_cast<std::uint8_t>(u.line1[0][i] & u.line1[1][i]);
    }
    EXPECT_EQ(Bytes(readRom.begin() + 1, readRom.end()), Bytes(collided.begin(), collided.end()));

    // A branch with nothing on it: presence byte FFh.
    ASSERT_EQ(host.Reset(), 0xCD);
    const Bytes empty = host.Data(Concat(host.Select(u.couplers[1]), {0xCC, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(Bytes(empty.end() - 2, empty.end()), (Bytes{0xFF, 0xCC}));
    // "Switching one branch on implies that the other branch is automatically
    // switched off" holds per coupler; line 1 stays on through its own coupler.
    EXPECT_TRUE(u.unit->LineConnected(2));
}

TEST(Ds2409SmartOn, ASearchRightAfterSmartOnFindsTheLine) {
    Unit u;
    Host host(u.unit);
    ASSERT_EQ(host.Reset(), 0xCD);
    host.Data(Concat(host.Select(u.couplers[0]), {0xCC, 0xFF, 0xFF, 0xFF}));
    // The search that follows begins with its own reset: trunk and line answer.
    std::vector<Rom> found = host.Search(0xF0);
    std::vector<Rom> expected = u.couplers;
    expected.push_back(MakeRom(0x12, 0x10));
    expected.insert(expected.end(), u.line1.begin(), u.line1.end());
    std::sort(expected.begin(), expected.end(), SearchOrderLess);
    EXPECT_EQ(found, expected);
}

TEST(Ds2409Commands, EachSwitchIsConfirmedByItsCommandCodeAndOnlyByAnAddressedCoupler) {
    Unit u;
    Host host(u.unit);
    // "Direct-On Main", "All Lines Off" and "Discharge Lines": after the
    // command code the coupler sends it back as the confirmation byte.
    for (const std::uint8_t command : {0xA5, 0x66, 0xA5, 0x99, 0x66}) {
        SCOPED_TRACE(static_cast<int>(command));
        ASSERT_EQ(host.Reset(), 0xCD);
        EXPECT_EQ(host.Data(Concat(host.Select(u.couplers[0]), {command, 0xFF, 0xFF})),
                  Concat(host.Select(u.couplers[0]), {command, command, 0xFF}));
        EXPECT_EQ(u.unit->LineConnected(1), command == 0xA5);
    }
    // Status read (control byte FFh changes nothing): the status byte twice.
    ASSERT_EQ(host.Reset(), 0xCD);
    const Bytes status = host.Data(Concat(host.Select(u.couplers[0]), {0x5A, 0xFF, 0xFF, 0xFF}));
    ASSERT_EQ(status.size(), 13u);
    EXPECT_EQ(status[11], status[12]);
    EXPECT_EQ(status[11] & 0x01, 0x01) << "main output inactive";

    // A ROM of no device: the trunk answers the reset, Match ROM only writes,
    // and the command reads back as sent; nobody confirms it.
    const Rom nobody = MakeRom(0x1F, 0x99);
    ASSERT_EQ(host.Reset(), 0xCD);
    EXPECT_EQ(host.Data(Concat(host.Select(nobody), {0xA5, 0xFF})),
              Concat(host.Select(nobody), {0xA5, 0xFF}));
    EXPECT_FALSE(u.unit->LineConnected(1));
    // Another coupler's ROM switches only that one.
    ASSERT_EQ(host.Reset(), 0xCD);
    EXPECT_EQ(host.Data(Concat(host.Select(u.couplers[2]), {0xA5, 0xFF})).back(), 0xA5);
    EXPECT_FALSE(u.unit->LineConnected(1));
    EXPECT_TRUE(u.unit->LineConnected(3));
}

TEST(Ds2409Short, AShortedLineShortsTheTrunkOnlyWhileConnectedAndPowerOnFreesIt) {
    Unit u;
    u.unit->AddFault({FaultKind::kShort, {}, 1, 0, 1e9});
    Host host(u.unit);
    // "Keeps inactive branches pulled high": a disconnected short leaves the
    // trunk alone, and "voltage sensed at main output" reads low.
    ASSERT_EQ(host.Reset(), 0xCD);
    const Bytes status = host.Data(Concat(host.Select(u.couplers[0]), {0x5A, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(status.back() & 0x03, 0x01);
    // The coupler "connects its output ports to the incoming 1-Wire line using
    // transmission gates": once on, the short is on the trunk.
    ASSERT_EQ(host.Reset(), 0xCD);
    host.Data(Concat(host.Select(u.couplers[0]), {0xA5, 0xFF}));
    EXPECT_EQ(host.Reset(), 0xCC);
    EXPECT_EQ(host.Data(Concat(host.Select(u.couplers[0]), {0x66, 0xFF})).back(), 0x00);
    EXPECT_EQ(host.Reset(), 0xCC);
    // "At power-on, the device will automatically perform the All Lines Off
    // command."
    u.unit->SetModemLines(false, false, host.Clock().Timer());
    host.Clock().Advance(0.5);
    u.unit->SetModemLines(true, true, host.Clock().Timer());
    host.Calibrate();
    EXPECT_EQ(host.Reset(), 0xCD);
    EXPECT_FALSE(u.unit->LineConnected(1));
}

TEST(Ds2438ConvertV, TakesTheInputFromTheStatusByteAsWrittenWithoutACopy) {
    auto unit = std::make_shared<SimulatedNodex>(MakeRom(0x12, 0x10), std::vector<Rom>{});
    const Rom rom = MakeRom(0x26, 0x31);
    auto probe =
        std::make_unique<HumidityProbe>(rom, ValueModel(50.0), ValueModel(20.0), ValueModel(5.0));
    probe->SetVad(ValueModel(2.34));
    unit->AddTrunkDevice(std::move(probe));
    Host host(unit);
    const auto voltageAfter = [&](std::uint8_t config) {
        host.Reset();
        host.Data(Concat(host.Select(rom), {0x4E, 0x00, config}));
        host.Reset();
        host.Data(Concat(host.Select(rom), {0xB4}));
        host.Clock().Advance(0.02);
        host.Reset();
        host.Data(Concat(host.Select(rom), {0xB8, 0x00}));
        host.Reset();
        const Bytes page =
            host.Data(Concat(host.Select(rom), Bytes{0xBE, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                     0xFF, 0xFF, 0xFF}));
        EXPECT_EQ(Crc8(std::span(page).last(9)), 0);
        return (page[page.size() - 5] * 256 + page[page.size() - 6]) / 100.0;
    };
    // "The voltage supply that is measured is defined by the AD bit of the
    // Status/Configuration register."
    EXPECT_NEAR(voltageAfter(0x00), 2.34, 0.005);
    EXPECT_NEAR(voltageAfter(0x08), 5.00, 0.005);
}

TEST(Ds2405, SkipRomCausesNoActivityAndMatchRomToggles) {
    auto unit = std::make_shared<SimulatedNodex>(MakeRom(0x12, 0x10), std::vector<Rom>{});
    const Rom rom = MakeRom(0x05, 0x41);
    auto device = std::make_unique<Ds2405Switch>(rom);
    Ds2405Switch* ds2405 = device.get();
    unit->AddTrunkDevice(std::move(device));
    Host host(unit);
    host.Reset();
    host.Data({0xCC});
    EXPECT_EQ(ds2405->Toggles(), 0);
    host.Reset();
    host.Data(host.Select(rom));
    EXPECT_EQ(ds2405->Toggles(), 1);
    EXPECT_TRUE(ds2405->TransistorOn());
}

struct SwitchOnTrunk {
    SwitchOnTrunk()
        : unit(std::make_shared<SimulatedNodex>(MakeRom(0x12, 0x10), std::vector<Rom>{})) {
        auto device = std::make_unique<Ds2406Switch>(rom, ValueModel(1.0));
        ds2406 = device.get();
        unit->AddTrunkDevice(std::move(device));
    }
    Rom rom = MakeRom(0x12, 0x51);
    std::shared_ptr<SimulatedNodex> unit;
    Ds2406Switch* ds2406 = nullptr;
};

TEST(Ds2406, JoinsTheConditionalSearchByItsStatusByteSeven) {
    SwitchOnTrunk s;
    Host host(s.unit);
    // Power-on: "CSS channel 11 (A or B), source 11 (PIO level), polarity 1":
    // a pulled-up PIO joins. The unit's own DS2406 joins as well.
    EXPECT_EQ(host.Search(0xEC).size(), 2u);
    // Channel A, source PIO level, polarity 0: join only while A reads low.
    host.Reset();
    host.Data(Concat(host.Select(s.rom), {0x55, 0x07, 0x00, 0x7E & 0x6E, 0xFF, 0xFF}));
    std::vector<Rom> found = host.Search(0xEC);
    EXPECT_EQ(std::count(found.begin(), found.end(), s.rom), 0);
    s.ds2406->SetInputA(ValueModel(0.0));
    found = host.Search(0xEC);
    EXPECT_EQ(std::count(found.begin(), found.end(), s.rom), 1);
    // "CSS4:3 = 00 means it never joins."
    host.Reset();
    host.Data(Concat(host.Select(s.rom), {0x55, 0x07, 0x00, 0x66, 0xFF, 0xFF}));
    found = host.Search(0xEC);
    EXPECT_EQ(std::count(found.begin(), found.end(), s.rom), 0);
}

TEST(Ds2406, ChannelAccessFollowsChannelCrcAndToggleBits) {
    SwitchOnTrunk s;
    Host host(s.unit);
    s.ds2406->SetInputA(ValueModel(0.0));
    // Read channel B only, no CRC: info byte, then B's level in every bit.
    host.Reset();
    Bytes reply = host.Data(Concat(host.Select(s.rom), {0xF5, 0x48, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(Bytes(reply.end() - 2, reply.end()), (Bytes{0xFF, 0xFF}));
    // Both channels, interleaved A first: A low, B high.
    host.Reset();
    reply = host.Data(Concat(host.Select(s.rom), {0xF5, 0x4C, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(reply.back(), 0xAA);
    // Write channel A with a CRC after every byte, toggling to read after it:
    // "A written bit goes into the flip-flop", then the inverted CRC16 of
    // command, control bytes, info byte and the written byte.
    host.Reset();
    reply = host.Data(Concat(host.Select(s.rom), {0xF5, 0x25, 0xFF, 0xFF, 0x00, 0xFF, 0xFF, 0xFF}));
    EXPECT_TRUE(s.ds2406->OutputAOn());
    const Bytes block(reply.begin() + 9, reply.begin() + 16);
    EXPECT_EQ(Crc16(block), kCrc16Residue);
    // Toggled to read: channel A's level, now pulled low by its own transistor.
    EXPECT_EQ(reply.back(), 0x00);
}

}  // namespace
}  // namespace qrv::sim
