// The simulated DS2480B, byte by byte, against the datasheet's replies.
#include <gtest/gtest.h>

#include "sim/ds2480b_chip.h"

namespace qrv::sim {
namespace {

// A bus with one device that answers presence and reads back a fixed pattern.
class FakeBus final : public SimBus {
  public:
    ResetOutcome BusReset(double) override {
        ++resets;
        return outcome;
    }
    bool BusSlot(bool masterBit, double) override {
        written.push_back(masterBit);
        return masterBit && (pulls.empty() || !pulls[(written.size() - 1) % pulls.size()]);
    }
    void BeginByte() override {}
    void StrongPullUp(bool on, double now) override { pullUps.emplace_back(on, now); }

    std::vector<std::pair<bool, double>> pullUps;
    ResetOutcome outcome = ResetOutcome::kPresence;
    std::vector<bool> pulls;  // slots in which the device pulls the bus low, cyclic
    std::vector<bool> written;
    int resets = 0;
};

std::vector<std::uint8_t> Send(Ds2480bChip& chip, std::initializer_list<std::uint8_t> bytes) {
    std::vector<std::uint8_t> replies;
    for (const std::uint8_t byte : bytes) {
        if (const auto reply = chip.Receive(byte, 0).reply) {
            replies.push_back(*reply);
        }
    }
    return replies;
}

using Bytes = std::vector<std::uint8_t>;

TEST(Ds2480bChip, CalibrationByteIsSwallowedAndResetsAnswerWithTheBusState) {
    FakeBus bus;
    Ds2480bChip chip(bus);
    EXPECT_EQ(Send(chip, {0xC1}), Bytes{});
    EXPECT_EQ(bus.resets, 0);
    EXPECT_EQ(Send(chip, {0xC1, 0xC5}), (Bytes{0xCD, 0xCD}));
    bus.outcome = SimBus::ResetOutcome::kNone;
    EXPECT_EQ(Send(chip, {0xC5}), Bytes{0xCF});
    bus.outcome = SimBus::ResetOutcome::kShort;
    EXPECT_EQ(Send(chip, {0xC5}), Bytes{0xCC});
}

TEST(Ds2480bChip, ModeSwitchesAreSilentAndE3TwiceIsOneDataByte) {
    FakeBus bus;
    Ds2480bChip chip(bus);
    Send(chip, {0xC1});
    EXPECT_EQ(Send(chip, {0xE1}), Bytes{});
    EXPECT_TRUE(chip.InDataMode());
    EXPECT_EQ(Send(chip, {0x55, 0xE3, 0xE3}), (Bytes{0x55, 0xE3}));
    EXPECT_EQ(bus.written.size(), 16u);
    // E3 then a command: back in command mode, the command runs.
    EXPECT_EQ(Send(chip, {0xE3, 0xC5}), Bytes{0xCD});
    EXPECT_FALSE(chip.InDataMode());
}

TEST(Ds2480bChip, SingleBitsEchoTheCommandWithTheSampledBit) {
    FakeBus bus;
    Ds2480bChip chip(bus);
    Send(chip, {0xC1});
    EXPECT_EQ(Send(chip, {0x91}), Bytes{0x93});
    EXPECT_EQ(Send(chip, {0x81}), Bytes{0x80});
    bus.pulls = {true};
    EXPECT_EQ(Send(chip, {0x95}), Bytes{0x94});
}

TEST(Ds2480bChip, ConfigurationWritesEchoAndReadsReportTheValue) {
    FakeBus bus;
    Ds2480bChip chip(bus);
    Send(chip, {0xC1});
    EXPECT_EQ(Send(chip, {0x17, 0x45, 0x5B, 0x0F}), (Bytes{0x16, 0x44, 0x5A, 0x00}));
    EXPECT_EQ(Send(chip, {0x03, 0x09, 0x0B}), (Bytes{0x06, 0x04, 0x0A}));
    EXPECT_EQ(chip.Parameter(1), 3);
    // Flexible speed stretches the slot by the write-1 low time and the offset.
    Send(chip, {0xC5});
    EXPECT_NEAR(chip.SlotSeconds(), 67e-6, 1e-12);
    // A break (master reset) brings back the defaults.
    chip.MasterReset();
    Send(chip, {0xC1});
    EXPECT_EQ(Send(chip, {0x03}), Bytes{0x00});
}

TEST(Ds2480bChip, BaudRateChangeTakesEffectAfterTheEcho) {
    FakeBus bus;
    Ds2480bChip chip(bus);
    Send(chip, {0xC1});
    EXPECT_EQ(chip.BaudRate(), 9600);
    EXPECT_EQ(Send(chip, {0x77}), Bytes{0x76});
    EXPECT_EQ(chip.BaudRate(), 115200);
    EXPECT_EQ(Send(chip, {0x0F}), Bytes{0x06});
}

TEST(Ds2480bChip, SearchAcceleratorTakesTheHostsChoiceOnlyAtDiscrepancies) {
    FakeBus bus;
    Ds2480bChip chip(bus);
    Send(chip, {0xC1, 0xB5, 0xE1});
    // Four ROM bits, three slots each: (id, complement, direction).
    // Bit 0: both read 0 (discrepancy); bits 1-3: the device sends 1 then 0.
    bus.pulls = {true, true, false, false, true, false, false, true, false, false, true, false};
    // Host chooses 1 for bit 0 (at bit position 1 of the byte).
    const Bytes reply = Send(chip, {0x02});
    ASSERT_EQ(reply.size(), 1u);
    EXPECT_EQ(reply[0], 0xAB);  // d0 = 1, r0 = 1, then r = 1 without discrepancy
    EXPECT_EQ(bus.written[2], true);
}

}  // namespace
}  // namespace qrv::sim

