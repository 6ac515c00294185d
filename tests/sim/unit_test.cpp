// The simulated unit at its serial port: timing, power, faults, network files.
#include <gtest/gtest.h>

#include <algorithm>

#include <nlohmann/json.hpp>

#include "onewire/crc.h"
#include "sim/network_file.h"
#include "sim/sim_serial_port.h"
#include "sim/temperature_probe.h"
#include "support/temp_dir.h"

namespace qrv::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::TempDir;
using testing::WriteBytes;

Bytes Exchange(SerialPort& port, const Bytes& out, std::size_t replies) {
    port.Write(out);
    Bytes in(replies);
    const int n = port.Read(in, 0.1);
    in.resize(static_cast<std::size_t>(std::max(n, 0)));
    return in;
}

struct PortOnSample {
    PortOnSample() : unit(MakeSampleNetwork()), port(unit, clock) {
        EXPECT_EQ(port.Open(SerialSettings{}), 0);
        port.SendBreak(0.004);
        port.Write(Bytes{0xC1});
        clock.Advance(0.01);
        port.FlushInput();
    }
    VirtualClock clock;
    std::shared_ptr<SimulatedNodex> unit;
    SimulatedSerialPort port;
};

TEST(SimulatedPort, EveryCharacterAndResetCostsItsTimeAt9600Baud) {
    PortOnSample s;
    const double start = s.clock.Timer();
    EXPECT_EQ(Exchange(s.port, {0xC5}, 1), Bytes{0xCD});
    // One character in, the reset on the bus, one character back.
    EXPECT_NEAR(s.clock.Timer() - start, 2 * 10.0 / 9600 + 0.001096, 1e-6);

    // Streamed bytes overlap: ten data bytes take about eleven characters.
    const double streamStart = s.clock.Timer();
    EXPECT_EQ(
        Exchange(s.port, {0xE1, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 9).size(),
        9u);
    EXPECT_LT(s.clock.Timer() - streamStart, 12 * 10.0 / 9600);
    EXPECT_EQ(s.unit->BytesFromHost(), 12u);
    EXPECT_EQ(s.unit->BytesToHost(), 10u);
}

TEST(SimulatedPort, ASilentUnitCostsExactlyTheTimeOut) {
    PortOnSample s;
    s.unit->AddFault({FaultKind::kUnplugged, {}, 0, s.clock.Timer(), 1e9});
    const double start = s.clock.Timer();
    Bytes in(1);
    s.port.Write(Bytes{0xC5});
    EXPECT_EQ(s.port.Read(in, 0.25), 0);
    EXPECT_NEAR(s.clock.Timer() - start, 0.25, 1e-6);
    EXPECT_EQ(s.port.GetLineStatus() & kLineStatusCts, 0);
}

TEST(SimulatedPort, CtsFollowsRtsAndDtrAndPowerComesBackReset) {
    PortOnSample s;
    EXPECT_NE(s.port.GetLineStatus() & kLineStatusCts, 0);
    s.port.SetRts(false);
    EXPECT_EQ(s.port.GetLineStatus() & kLineStatusCts, 0);
    s.port.SetRts(true);
    s.port.SetDtr(false);
    EXPECT_EQ(s.port.GetLineStatus() & kLineStatusCts, 0);
    s.port.SetDtr(true);
    EXPECT_NE(s.port.GetLineStatus() & kLineStatusCts, 0);
    // After power-on the bridge waits for its calibration byte again.
    EXPECT_EQ(Exchange(s.port, {0xC5}, 1), Bytes{});
    EXPECT_EQ(Exchange(s.port, {0xC5}, 1), Bytes{0xCD});
}

TEST(SimulatedPort, TheLinkIsExclusiveAndTheRegistryKeepsOneUnitPerName) {
    VirtualClock clock;
    SimulatorRegistry registry(clock);
    auto first = registry.MakePort("simulator");
    auto second = registry.MakePort("simulator");
    ASSERT_TRUE(first && second);
    EXPECT_EQ(registry.Unit("simulator"), registry.Unit("simulator"));
    EXPECT_EQ(first->Open(SerialSettings{}), 0);
    EXPECT_EQ(second->Open(SerialSettings{}), kSerialCannotOpen);
    first->Close();
    EXPECT_EQ(second->Open(SerialSettings{}), 0);
    EXPECT_EQ(registry.MakePort("simulator:/nonexistent/net.json"), nullptr);
    EXPECT_NE(registry.LastError().find("/nonexistent/net.json"), std::string::npos);
}

TEST(SimulatedPort, ANetworkFilesTimesCountFromTheUnitsStartNotTheClocksOrigin) {
    VirtualClock clock;
    clock.Advance(50000.0);  // a machine that has been up for half a day
    SimulatorRegistry registry(clock);
    registry.Install("simulator:drill", BuildNetwork(nlohmann::json::parse(
                                            R"({"lines": [[], [], []],
                             "faults": [{"kind": "unplugged", "from": 60, "until": 120}]})")));
    auto port = registry.MakePort("simulator:drill");
    ASSERT_EQ(port->Open(SerialSettings{}), 0);
    EXPECT_EQ(port->GetLineStatus() & kLineStatusCts, kLineStatusCts);
    clock.Advance(70.0);
    EXPECT_EQ(port->GetLineStatus() & kLineStatusCts, 0);
    clock.Advance(60.0);
    EXPECT_EQ(port->GetLineStatus() & kLineStatusCts, kLineStatusCts);
}

TEST(SimulatedPort, AHostAtTheWrongBaudRateGetsNothing) {
    PortOnSample s;
    EXPECT_EQ(Exchange(s.port, {0x77}, 1), Bytes{});  // the echo already leaves at 115200
    s.port.SetBaudRate(115200);
    EXPECT_EQ(Exchange(s.port, {0x0F}, 1), Bytes{0x06});
    s.port.SendBreak(0.004);  // back to 9600
    s.port.SetBaudRate(9600);
    EXPECT_EQ(Exchange(s.port, {0xC1, 0x0F}, 1), Bytes{0x00});
}

TEST(SimulatedPort, AShortThatBeginsWithinAWriteTakesTheBusAtItsByte) {
    PortOnSample host;
    const double from = host.clock.Timer() + 0.02;
    host.unit->AddFault({FaultKind::kShort, {}, 0, from, 1e9});
    // Forty bytes in one write: about 42 ms on the line, the short after 20.
    Bytes out{0xE1};
    out.resize(41, 0xFF);
    const Bytes in = Exchange(host.port, out, 40);
    ASSERT_EQ(in.size(), 40u);
    const auto firstLow = std::find(in.begin(), in.end(), 0x00);
    ASSERT_NE(firstLow, in.end()) << "the short was never seen";
    EXPECT_GT(firstLow - in.begin(), 10);
    EXPECT_TRUE(std::all_of(in.begin(), firstLow, [](std::uint8_t b) { return b == 0xFF; }));
    EXPECT_TRUE(std::all_of(firstLow, in.end(), [](std::uint8_t b) { return b == 0x00; }));
}

TEST(SimulatedPort, TheOutputHistoryKeepsOnlyTheLatestSwitches) {
    PortOnSample host;
    const Rom ds2406 = host.unit->Ds2406Rom();
    // The relay on and off by Write Status, more often than the history holds.
    const int switches = static_cast<int>(SimulatedNodex::kOutputHistoryEvents) + 300;
    double firstSwitch = 0;
    for (int i = 0; i < switches; ++i) {
        Bytes out{0xC5, 0xE1, 0x55};
        out.insert(out.end(), ds2406.begin(), ds2406.end());
        const std::uint8_t status = i % 2 == 0 ? 0x5F : 0x7F;
        out.insert(out.end(), {0x55, 0x07, 0x00, status, 0xFF, 0xFF, 0xE3});
        ASSERT_EQ(Exchange(host.port, out, 1 + 9 + 4 + 2).size(), 16u);
        if (i == 0) {
            firstSwitch = host.clock.Timer();
        }
    }
    const std::vector<OutputEvent> history = host.unit->OutputHistory();
    ASSERT_EQ(history.size(), SimulatedNodex::kOutputHistoryEvents);
    EXPECT_GT(history.front().time, firstSwitch) << "the oldest switches went";
    EXPECT_TRUE(
        std::is_sorted(history.begin(), history.end(),
                       [](const OutputEvent& a, const OutputEvent& b) { return a.time < b.time; }));
    EXPECT_EQ(history.back().output, UnitOutput::kRelay);
    EXPECT_EQ(history.back().on, host.unit->RelayOn());
    EXPECT_EQ(history.back().on, switches % 2 == 1);
}

TEST(TemperatureProbeModel, EncodingsMatchTheDatasheetPowerOnBytes) {
    const auto b20 = TemperatureProbe::EncodeTemperature(TemperatureProbe::Model::kDs18b20, 85.0,
                                                         0x4B, 0x46, 0x7F);
    EXPECT_EQ(b20[0], 0x50);
    EXPECT_EQ(b20[1], 0x05);
    const auto s20 = TemperatureProbe::EncodeTemperature(TemperatureProbe::Model::kDs18s20, 85.0,
                                                         0x4B, 0x46, 0x7F);
    EXPECT_EQ((std::vector<std::uint8_t>(s20.begin(), s20.end())),
              (std::vector<std::uint8_t>{0xAA, 0x00, 0x4B, 0x46, 0xFF, 0xFF, 0x0C, 0x10}));
    const auto negative =
        TemperatureProbe::EncodeTemperature(TemperatureProbe::Model::kDs18b20, -10.125, 0, 0, 0x7F);
    EXPECT_EQ(negative[0], 0x5E);
    EXPECT_EQ(negative[1], 0xFF);
    // The count registers carry the fraction: 25.3 °C as 25 - 0.25 + 9/16.
    const auto frac =
        TemperatureProbe::EncodeTemperature(TemperatureProbe::Model::kDs18s20, 25.3, 0, 0, 0x7F);
    EXPECT_EQ(frac[0], 0x33);
    EXPECT_EQ(frac[6], 7);
    EXPECT_EQ(frac[7], 16);
}

TEST(NetworkFile, BuildsDevicesAndFaultsAndRejectsMistakesByName) {
    const auto unit = BuildNetwork(nlohmann::json::parse(R"({
        "unit": {"ds2406": "1201020304050616"},
        "lines": [[{"type": "DS18B20", "rom": "2801020304050674", "temperature": 3.5},
                   {"type": "DS18S20", "power": "parasite"},
                   {"type": "DS18B20", "power": "external"}], [], []],
        "faults": [{"kind": "removed", "rom": "2801020304050674", "from": 5, "until": 9}]
    })"));
    ASSERT_NE(unit->Find(Rom{0x28, 1, 2, 3, 4, 5, 6, 0x74}), nullptr);
    std::vector<bool> parasite;
    for (const auto& [line, device] : unit->Devices()) {
        if (const auto* probe = dynamic_cast<const TemperatureProbe*>(device)) {
            parasite.push_back(probe->ParasitePowered());
        }
    }
    // Without "power" a probe has its own supply, as in every older file.
    EXPECT_EQ(parasite, (std::vector<bool>{false, true, false}));
    EXPECT_EQ(RomToHex(unit->Ds2406Rom()), "1201020304050616");
    EXPECT_EQ(unit->CouplerCount(), 3);

    const auto fails = [](const char* text, const char* needle) {
        try {
            BuildNetwork(nlohmann::json::parse(text));
            ADD_FAILURE() << "accepted: " << text;
        } catch (const std::invalid_argument& error) {
            EXPECT_NE(std::string(error.what()).find(needle), std::string::npos) << error.what();
        }
    };
    fails(R"({"lines": [[{"type": "DS18B20", "rom": "28XX"}]]})", "16 hex digits");
    fails(R"({"lines": [[{"type": "DS18B20", "rom": "1001020304050674"}]]})", "family");
    fails(R"({"lines": [[{"type": "DS18S20", "rom": "1001020304000674"}]]})", "byte 5");
    fails(R"({"lines": [[{"type": "DS9999"}]]})", "unknown device type");
    fails(R"({"faults": [{"kind": "flood"}]})", "unknown fault kind");
    fails(R"({"faults": [{"kind": "removed", "from": 3}]})", "needs the \"rom\"");
    fails(R"({"lines": [[{"type": "DS18B20", "th": 300}]]})", "th and tl");
    fails(R"({"lines": [[{"type": "DS18B20", "power": "battery"}]]})", "power is");
    fails(R"({"lines": [[], [], [], []]})", "more lines than couplers");
    fails(R"({"lines": [[{"type": "DS18B20", "temperature": {"sine": {"period": 0}}}]]})",
          "period");
}

TEST(NetworkFile, LinkFaultsComeFromTheFileAndActOnTheLine) {
    const auto unit = BuildNetwork(nlohmann::json::parse(R"({
        "lines": [[], [], []],
        "faults": [{"kind": "dead-break", "from": 1},
                   {"kind": "garbage", "after": "0F", "bytes": "5A A5", "times": 0}]
    })"));
    VirtualClock clock;
    SimulatedSerialPort port(unit, clock);
    ASSERT_EQ(port.Open(SerialSettings{}), 0);
    port.SendBreak(0.004);
    port.Write(Bytes{0xC1});
    clock.Advance(0.01);
    // The read of the baud rate answers, then the noise follows, every time.
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(Exchange(port, {0x0F}, 3), (Bytes{0x00, 0x5A, 0xA5}));
    }
    clock.Advance(1.0);
    port.SendBreak(0.004);
    EXPECT_EQ(unit->Counters().ignoredBreaks, 1u);
    EXPECT_EQ(Exchange(port, {0xC5}, 1), Bytes{0xCD});  // no recalibration needed

    const auto fails = [](const char* text, const char* needle) {
        try {
            BuildNetwork(nlohmann::json::parse(text));
            ADD_FAILURE() << "accepted: " << text;
        } catch (const std::invalid_argument& error) {
            EXPECT_NE(std::string(error.what()).find(needle), std::string::npos) << error.what();
        }
    };
    fails(R"({"faults": [{"kind": "garbage"}]})", "needs its");
    fails(R"({"faults": [{"kind": "drop", "after": "5G"}]})", "not a hex byte");
    fails(R"({"faults": [{"kind": "drop", "after": "555"}]})", "odd number");
    fails(R"({"faults": [{"kind": "garbage", "bytes": "00", "to": "moon"}]})", "\"to\"");
}

TEST(NetworkFile, TheRegistryTellsWhatIsWrongWithAFileAndRefusesAHugeOneUnread) {
    TempDir dir;
    VirtualClock clock;
    SimulatorRegistry registry(clock);
    const auto problem = [&](const std::string& name, const std::string& bytes) {
        const std::filesystem::path file = dir / name;
        WriteBytes(file, bytes);
        EXPECT_EQ(registry.MakePort("simulator:" + file.string()), nullptr) << name;
        const std::string error = registry.LastError();
        EXPECT_TRUE(error.starts_with(file.string() + ": ")) << error;
        return error;
    };
    EXPECT_NE(problem("garbage.json", "\x7f\x45LF\x01 not json").find("parse error"),
              std::string::npos);
    EXPECT_NE(problem("truncated.json", R"({"lines": [[{"type": "DS18B20")").find("parse error"),
              std::string::npos);
    EXPECT_EQ(problem("empty.json", "\r\n"), (dir / "empty.json").string() + ": the file is empty");
    EXPECT_NE(problem("mistyped.json", R"({"lines": [[{"type": "DS18B2O"}]]})")
                  .find("unknown device type DS18B2O"),
              std::string::npos);
    EXPECT_NE(problem("wrong-kind.json", R"({"lines": 7})").find("type_error"), std::string::npos);

    // Blanks of a well-formed file: only its size says it is no network.
    const std::string huge = "{\"lines\": [[], [], []]}" + std::string(kMaxNetworkFileBytes, ' ');
    EXPECT_EQ(problem("huge.json", huge), (dir / "huge.json").string() +
                                              ": cannot be read: it is larger than " +
                                              std::to_string(kMaxNetworkFileBytes) + " bytes");

    const std::string missing = (dir / "missing.json").string();
    EXPECT_EQ(registry.MakePort("simulator:" + missing), nullptr);
    EXPECT_EQ(registry.LastError(), missing + ": the file does not exist");

    WriteBytes(dir / "good.json", R"({"lines": [[{"type": "DS18B20"}], [], []]})");
    EXPECT_NE(registry.MakePort("simulator:" + (dir / "good.json").string()), nullptr);
}

TEST(NetworkFile, SampleCoversEveryFamilyOnEveryLineWithValidRoms) {
    const auto unit = MakeSampleNetwork();
    for (int line = 1; line <= 3; ++line) {
        std::vector<std::string> kinds;
        for (const auto& [deviceLine, device] : unit->Devices()) {
            if (deviceLine == line) {
                kinds.push_back(device->Kind());
                EXPECT_EQ(Crc8(device->GetRom()), 0);
                if (device->GetRom()[0] == 0x10) {
                    EXPECT_EQ(device->GetRom()[5] == 0x08, device->Kind() == "DS18S20");
                }
            }
        }
        std::sort(kinds.begin(), kinds.end());
        EXPECT_EQ(kinds, (std::vector<std::string>{"DS1820", "DS18B20", "DS18S20", "DS2405",
                                                   "DS2406", "DS2438", "other"}));
    }
}

TEST(ValueModels, ConstantSineAndSteps) {
    EXPECT_EQ(ValueModel::FromJson(4.5).At(100), 4.5);
    const auto sine = ValueModel::FromJson(
        nlohmann::json::parse(R"({"sine": {"mean": 10, "amplitude": 2, "period": 400}})"));
    EXPECT_NEAR(sine.At(100), 12.0, 1e-9);
    EXPECT_NEAR(sine.At(300), 8.0, 1e-9);
    const auto steps =
        ValueModel::FromJson(nlohmann::json::parse(R"({"value": 1, "steps": [[20, 3], [10, 2]]})"));
    EXPECT_EQ(steps.At(5), 1);
    EXPECT_EQ(steps.At(10), 2);
    EXPECT_EQ(steps.At(25), 3);
}

}  // namespace
}  // namespace qrv::sim
