#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "onewire/port_check.h"
#include "runtime/termios_port.h"
#include "support/fake_serial_port.h"

namespace qrv {
namespace {

using testing::FakeLineState;
using testing::FakePortProvider;

TEST(PortMap, DefaultsAndOverrides) {
    const PortMap defaults;
    EXPECT_EQ(defaults.NameOf(1), "/dev/ttyUSB0");
    EXPECT_EQ(defaults.NameOf(4), "/dev/ttyUSB3");
    EXPECT_EQ(defaults.NameOf(5), "/dev/ttyS0");
    EXPECT_EQ(defaults.NameOf(8), "/dev/ttyS3");
    EXPECT_EQ(defaults.NameOf(0), "");
    EXPECT_EQ(defaults.NameOf(9), "");

    const PortMap map = PortMap::Parse(
        "# station ports\r\nCOM1 = /dev/serial/by-id/usb-FTDI_FT232R-if00-port0\r\n"
        "COM2=simulator:lab.json\nCOM9=/dev/ttyX\ngarbage\nCOM3=\n");
    EXPECT_EQ(map.NameOf(1), "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0");
    EXPECT_EQ(map.NameOf(2), "simulator:lab.json");
    EXPECT_EQ(map.NameOf(3), "/dev/ttyUSB2");  // an empty value keeps the default
    EXPECT_TRUE(IsSimulatorPortName(map.NameOf(2)));
    EXPECT_FALSE(IsSimulatorPortName("/dev/simulator"));
}

TEST(SerialPortProvider, ChoosesTransportByName) {
    PortMap map;
    map.Set(1, "simulator");
    map.Set(2, "/dev/null-device-that-does-not-exist");
    int simulatorsMade = 0;
    SerialPortProvider provider(map, [&](std::string_view name) -> std::unique_ptr<SerialPort> {
        EXPECT_EQ(name, "simulator");
        ++simulatorsMade;
        return std::make_unique<testing::FakeSerialPort>(std::make_shared<FakeLineState>());
    });
    EXPECT_NE(provider.MakePort(1), nullptr);
    EXPECT_EQ(simulatorsMade, 1);
    auto device = provider.MakePort(2);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->Open({}), kSerialCannotOpen);
    EXPECT_EQ(provider.MakePort(9), nullptr);