namespace qrv::sim {
namespace {

TEST(Ds2480bChipFlush, AHostFlushEndsOnlyACompletedSearchPass) {
    FakeBus bus;
    Ds2480bChip chip(bus);
    Send(chip, {0xC1, 0xB5, 0xE1});
    for (int i = 0; i < 15; ++i) {
        Send(chip, {0x00});
    }
    // Fifteen bytes are not a pass: the host may still be sending.
    EXPECT_FALSE(chip.HostFlushedOutput());
    EXPECT_TRUE(chip.InDataMode());
    Send(chip, {0x00});
    EXPECT_TRUE(chip.HostFlushedOutput());
    EXPECT_FALSE(chip.InDataMode());
    EXPECT_FALSE(chip.SearchAcceleratorOn());
    // Plain data mode is left alone: a host may flush between data bytes.
    Send(chip, {0xE1, 0x55});
    EXPECT_FALSE(chip.HostFlushedOutput());
    EXPECT_TRUE(chip.InDataMode());
}

TEST(Ds2480bChipCounters, EveryByteIsCountedInItsCommandClass) {
    FakeBus bus;
    Ds2480bChip chip(bus);
    std::array<int, kByteClassCount> seen{};
    for (const std::uint8_t byte : {0xC1, 0xC5, 0x17, 0x0F, 0x95, 0xB5, 0xE1, 0x00, 0xE3, 0xA5,
                                    0xE1, 0x55, 0xE3, 0xE3, 0xE3, 0xC5}) {
        ++seen[static_cast<std::size_t>(chip.Receive(byte, 0).kind)];
    }
    const auto count = [&](ByteClass kind) { return seen[static_cast<std::size_t>(kind)]; };
    EXPECT_EQ(count(ByteClass::kCalibration), 1);
    EXPECT_EQ(count(ByteClass::kReset), 2);
    EXPECT_EQ(count(ByteClass::kConfiguration), 2);
    EXPECT_EQ(count(ByteClass::kSingleBit), 1);
    EXPECT_EQ(count(ByteClass::kSearchSwitch), 2);
    EXPECT_EQ(count(ByteClass::kSearchData), 1);
    // E1, E3 (leave), E1, E3 (escape); the E3 after it is data.
    EXPECT_EQ(count(ByteClass::kModeSwitch), 5);
    EXPECT_EQ(count(ByteClass::kData), 2);
}

TEST(Ds2480bChip, AnInfinitePullUpAfterABitHoldsTheBusUntilF1AndAnyOtherCommandEndsIt) {
    FakeBus bus;
    Ds2480bChip chip(bus);
    Send(chip, {0xC1});
    // SPUD infinite, then Convert T (44h) bit by bit, the last bit with P = 1.
    EXPECT_EQ(Send(chip, {0x3F}), Bytes{0x3E});
    EXPECT_EQ(Send(chip, {0x85, 0x85, 0x95, 0x85, 0x85, 0x85, 0x95, 0x87}),
              (Bytes{0x84, 0x84, 0x97, 0x84, 0x84, 0x84, 0x97, 0x84}));
    ASSERT_EQ(bus.pullUps.size(), 1u);
    EXPECT_TRUE(bus.pullUps[0].first);
    EXPECT_TRUE(chip.PullingUp());
    // F1 ends it with the pulse reply (bits 7:5 set); a second F1 is silent.
    EXPECT_EQ(chip.Receive(0xF1, 0.8).reply.value_or(0) & 0xE0, 0xE0);
    ASSERT_EQ(bus.pullUps.size(), 2u);
    EXPECT_EQ(bus.pullUps[1], std::make_pair(false, 0.8));
    EXPECT_EQ(Send(chip, {0xF1}), Bytes{});

    Send(chip, {0x87});
    EXPECT_TRUE(chip.PullingUp());
    EXPECT_EQ(Send(chip, {0xC5}), Bytes{0xCD});
    EXPECT_FALSE(chip.PullingUp());
    EXPECT_FALSE(bus.pullUps.back().first);

    // A timed pull-up (SPUD 524 ms) ends by itself and keeps the bus as long.
    Send(chip, {0x39});
    const Ds2480bChip::Result timed = chip.Receive(0x87, 1.0);
    EXPECT_FALSE(chip.PullingUp());
    EXPECT_NEAR(timed.busSeconds, 0.0164 * 16 + chip.SlotSeconds(), 1e-9);
    EXPECT_EQ(bus.pullUps.back(), std::make_pair(false, 1.0 + timed.busSeconds));
}

}  // namespace
}  // namespace qrv::sim
