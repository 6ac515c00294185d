// What the station writes into its audit trail: who changed which probe or
// station setting from what to what, acknowledgements, and the start and stop
// of acquisition, in a trail that verifies.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/shell/commands.h"
#include "records/audit_trail.h"
#include "records/calibration_text.h"
#include "records/time_alarm.h"
#include "sim_shell_fixture.h"
#include "station/network_install.h"
#include "station/probe_editing.h"
#include "station/station_records.h"
#include "support/audit_entries.h"
#include "support/popup_answers.h"
#include "support/scripted_probe_editor.h"

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

// A hand edit of a file the station rereads is recorded once, with the
// file's owner and time; a change a command recorded itself is not again.
TEST_F(AuditEvents, FilesEditedByHandAreRecordedAtTheirReread) {
    state.sensors.Replace(sim::SampleProbeTable());
    shell::LoadCalibrations(state, simServices);
    const auto probe = state.sensors.Copy().SensorArray[0];
    const std::filesystem::path calibrations = state.paths.CurrentDirName / "QRVCalibration.json";
    records::Calibration byHand;
    byHand.rom = probe.Rom;
    byHand.offset = 3.0;
    byHand.date = "2026-01-02";
    records::CalibrationBook book;
    book.Set(byHand);
    ASSERT_TRUE(records::WriteCalibrationFile(calibrations, book));
    shell::ReloadCalibrationsIfChanged(state, simServices);
    auto trail = Trail();
    ASSERT_EQ(trail.size(), 1u);
    EXPECT_EQ(trail[0].who, "outside the station");
    EXPECT_TRUE(trail[0].what.starts_with(records::CalibrationSubject(probe) +
                                          ": changed outside the station (QRVCalibration.json, "
                                          "owner "))
        << trail[0].what;
    EXPECT_NE(trail[0].what.find(", modified 20"), std::string::npos) << trail[0].what;
    EXPECT_EQ(trail[0].oldValue, "");
    EXPECT_EQ(trail[0].newValue, records::CalibrationSummary(byHand));

    // As the command line does it: the file, then its own line.
    const std::string before = records::CalibrationSummary(byHand);
    byHand.offset = 1.5;
    book.Set(byHand);
    ASSERT_TRUE(records::WriteCalibrationFile(calibrations, book));
    ASSERT_TRUE(shell::AuditEventBy(state, clock, log, "ben", records::CalibrationSubject(probe),
                                    before, records::CalibrationSummary(byHand)));
    shell::ReloadCalibrationsIfChanged(state, simServices);
    EXPECT_EQ(Trail().size(), 2u) << "recorded once, by the command";
    EXPECT_DOUBLE_EQ(state.calibrations.Get()->Find(probe.Rom)->offset, 1.5);

    records::TimeAlarmBook alarms;
    alarms.Set({probe.Rom, 45, std::nullopt});
    ASSERT_TRUE(
        records::WriteTimeAlarmFile(state.paths.CurrentDirName / "QRVTimeAlarms.json", alarms));
    monitoring.ReloadTimeAlarmsIfChanged();
    trail = Trail();
    ASSERT_EQ(trail.size(), 3u);
    EXPECT_NE(trail[2].what.find("minutes above high in 24 h: changed outside the station "
                                 "(QRVTimeAlarms.json, owner "),
              std::string::npos)
        << trail[2].what;
    EXPECT_EQ(trail[2].newValue, "45");
}

// A limit edited in the probe file by hand, then reread by a reinstallation
// (as a SIGHUP does): recorded once, as outside the station; the station's
// own changes and a reread of an unchanged file add nothing.
TEST_F(AuditEvents, AProbeFileEditedByHandIsRecordedAtItsReread) {
    shell::DoeInstallNetwork(state, simServices);
    ASSERT_EQ(state.NetWorkInstalled, 1);
    shell::DoeInstallNetwork(state, simServices);
    const std::size_t installed = Trail().size();
    EXPECT_EQ(Count(Trail(), "changed outside the station"), 0u);

    SensorTable byHand = state.sensors.Copy();
    const int before = byHand.SensorArray[0].AlarmHigh;
    byHand.SensorArray[0].AlarmHigh = before + 7;
    WriteStationSensorFile(byHand);
    shell::DoeInstallNetwork(state, simServices);
    auto trail = Trail();
    ASSERT_EQ(Count(trail, "changed outside the station"), 1u);
    const auto edit = std::find_if(trail.begin(), trail.end(), [](const auto& e) {
        return e.what.find("changed outside the station") != std::string::npos;
    });
    EXPECT_EQ(edit->who, "outside the station");
    EXPECT_NE(edit->what.find(": AlarmHigh: changed outside the station (QRVNL.SNS, owner "),
              std::string::npos)
        << edit->what;
    EXPECT_EQ(edit->oldValue, std::to_string(before));
    EXPECT_EQ(edit->newValue, std::to_string(before + 7));
    EXPECT_EQ(state.sensors.Copy().SensorArray[0].AlarmHigh, before + 7);

    dialogs.QueueButton(kYes);
    shell::ExecuteMenuCommand(state, simServices, view, MenuCommand::SetAllInhibit, 0);
    EXPECT_GT(Count(Trail(), ": Status"), 0u);
    shell::DoeInstallNetwork(state, simServices);
    trail = Trail();
    EXPECT_GT(trail.size(), installed + 1);
    EXPECT_EQ(Count(trail, "changed outside the station"), 1u) << "the station's own change";
}

TEST_F(AuditEvents, TheReasonGivenInTheProbeEditorIsOnEveryLineOfItsSave) {
    shell::DoeInstallNetwork(state, simServices);
    ASSERT_EQ(state.NetWorkInstalled, 1);
    const auto save = [this](std::string name, std::string reason) {
        probeEditor.QueueOpening({ScriptedProbeEditorView::Change([=](ProbePanelValues& values) {
                                      values.name = name;
                                      values.alarmHigh += 5;
                                      values.reason = reason;
                                  }),
                                  ScriptedProbeEditorView::Press(&ProbeEditor::Leave)});
        dialogs.QueueButton(kSave);
        const std::size_t before = Trail().size();
        EXPECT_EQ(shell::DoeProbeSettingMenu(state, simServices, 0, false, false), kEditorSaved);
        // The audit trail follows the save's announcement.
        Serve();
        const auto trail = Trail();
        return std::vector<records::AuditEntry>(trail.begin() + static_cast<long>(before),
                                                trail.end());
    };
    const auto given = save("Vaccine store", " new stock, limits per SOP-12 ");
    ASSERT_EQ(given.size(), 2u) << "the name and the high limit";
    for (const records::AuditEntry& line : given) {
        EXPECT_EQ(line.who, "anna");
        EXPECT_EQ(line.reason, "new stock, limits per SOP-12") << line.what;
    }
    const auto none = save("Vaccine store 2", "");
    ASSERT_EQ(none.size(), 2u);
    for (const records::AuditEntry& line : none) {
        EXPECT_EQ(line.reason, "") << "no reason given, none carried over";
    }
}

}  // namespace
}  // namespace qrv::testing
