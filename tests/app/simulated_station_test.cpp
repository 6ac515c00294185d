#include <gtest/gtest.h>

#include "sim_shell_fixture.h"
#include "station/startup.h"

namespace qrv::testing {
namespace {

// The station started with --simulate in an empty station directory: the
// configured port leads to the simulated unit, which answers the port check
// like a real one, and the sample probe file makes the first start end in a
// scanned, named network.
class SimulatedStation : public ::testing::Test, protected SimShellFixture {
  protected:
    SimulatedStation() { state.WantedUserMode = kModeNotChosen; }

    std::optional<int> Start(const SensorTable* sample) {
        const std::optional<int> exit =
            shell::RunStartup(state, simServices, {std::string(), sample, {}});
        Serve();
        return exit;
    }
};

TEST_F(SimulatedStation, FirstStartSeedsTheSampleProbesAndInstallsThem) {
    const SensorTable sample = sim::SampleProbeTable();
    ASSERT_EQ(Start(&sample), std::nullopt);

    EXPECT_EQ(state.WantedUserMode, kModeNormal);
    EXPECT_EQ(simPorts.Map().NameOf(state.settings.SerialPort), "simulator");
    EXPECT_TRUE(dialogs.Popups().empty()) << "no mode question, no sensor-file questions";
    EXPECT_TRUE(probeEditor.openings.empty()) << "every probe has its name already";
    EXPECT_EQ(state.NetWorkInstalled, 1);
    ASSERT_EQ(state.sensors.Lock()->GetMax1820Index(), 14);
    for (int index = 0; index <= 14; ++index) {
        const SensorRecord& record =
            state.sensors.Lock()->SensorArray[static_cast<std::size_t>(index)];
        EXPECT_EQ(record.FoundOnNetwork, 1) << record.Name;
        EXPECT_LE(record.Line, 3) << record.Name;
        EXPECT_LE(record.AlarmLow, record.TripLow) << record.Name;
        EXPECT_LE(record.TripLow, record.TripHigh) << record.Name;
        EXPECT_LE(record.TripHigh, record.AlarmHigh) << record.Name;
    }
    EXPECT_EQ(state.sensors.Lock()->SensorArray[1].Name, "Freezer 1");
    EXPECT_NE(LogText().find("Sample probe file written for the simulated network"),
              std::string::npos);
    EXPECT_EQ(view.probes.size(), 15u);

    auto unit = simulators.Unit("simulator");
    ASSERT_NE(unit, nullptr);
    EXPECT_EQ(shell::RunShutdown(state, simServices), 0);
    EXPECT_EQ(simSession.Handle(), 0) << "the 1-Wire session is ended";
    EXPECT_FALSE(unit->Cts(clock.Timer())) << "closing the port removes the unit's power";
    // The flush opened and ended a session of its own, so the port was free.
    EXPECT_GT(core.Driver().OwStartSession(state.settings.SerialPort), 0);
}

TEST_F(SimulatedStation, AnExistingSensorFileIsNeverReplacedBySampleProbes) {
    SensorTable own;
    own.NetworkName = "Own network";
    WriteStationSensorFile(own);
    const SensorTable sample = sim::SampleProbeTable();
    probeEditor.autoNamePrefix = "New ";
    for (int i = 0; i < 15; ++i) {
        dialogs.QueueButton(1);  // save each new probe
    }

    ASSERT_EQ(Start(&sample), std::nullopt);

    EXPECT_EQ(state.sensors.Lock()->NetworkName, "Own network");
    EXPECT_EQ(probeEditor.openings.size(), 15u) << "the probes are new to this station";
    EXPECT_EQ(LogText().find("Sample probe file"), std::string::npos);
}

}  // namespace
}  // namespace qrv::testing