    SerialPortProvider withoutSimulator(map);
    EXPECT_EQ(withoutSimulator.MakePort(1), nullptr);
}

struct CheckCase {
    FakeLineState::Cts cts;
    int openResult;
    PortCheckResult expected;
    bool poweredAfterwards;
};

class PortCheck : public ::testing::TestWithParam<CheckCase> {};

TEST_P(PortCheck, JudgesTheUnitByItsCtsAnswer) {
    auto state = std::make_shared<FakeLineState>();
    state->cts = GetParam().cts;
    state->openResult = GetParam().openResult;
    FakePortProvider ports(state);
    VirtualClock clock;

    EXPECT_EQ(CheckSerialPortConnection(ports, clock, 1), GetParam().expected);
    EXPECT_FALSE(state->open) << "the check always leaves the port closed";
    EXPECT_EQ(state->rts && state->dtr, GetParam().poweredAfterwards);
    EXPECT_GE(state->closes, 1);
}

INSTANTIATE_TEST_SUITE_P(ModemLines, PortCheck,
                         ::testing::Values(CheckCase{FakeLineState::Cts::FollowsPower, kSerialOk,
                                                     PortCheckResult::kUnitAnswers, true},
                                           CheckCase{FakeLineState::Cts::AlwaysOn, kSerialOk,
                                                     PortCheckResult::kCtsDoesNotFollow, false},
                                           CheckCase{FakeLineState::Cts::AlwaysOff, kSerialOk,
                                                     PortCheckResult::kNoUnit, false},
                                           CheckCase{FakeLineState::Cts::FollowsPower,
                                                     kSerialCannotOpen,
                                                     PortCheckResult::kPortUnusable, true}));

TEST(PortCheck, TakesTheSettlingTimes) {
    auto state = std::make_shared<FakeLineState>();
    FakePortProvider ports(state);
    VirtualClock clock;
    ASSERT_EQ(CheckSerialPortConnection(ports, clock, 1), PortCheckResult::kUnitAnswers);
    EXPECT_DOUBLE_EQ(clock.Timer(), 1.75);  // 3 x 0.5 s settling + 0.25 s after closing
}

TEST(PortCheck, UnmappedPortIsReported) {
    auto state = std::make_shared<FakeLineState>();
    FakePortProvider ports(state);
    VirtualClock clock;
    EXPECT_EQ(CheckSerialPortConnection(ports, clock, 0), PortCheckResult::kPortUnusable);
    EXPECT_EQ(CloseSerialPortConnection(ports, 12), kSerialInvalidPort);
}

TEST(ClosePort, RemovesPowerOrReportsTheOpenError) {
    auto state = std::make_shared<FakeLineState>();
    FakePortProvider ports(state);
    EXPECT_EQ(CloseSerialPortConnection(ports, 2), kSerialOk);
    EXPECT_FALSE(state->rts);
    EXPECT_FALSE(state->dtr);
    EXPECT_FALSE(state->open);

    state->openResult = kSerialCannotOpen;
    EXPECT_EQ(CloseSerialPortConnection(ports, 2), kSerialCannotOpen);
    EXPECT_FALSE(state->open);
}

// The termios code on a real pseudo-terminal pair: bytes both ways, time-outs
// that return instead of hanging, exclusive opening, and no modem lines.
class PseudoTerminal : public ::testing::Test {
  protected:
    void SetUp() override {
        char name[128] = {};
        ASSERT_EQ(::openpty(&master_, &slave_, name, nullptr, nullptr), 0);
        path_ = name;
    }
    void TearDown() override {
        ::close(master_);
        ::close(slave_);
    }
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

TEST_F(PseudoTerminal, TransfersBytesAndTimesOut) {
    TermiosSerialPort port(path_);
    ASSERT_EQ(port.Open({9600, 8, 1, false}), kSerialOk);
    const std::uint8_t out[] = {0xC1, 0xE3, 0x00};
    EXPECT_EQ(port.Write(out), 3);
    std::uint8_t seen[3] = {};
    ASSERT_EQ(::read(master_, seen, 3), 3);
    EXPECT_EQ(seen[1], 0xE3);

    const std::uint8_t reply[] = {0xCD, 0x17};
    ASSERT_EQ(::write(master_, reply, 2), 2);
    std::uint8_t in[4] = {};
    EXPECT_EQ(port.Read(std::span(in, 4), 0.05), 2);  // two arrive, then the time-out ends it
    EXPECT_EQ(in[0], 0xCD);
    EXPECT_EQ(port.Read(std::span(in, 1), 0.02), 0);
    EXPECT_EQ(port.SetBaudRate(115200), kSerialOk);
    EXPECT_EQ(port.SetBaudRate(12345), kSerialBadSettings);
    EXPECT_EQ(port.SetRts(false), kSerialOk);  // nothing to switch on a pseudo-terminal
}

TEST_F(PseudoTerminal, SecondOpenerIsRefused) {
    TermiosSerialPort first(path_);
    TermiosSerialPort second(path_);
    ASSERT_EQ(first.Open({}), kSerialOk);
    EXPECT_EQ(second.Open({}), kSerialCannotOpen);
    first.Close();
    EXPECT_EQ(second.Open({}), kSerialOk);
}

TEST(TermiosPort, ClosedPortRefusesWork) {
    TermiosSerialPort port("/dev/does-not-exist");
    EXPECT_EQ(port.Open({}), kSerialCannotOpen);
    std::uint8_t byte = 0;
    EXPECT_EQ(port.Write(std::span(&byte, 1)), kSerialNotOpen);
    EXPECT_EQ(port.Read(std::span(&byte, 1), 0.01), kSerialNotOpen);
    EXPECT_EQ(port.GetLineStatus(), kSerialNotOpen);
    EXPECT_FALSE(port.HasModemLines());
}

}  // namespace
}  // namespace qrv
