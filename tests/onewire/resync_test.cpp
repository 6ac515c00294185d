// The driver brings a bridge back after faults of the serial link: traffic
// lost for a while, breaks that never arrive, noise, an unplugged unit.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "onewire/families.h"
#include "onewire/tracing_port.h"
#include "sim_station.h"

namespace qrv::testing {
namespace {

// Every probe of the sample network with its line.
std::vector<std::pair<int, RomCode>> Probes(sim::SimulatedNodex& unit) {
    std::vector<std::pair<int, RomCode>> probes;
    for (const auto& [line, device] : unit.Devices()) {
        if (line > 0 && IsProbeFamily(device->GetRom()[0])) {
            probes.emplace_back(line, ToRomCode(device->GetRom()));
        }
    }
    return probes;
}

// Reads every probe once; returns how many readings failed.
int FailedReadings(SimStation& station) {
    int failed = 0;
    for (const auto& [line, rom] : Probes(*station.unit)) {
        failed += ReadProbe(station.session, line, rom).Ok() ? 0 : 1;
    }
    return failed;
}

class LinkFaults : public ::testing::Test {
  protected:
    void SetUp() override {
        station.Start();
        ASSERT_EQ(station.session.Zet2480TimingToLongCable(), SessionStatus::kOk);
        probes = Probes(*station.unit);
        ASSERT_EQ(probes.size(), 15u);
        // Every break from here on reaches nothing, as on a pseudo-terminal.
        sim::LinkFault deadBreak;
        deadBreak.kind = sim::LinkFaultKind::kDeadBreak;
        station.unit->AddLinkFault(deadBreak);
    }
    BridgeStats Stats() { return station.driver.LinkStats(station.session.Handle()); }

    SimStation station;
    std::vector<std::pair<int, RomCode>> probes;
};

TEST_F(LinkFaults, AfterADropInDataModeAndWithDeadBreaksEveryFollowingReadingSucceeds) {
    // 0.4 s of silence right after the Match ROM of a temperature probe: the
    // bridge is left in data mode with the conversion command lost.
    const RomCode victim = probes.front().second;
    sim::LinkFault drop;
    drop.after = MatchRomThen(ToSimRom(victim), {});
    drop.seconds = 0.4;
    station.unit->AddLinkFault(drop);

    // The lost Convert T leaves the power-on value, which the reading
    // converts once more: the reading itself comes through.
    const Reading reading = ReadProbe(station.session, probes.front().first, victim);
    EXPECT_TRUE(reading.Ok()) << static_cast<int>(reading.fault);
    EXPECT_GE(Stats().failedExchanges, 1);
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(FailedReadings(station), 0) << "round " << round;
    }
    EXPECT_GE(Stats().resyncs, 1);
    EXPECT_GE(station.unit->Counters().ignoredBreaks, 1u);
    // The cable timing survived the resynchronisation.
    EXPECT_EQ(station.unit->BridgeParameter(4), 2);
}

TEST_F(LinkFaults, NoiseToEitherSideCostsAtMostTheReadingItHits) {
    const RomCode victim = probes[3].second;
    sim::LinkFault toHost;
    toHost.kind = sim::LinkFaultKind::kGarbage;
    toHost.after = MatchRomThen(ToSimRom(victim), {});
    toHost.bytes = {0x00, 0xFF, 0x3C};
    station.unit->AddLinkFault(toHost);
    // A stray E3 reaching the bridge in data mode throws it into command mode.
    sim::LinkFault toUnit = toHost;
    toUnit.after = MatchRomThen(ToSimRom(probes[7].second), {});
    toUnit.bytes = {0xE3};
    toUnit.toUnit = true;
    station.unit->AddLinkFault(toUnit);

    EXPECT_LE(FailedReadings(station), 2);
    EXPECT_EQ(FailedReadings(station), 0);
    EXPECT_GE(Stats().resyncs, 1);
}

TEST_F(LinkFaults, AUnitUnpluggedForTenSecondsIsReadAgainWithoutRestartingTheSession) {
    const int handle = station.session.Handle();
    const double unplugged = station.clock.Timer();
    station.unit->AddFault({sim::FaultKind::kUnplugged, {}, 0, unplugged, unplugged + 10});
    int failedWhileOut = 0;
    for (std::size_t i = 0; station.clock.Timer() < unplugged + 10; i = (i + 1) % probes.size()) {
        const double before = station.clock.Timer();
        const Reading reading = ReadProbe(station.session, probes[i].first, probes[i].second);
        if (station.clock.Timer() < unplugged + 10) {
            EXPECT_FALSE(reading.Ok()) << reading.value;
            ++failedWhileOut;
        }
        // A silent unit costs deadlines, not hangs.
        EXPECT_LT(station.clock.Timer() - before, 3.0);
    }
    EXPECT_GT(failedWhileOut, 3);
    EXPECT_EQ(FailedReadings(station), 0);
    EXPECT_EQ(station.session.Handle(), handle);
    EXPECT_GE(Stats().failedResyncs, 1);
}

TEST(LinkTrace, ResynchronisationsAreWrittenToTheTrace) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("qrv-resync-trace-" + std::to_string(::getpid()) + ".txt");
    {
        SimStation station;
        TraceSink sink;
        ASSERT_TRUE(sink.OpenFile(path.string()));
        OneWireDriver driver(station.ports, station.clock, &sink);
        NodexSession session(driver, station.ports, station.clock);
        session.SerialPort = 1;
        ASSERT_EQ(session.StartOneWireSession(), SessionStatus::kOk);
        station.ports.writeBudget = 0;
        EXPECT_EQ(session.ResetTheNodex(), 0);
        station.ports.writeBudget = -1;
        EXPECT_EQ(session.ResetTheNodex(), 1);
    }
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    std::filesystem::remove(path);
    EXPECT_NE(text.str().find("-- resync 1: the bridge answers"), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("-- resync 2: the bridge answers"), std::string::npos) << text.str();
}

}  // namespace
}  // namespace qrv::testing
