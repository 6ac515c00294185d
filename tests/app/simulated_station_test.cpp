#include <gtest/gtest.h>

#include "app/shell/startup.h"
#include "shell_fixture.h"
#include "sim/network_file.h"

namespace qrv::testing {
namespace {

// The station started with --simulate: the configured port leads to the
// simulated unit, which answers the port check like a real one.
class SimulatedStation : public ::testing::Test, protected ShellFixture {
  protected:
    SimulatedStation()
        : simulatedServices{clock,  dialogs,  display,    log,
                            editor, simPorts, simSession, networkTimer} {}

    sim::SimulatorRegistry simulators{clock};
    SerialPortProvider simPorts{PortMap{}, simulators.Factory()};
    OneWireDriver simDriver{simPorts, clock};
    NodexSession simSession{simDriver, simPorts, clock};
    shell::ShellServices simulatedServices;
};

TEST_F(SimulatedStation, StartsNormallyAndShutsTheUnitDown) {
    // No sensor file yet: both questions are asked and answered Yes.
    dialogs.QueueButton(1);
    dialogs.QueueButton(1);
    ASSERT_EQ(shell::RunStartup(state, simulatedServices, view, {std::string()}), std::nullopt);
    EXPECT_EQ(state.WantedUserMode, kModeNormal);
    EXPECT_EQ(simPorts.Map().NameOf(state.settings.SerialPort), "simulator");
    for (const auto& popup : dialogs.Popups()) {
        EXPECT_EQ(popup.message.find("Interface unit not found"), std::string::npos)
            << "the unit answered, so the mode is not asked";
    }
    auto unit = simulators.Unit("simulator");
    ASSERT_NE(unit, nullptr);
    EXPECT_TRUE(unit->Cts(clock.Timer())) << "the port check leaves the unit powered";

    EXPECT_EQ(shell::RunShutdown(state, simulatedServices, view), 0);
    EXPECT_EQ(simSession.Handle(), 0) << "the 1-Wire session is ended";
    EXPECT_FALSE(unit->Cts(clock.Timer())) << "closing the port removes the unit's power";
    // The flush opened and ended a session of its own, so the port was free.
    EXPECT_GT(simDriver.OwStartSession(state.settings.SerialPort), 0);
}

}  // namespace
}  // namespace qrv::testing
