// The menu commands that change the probe table, the port or today's file.
#include <gtest/gtest.h>

#include "app/shell/commands.h"
#include "settings/settings_file.h"
#include "sim_shell_fixture.h"
#include "station/network_install.h"
#include "support/popup_answers.h"

namespace qrv::testing {
namespace {

using shell::MenuCommand;
constexpr std::string_view kNotPossible = "This action is not possible in the current mode.\n";

class ProbeCommands : public ::testing::Test, protected SimShellFixture {
  protected:
    ProbeCommands() { WriteStationSensorFile(sim::SampleProbeTable()); }

    void Installed() {
        shell::DoeInstallNetwork(state, simServices);
        ASSERT_EQ(state.NetWorkInstalled, 1);
    }
    void Run(MenuCommand command, int value = 0) {
        shell::ExecuteMenuCommand(state, simServices, view, command, value);
        Serve();
    }
    std::string LastMessage() const {
        return dialogs.Popups().empty() ? std::string() : dialogs.Popups().back().message;
    }
};

TEST_F(ProbeCommands, TheNetworkNameChangesOnlyForANonEmptyStorableAnswer) {
    ReadSensorFile(state.paths.SnsFileName(kModeNormal), state.sensors);
    state.sensors.Lock()->NetworkName = "QRV-Data";
    shell::InitTheResultsTable(state, resultsTable, display);
    const auto before = std::filesystem::last_write_time(state.paths.SnsFileName(kModeNormal));
    dialogs.QueueText(std::string());
    dialogs.QueueText(std::nullopt);
    dialogs.QueueText(std::string("Cold\x01store"));
    Run(MenuCommand::EditNetworkName);
    Run(MenuCommand::EditNetworkName);
    Run(MenuCommand::EditNetworkName);
    EXPECT_EQ(state.sensors.Lock()->NetworkName, "QRV-Data");
    EXPECT_EQ(std::filesystem::last_write_time(state.paths.SnsFileName(kModeNormal)), before);
    EXPECT_EQ(dialogs.Popups()[0].message, "Edit network name:    QRV-Data");
    EXPECT_NE(LastMessage().find("cannot be stored"), std::string::npos);

    dialogs.QueueText(std::string("Cold store \u00e9"));
    Run(MenuCommand::EditNetworkName);
    EXPECT_EQ(ReadStationSensorFile().NetworkName, "Cold store \u00e9");
    EXPECT_EQ(resultsTable.headers.titles[0], "Cold store \u00e9") << "the table is relabelled";
}

TEST_F(ProbeCommands, StatusCommandsRefuseOutsideNormalModeAndReinstallAfterYes) {
    state.WantedUserMode = kModeOffLine;
    Run(MenuCommand::SetAllOff);
    EXPECT_EQ(LastMessage(), kNotPossible);
    EXPECT_EQ(networkTimer.stops, 0);

    state.WantedUserMode = kModeNormal;
    Installed();
    dialogs.QueueButton(kNo);
    Run(MenuCommand::SetAllInhibit);
    EXPECT_EQ(LastMessage(), "Are you sure to set all probes to:   On, no alarm");
    dialogs.QueueButton(kYes);
    state.CommunicationErrorAlarm = 1;
    Run(MenuCommand::SetAllInhibit);

    const SensorTable stored = ReadStationSensorFile();
    for (int index = 0; index <= stored.GetMax1820Index(); ++index) {
        EXPECT_EQ(stored.SensorArray[static_cast<std::size_t>(index)].Status, kStatusInhibit);
    }
    EXPECT_NE(LogText().find("All sensors set to INHIBIT"), std::string::npos);
    EXPECT_EQ(state.CommunicationErrorAlarm, 0);
    EXPECT_EQ(networkTimer.starts, 2) << "the network was installed again";
    EXPECT_EQ(dialogs.UnexpectedPopups(), 0);
}

TEST_F(ProbeCommands, DeleteAllProbesStopsTheNetworkAndEmptiesTheTable) {
    state.WantedUserMode = kModeDemo;
    Run(MenuCommand::DeleteAllProbes);  // dimmed in demo mode: nothing at all
    EXPECT_TRUE(dialogs.Popups().empty());

    state.WantedUserMode = kModeNormal;
    Installed();
    dialogs.QueueButton(kNo);
    Run(MenuCommand::DeleteAllProbes);
    EXPECT_EQ(state.sensors.Lock()->GetMax1820Index(), 14);
    EXPECT_EQ(dialogs.Popups().back().enterChoice, kNo);

    dialogs.QueueButton(kYes);
    Run(MenuCommand::DeleteAllProbes);
    EXPECT_EQ(state.sensors.Lock()->GetMax1820Index(), -1);
    EXPECT_EQ(ReadStationSensorFile().GetMax1820Index(), -1);
    EXPECT_EQ(state.NetWorkInstalled, 0) << "the network is not restarted";
    EXPECT_EQ(simSession.Handle(), 0);
    EXPECT_FALSE(unit->Cts(clock.Timer())) << "the unit's power is removed";
    EXPECT_NE(LogText().find("User deleted all probes"), std::string::npos);
    EXPECT_TRUE(view.probes.empty());
    EXPECT_TRUE(resultsTable.rows.empty()) << "no row of a deleted probe stays on screen";
    EXPECT_TRUE(display.Snapshot().logoShown);
}

TEST_F(ProbeCommands, DeletingAProbeInTheEditorReinstallsInNormalMode) {
    Installed();
    dialogs.QueueButton(kYes);
    probeEditor.QueueOpening({ScriptedProbeEditorView::Press(&ProbeEditor::DeleteProbe)});
    // The probe is still on its line: the installation finds it as new.
    probeEditor.autoNamePrefix = "Found again ";
    dialogs.QueueButton(kYes);  // save its name
    Run(MenuCommand::EditProbe, 3);
    ASSERT_EQ(probeEditor.openings.size(), 2u);
    EXPECT_TRUE(probeEditor.openings[0].navigation);
    EXPECT_EQ(probeEditor.openings[0].index, 3);
    EXPECT_TRUE(probeEditor.openings[1].newProbeLine);
    EXPECT_EQ(networkTimer.starts, 2);
    ASSERT_EQ(view.probes.size(), 15u);
    EXPECT_EQ(view.probes.back().label, "__Found again 1");
    ASSERT_EQ(resultsTable.rows.size(), 15u);
    EXPECT_EQ(resultsTable.rows.back().cells[0], " Found again 1");
    EXPECT_EQ(dialogs.UnexpectedPopups(), 0);
    EXPECT_FALSE(display.Snapshot().menuBarDimmed);
}

TEST_F(ProbeCommands, SaveAsMovesTodaysFileWithMonitoringPausedThenInstalls) {
    Installed();
    Serve();  // the installation's first block
    const auto dataDir = state.paths.DataDirectory(kModeNormal);
    std::filesystem::create_directories(dataDir);
    WriteBytes(dataDir / "2026-03-09.qrd", "today\r\n");
    const auto target = dir / "saved.qrd";

    dialogs.QueueButton(kNo);
    Run(MenuCommand::SaveFileAs);
    EXPECT_EQ(LastMessage(), "Today's results will be deleted.\nContinue?");
    EXPECT_EQ(networkTimer.stops, 1);

    dialogs.QueueButton(kYes);
    dialogs.QueueText(target.string());
    const double before = clock.Timer();
    Run(MenuCommand::SaveFileAs);
    EXPECT_EQ(ReadBytes(target), "today\r\n");
    const std::string today = ReadBytes(dataDir / "2026-03-09.qrd");
    EXPECT_EQ(today.find("today"), std::string::npos) << "moved away";
    EXPECT_EQ(Count(today, "  0015\r\n"), 1) << "the new installation's first block begins it";
    EXPECT_EQ(networkTimer.stops, 3) << "paused for the move, then the installation";
    EXPECT_EQ(networkTimer.starts, 2);
    EXPECT_GE(clock.Timer() - before, 2.0);

    WriteBytes(dataDir / "2026-03-09.qrd", "again\r\n");
    dialogs.QueueText((dir / "copy.qrd").string());
    Run(MenuCommand::SaveCopyAs);
    EXPECT_EQ(dialogs.Popups().back().message, dir.path().string())
        << "the dialog opens where the last one ended";
    EXPECT_EQ(ReadBytes(dir / "copy.qrd"), "again\r\n");
    EXPECT_TRUE(std::filesystem::exists(dataDir / "2026-03-09.qrd"));
    EXPECT_EQ(networkTimer.stops, 3) << "a copy does not pause monitoring";
}

class PortChange : public ProbeCommands {
  protected:
    PortChange() {
        second = sim::MakeSampleNetwork();
        simulators.Install("simulator:second", second);
        PortMap map = SimulatorMap();
        map.Set(2, "simulator:second");
        map.Set(3, "/nonexistent/quorvanel-tty");
        map.Set(4, "simulator:dead");
        auto dead = sim::MakeSampleNetwork();
        dead->AddFault({sim::FaultKind::kUnpowered});
        simulators.Install("simulator:dead", dead);
        simPorts.SetMap(map);
    }
    std::shared_ptr<sim::SimulatedNodex> second;
};

TEST_F(PortChange, APortThatDoesNotOpenOrHasNoUnitIsRefused) {
    Installed();
    Run(MenuCommand::SelectComPort, 3);
    EXPECT_EQ(LastMessage(), "The selected Comport is not available.\n");
    Run(MenuCommand::SelectComPort, 4);
    EXPECT_EQ(LastMessage(), "Check COM-port");
    EXPECT_EQ(state.settings.SerialPort, 1);
    EXPECT_EQ(state.NetWorkInstalled, 1);
    EXPECT_EQ(networkTimer.stops, 1) << "monitoring never paused";
    EXPECT_FALSE(display.Snapshot().menuBarDimmed);
}

TEST_F(PortChange, WithANetworkTheUserConfirmsAndNoIsTheDefault) {
    Installed();
    dialogs.QueueButton(kNo);
    Run(MenuCommand::SelectComPort, 2);
    EXPECT_EQ(LastMessage(), "Change com-port?\nmonitoring will stop.");
    EXPECT_EQ(dialogs.Popups().back().enterChoice, kNo);
    EXPECT_EQ(dialogs.Popups().back().escapeChoice, kNo);
    EXPECT_EQ(state.settings.SerialPort, 1);

    dialogs.QueueButton(kYes);
    const int checkMarks = view.checkMarkUpdates;
    Run(MenuCommand::SelectComPort, 2);
    EXPECT_EQ(state.settings.SerialPort, 2);
    SystemSettings stored;
    ReadIniFile(state.paths.IniFileName(), stored);
    EXPECT_EQ(stored.SerialPort, 2);
    EXPECT_GT(view.checkMarkUpdates, checkMarks);
    EXPECT_NE(LogText().find("Change of comport: Network stopped"), std::string::npos);
    EXPECT_EQ(state.NetWorkInstalled, 1) << "installed again on the new port";
    EXPECT_FALSE(second->OutputHistory().empty()) << "the second unit was driven";
    EXPECT_TRUE(QuestionsContaining("Unable to find probe").empty())
        << "the second unit has the same sample probes";
}

TEST_F(PortChange, OffLineModeMovesWithoutAQuestionOrAnInstallation) {
    state.WantedUserMode = kModeOffLine;
    Run(MenuCommand::SelectComPort, 2);
    EXPECT_TRUE(dialogs.Popups().empty());
    EXPECT_EQ(state.settings.SerialPort, 2);
    EXPECT_EQ(state.NetWorkInstalled, 0);
    EXPECT_EQ(networkTimer.starts, 0);
    EXPECT_EQ(state.DisplayTimerEnable, 1) << "the clock and the mode text go on";
}

}  // namespace
}  // namespace qrv::testing
