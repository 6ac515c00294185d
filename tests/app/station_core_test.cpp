// The station's commands given from two front ends, the window's menu and the
// service, on two stations built alike: the same station results, each front
// end named in the lines it wrote. And the audit of probe settings as a
// follower of their announcement.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "app/shell/commands.h"
#include "records/audit_trail.h"
#include "runtime/date_strings.h"
#include "runtime/text_file.h"
#include "sensors/sensor_file.h"
#include "sim/sample_probe_table.h"
#include "sim_shell_fixture.h"
#include "station/station_commands.h"
#include "station/station_core.h"
#include "station/station_events.h"
#include "support/audit_entries.h"

namespace qrv::testing {
namespace {

using shell::MenuCommand;
using shell::Via;

constexpr int kYes = 1;

// One station, with the texts of its trail and the probes' settings.
struct Station : SimShellFixture {
    Station() {
        WriteStationSensorFile(sim::SampleProbeTable());
        state.operatorName = "anna";
    }

    void Install() {
        shell::InstallNetwork(state, services, Via::kWindow);
        Serve();
        ASSERT_EQ(state.NetWorkInstalled, 1);
    }
    std::vector<std::string> TrailTexts() {
        Serve();
        std::vector<std::string> texts;
        for (const records::AuditEntry& entry : AuditEntries(state.auditTrail)) {
            texts.push_back(entry.who + ": " + entry.what + " [" + entry.oldValue + " -> " +
                            entry.newValue + "] " + entry.reason);
        }
        return texts;
    }
    // The trail without whom each line is for.
    std::vector<std::string> TrailChanges() {
        std::vector<std::string> changes = TrailTexts();
        for (std::string& line : changes) {
            line = line.substr(line.find(": ") + 2);
        }
        return changes;
    }
    // Whom the last line of this change is for.
    std::string WhoDid(std::string_view what) {
        Serve();
        std::string who;
        for (const records::AuditEntry& entry : AuditEntries(state.auditTrail)) {
            who = entry.what == what ? entry.who : who;
        }
        return who;
    }
    std::string DayFileOfToday() {
        return ReadBytes(state.paths.DataDirectory(kModeNormal) / (FileDate(clock.Now()) + ".qrd"));
    }
    std::string AlarmFileText() { return ReadBytes(state.paths.AlarmFileName()); }
    std::vector<std::string> ProbeNamesAndStatus() {
        const SensorTable table = state.sensors.Copy();
        std::vector<std::string> probes;
        for (int i = 0; i <= table.GetMax1820Index(); ++i) {
            const SensorRecord& record = table.SensorArray[static_cast<std::size_t>(i)];
            probes.push_back(record.Name + " " + std::to_string(record.Status) + " " +
                             std::to_string(record.AlarmState));
        }
        return probes;
    }
};

TEST(StationCommands, AStopFromTheWindowAndFromTheServiceLeaveTheSameStation) {
    Station window;
    Station service;
    window.Install();
    service.Install();

    window.dialogs.QueueButton(kYes);  // "This stops monitoring!"
    shell::ExecuteMenuCommand(window.state, window.services, window.view, MenuCommand::StopNetwork,
                              0);
    service.core.StopNetwork(Via::kService);

    for (Station* station : {&window, &service}) {
        EXPECT_EQ(station->state.NetWorkInstalled, 0);
        EXPECT_EQ(station->session.Handle(), 0) << "the session is ended";
        EXPECT_EQ(station->state.NetworkAsyncTimerEnabled, 0);
    }
    EXPECT_EQ(window.TrailChanges(), service.TrailChanges());
    EXPECT_EQ(window.WhoDid("acquisition stopped"), "anna");
    EXPECT_EQ(service.WhoDid("acquisition stopped"), "anna (service)");
    EXPECT_EQ(window.ProbeNamesAndStatus(), service.ProbeNamesAndStatus());
    EXPECT_EQ(window.DayFileOfToday(), service.DayFileOfToday()) << "the last block stored";
    EXPECT_EQ(Count(window.LogText(), "User stop network\r\n"), 1);
    EXPECT_EQ(Count(service.LogText(), "User stop network (service)\r\n"), 1);
    EXPECT_EQ(window.dialogs.UnexpectedPopups(), 0);
    EXPECT_TRUE(service.dialogs.Popups().empty()) << "the service's command asks nothing";

    service.core.StopNetwork(Via::kService);
    EXPECT_EQ(Count(service.LogText(), "User stop network"), 1) << "nothing left to stop";
}

TEST(StationCommands, AnInstallationFromTheWindowAndFromTheServiceFindTheSameProbes) {
    Station window;
    Station service;
    window.Install();
    service.Install();
    // Stopped alike, then installed again, each through its own front end.
    window.core.StopNetwork(Via::kWindow);
    service.core.StopNetwork(Via::kService);

    shell::ExecuteMenuCommand(window.state, window.services, window.view,
                              MenuCommand::InstallNetwork, 0);
    service.core.InstallNetwork(Via::kService);

    EXPECT_EQ(window.state.NetWorkInstalled, 1);
    EXPECT_EQ(service.state.NetWorkInstalled, 1);
    EXPECT_EQ(window.ProbeNamesAndStatus(), service.ProbeNamesAndStatus());
    EXPECT_EQ(window.TrailChanges(), service.TrailChanges());
    EXPECT_EQ(window.WhoDid("network installed, acquisition started"), "anna");
    EXPECT_EQ(service.WhoDid("network installed, acquisition started"), "anna (service)");
    EXPECT_EQ(Count(window.LogText(), "Network Installed OK\r\n"), 2);
    EXPECT_EQ(Count(service.LogText(), "Network Installed OK\r\n"), 1);
    EXPECT_EQ(Count(service.LogText(), "Network Installed OK (service)\r\n"), 1);
}

// What SIGHUP does: with files nobody changed, the reload finds the probes as
// they were and records nothing as changed.
TEST(StationCommands, AReloadOfUnchangedFilesChangesNoProbeAndRecordsNoChange) {
    Station service;
    service.Install();
    const std::vector<std::string> probes = service.ProbeNamesAndStatus();
    const std::vector<std::string> trail = service.TrailTexts();

    service.core.Reload(Via::kService);

    EXPECT_EQ(service.state.NetWorkInstalled, 1);
    EXPECT_EQ(service.ProbeNamesAndStatus(), probes);
    const std::vector<std::string> after = service.TrailTexts();
    ASSERT_GE(after.size(), trail.size());
    for (std::size_t i = trail.size(); i < after.size(); ++i) {
        EXPECT_EQ(after[i].find("changed outside the station"), std::string::npos) << after[i];
        EXPECT_EQ(after[i].find(": Alarm"), std::string::npos) << after[i];
    }
    EXPECT_EQ(Count(service.LogText(), "Settings and probe files reread (service)\r\n"), 1);
    EXPECT_EQ(Count(service.AlarmFileText(), "Value OK"), 0);
}

// The audit trail follows the announcement, not a call beside each change:
// the lines come when the station serves its events, once, with who changed
// the probes and why; a change the station makes and reads back before it
// served is still its own, not one made outside.
TEST(StationCommands, TheAuditOfProbeSettingsFollowsTheirAnnouncement) {
    Station station;
    station.Install();
    const std::size_t before = station.TrailTexts().size();

    station.state.sensors.Lock()->SensorArray[0].AlarmHigh += 3;
    shell::AnnounceProbeSettings(station.services, "test", "ben (web)", "new stock");
    EXPECT_EQ(AuditEntries(station.state.auditTrail).size(), before) << "not before it is served";
    std::vector<std::string> trail = station.TrailTexts();
    ASSERT_EQ(trail.size(), before + 1);
    EXPECT_NE(trail.back().find("ben (web): "), std::string::npos) << trail.back();
    EXPECT_NE(trail.back().find(": AlarmHigh"), std::string::npos) << trail.back();
    EXPECT_NE(trail.back().find("new stock"), std::string::npos) << trail.back();
    EXPECT_EQ(station.TrailTexts().size(), before + 1) << "served twice, recorded once";

    // Written, announced and read back by a reinstallation at once.
    station.state.sensors.Lock()->SensorArray[1].AlarmLow -= 2;
    WriteSensorFile(station.state.paths.SnsFileName(kModeNormal), station.state.sensors.Copy(),
                    station.clock, station.dialogs, station.log, 0);
    shell::AnnounceProbeSettings(station.services, "test");
    station.core.InstallNetwork(Via::kWindow);
    trail = station.TrailTexts();
    EXPECT_EQ(std::count_if(trail.begin(), trail.end(),
                            [](const std::string& line) {
                                return line.find("changed outside the station") !=
                                       std::string::npos;
                            }),
              0);
    EXPECT_EQ(std::count_if(trail.begin(), trail.end(),
                            [](const std::string& line) {
                                return line.starts_with("anna: ") &&
                                       line.find(": AlarmLow") != std::string::npos;
                            }),
              1);
}

}  // namespace
}  // namespace qrv::testing
