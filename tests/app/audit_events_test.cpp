// What the station writes into its audit trail: who changed which probe or
// station setting from what to what, acknowledgements, and the start and stop
// of acquisition, in a trail that verifies.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/shell/commands.h"
#include "app/shell/network_install.h"
#include "records/audit_trail.h"
#include "sim_shell_fixture.h"
#include "support/audit_entries.h"
#include "support/popup_answers.h"

namespace qrv::testing {
namespace {

using shell::MenuCommand;

class AuditEvents : public ::testing::Test, protected SimShellFixture {
  protected:
    AuditEvents() {
        WriteStationSensorFile(sim::SampleProbeTable());
        state.operatorName = "anna";
    }

    std::vector<records::AuditEntry> Trail() const { return AuditEntries(state.auditTrail); }
    static std::size_t Count(const std::vector<records::AuditEntry>& trail, std::string_view what) {
        return static_cast<std::size_t>(
            std::count_if(trail.begin(), trail.end(), [what](const records::AuditEntry& e) {
                return e.what.find(what) != std::string::npos;
            }));
    }
};

TEST_F(AuditEvents, StatusOfAllProbesIsOneLinePerProbeWithOldAndNewValue) {
    shell::DoeInstallNetwork(state, simServices);
    ASSERT_EQ(state.NetWorkInstalled, 1);
    const int probes = state.sensors.Lock()->GetMax1820Index() + 1;
    ASSERT_GT(probes, 1);
    dialogs.QueueButton(kYes);
    shell::ExecuteMenuCommand(state, simServices, view, MenuCommand::SetAllInhibit, 0);

    const auto trail = Trail();
    ASSERT_FALSE(trail.empty());
    EXPECT_EQ(trail.front().what, "network installed, acquisition started");
    EXPECT_EQ(trail.front().newValue, std::to_string(probes) + " probes");
    EXPECT_EQ(Count(trail, ": Status"), static_cast<std::size_t>(probes));
    const auto status = std::find_if(trail.begin(), trail.end(),
                                     [](const auto& e) { return e.what.ends_with(": Status"); });
    ASSERT_NE(status, trail.end());
    EXPECT_EQ(status->who, "anna");
    EXPECT_EQ(status->oldValue, "0");
    EXPECT_EQ(status->newValue, "2");
    EXPECT_EQ(records::AuditTimeText(status->time).substr(0, 13), "2026-03-09 14")
        << "the station's clock, not the system's";
    EXPECT_EQ(Count(trail, "network installed"), 2u) << "the command reinstalls";
}

TEST_F(AuditEvents, StationSettingAndPortChangesAreRecordedUnchangedOnesAreNot) {
    shell::ExecuteMenuCommand(state, simServices, view, MenuCommand::SetSampleRate, 15);
    shell::ExecuteMenuCommand(state, simServices, view, MenuCommand::SetSampleRate, 15);
    const auto trail = Trail();
    ASSERT_EQ(trail.size(), 1u);
    EXPECT_EQ(trail[0].what, "station setting KeuzeSampleTime");
    EXPECT_EQ(trail[0].oldValue, "5");
    EXPECT_EQ(trail[0].newValue, "15");
}

TEST_F(AuditEvents, AcknowledgementIsRecordedForWhoeverGaveIt) {
    monitoring.Mute("carla", "door closed again", shell::Via::kWeb);
    const auto trail = Trail();
    ASSERT_EQ(trail.size(), 1u);
    EXPECT_EQ(trail[0].who, "carla (web)");
    EXPECT_EQ(trail[0].what, "alarm acknowledged");
    EXPECT_EQ(trail[0].newValue, "door closed again");
}

TEST_F(AuditEvents, StoppingTheNetworkIsRecorded) {
    shell::DoeInstallNetwork(state, simServices);
    dialogs.QueueButton(kYes);
    shell::ExecuteMenuCommand(state, simServices, view, MenuCommand::StopNetwork, 0);
    const auto trail = Trail();
    ASSERT_FALSE(trail.empty());
    EXPECT_EQ(trail.back().what, "acquisition stopped");
}

}  // namespace
}  // namespace qrv::testing
