#include <gtest/gtest.h>

#include <span>
#include <vector>

#include "runtime/text_file.h"
#include "shell_fixture.h"
#include "station/display_timer.h"
#include "station/station_events.h"
#include "station/status_fields.h"

namespace qrv::testing {
namespace {

class DisplayTimerTest : public ::testing::Test, protected ShellFixture {
  protected:
    void SetUp() override {
        state.DisplayTimerEnable = 1;
        state.WantedUserMode = kModeNormal;
    }
    void Tick() { shell::SampleTimer(state, services); }
    int LogCount(const std::string& text) const {
        const std::string log = LogText();
        int count = 0;
        for (auto at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) {
            ++count;
        }
        return count;
    }
};

TEST_F(DisplayTimerTest, OffLineModeBlinksItsTextAndNeverShowsTheAlarm) {
    state.WantedUserMode = kModeOffLine;
    state.SensorAlarm = 1;
    state.sensors.Lock()->SensorArray[0].Line = 1;
    state.sensors.Lock()->SensorArray[0].AlarmState = kAlarmHigh;

    std::vector<std::string> texts;
    for (int tick = 0; tick < 4; ++tick) {
        Tick();
        const auto shown = display.Snapshot();
        EXPECT_TRUE(shown.modeTextShown);
        EXPECT_FALSE(shown.alarmBannerShown);
        EXPECT_FALSE(shown.alarmButtonShown);
        texts.push_back(shown.modeText);
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"Off line mode", "", "Off line mode", ""}));
    EXPECT_EQ(display.Snapshot().beeps, 0);
    EXPECT_EQ(state.AsyncWatchdogTimer, 0);
}

TEST_F(DisplayTimerTest, DemoModeBlinksDemoText) {
    state.WantedUserMode = kModeDemo;
    Tick();
    EXPECT_EQ(display.Snapshot().modeText, "Demo mode");
    Tick();
    EXPECT_EQ(display.Snapshot().modeText, "");
}

TEST_F(DisplayTimerTest, The301stTickWithoutANetworkTickLogsATimeOutAndEveryOneAfter) {
    for (int tick = 0; tick < 300; ++tick) {
        Tick();
    }
    EXPECT_EQ(LogCount("Netwerk time-out error"), 0);
    Tick();
    EXPECT_EQ(LogCount("Netwerk time-out error"), 1);
    Tick();
    EXPECT_EQ(LogCount("Netwerk time-out error"), 2);

    state.AsyncWatchdogTimer = 0;  // the network timer ticked
    Tick();
    EXPECT_EQ(LogCount("Netwerk time-out error"), 2);
}

// The trail is checked whole at the first tick and once a day after; its
// head goes to the log, a break to the alarm file as well.
TEST_F(DisplayTimerTest, TheAuditTrailIsCheckedAtTheStartAndOnceADay) {
    ASSERT_TRUE(state.auditTrail.Record({clock.Now(), "anna", "note", "", "1", {}}));
    ASSERT_TRUE(state.auditTrail.Record({clock.Now(), "anna", "note", "", "2", {}}));
    Tick();
    Tick();
    EXPECT_EQ(LogCount("Audit trail QRVAudit.txt: 2 lines, last line SHA-256 "), 1) << LogText();

    const std::filesystem::path trail = state.auditTrail.Path();
    std::string bytes = ReadBytes(trail);
    bytes.replace(bytes.find("\t1\t"), 3, "\t5\t");
    ASSERT_TRUE(SetReadOnly(trail, false));
    ASSERT_EQ(WriteFileAtomically(trail, bytes), kFileOk);
    Tick();
    EXPECT_EQ(LogCount("ERROR: audit trail"), 0) << "checked again only the next day";

    clock.SetNow({2026, 3, 10, 0, 0, 1, 0});
    Tick();
    Tick();
    EXPECT_EQ(LogCount("ERROR: audit trail QRVAudit.txt is broken: line 1 was altered"), 1)
        << LogText();
    const std::string alarms = ReadBytes(state.paths.AlarmFileName());
    EXPECT_NE(alarms.find("2026-03-10 00:00: Alarm: audit trail QRVAudit.txt is broken: line 1"),
              std::string::npos)
        << alarms;
}

TEST_F(DisplayTimerTest, AnAlarmFlashesTheBannerAndBeepsUnlessMuted) {
    state.SensorAlarm = 1;
    Tick();
    auto shown = display.Snapshot();
    EXPECT_TRUE(shown.alarmBannerShown);
    EXPECT_TRUE(shown.alarmButtonShown);
    EXPECT_EQ(shown.alarmBannerText, "Alarm on one or more probes!");
    EXPECT_EQ(shown.alarmBannerPhase, 1);
    EXPECT_EQ(shown.beeps, 1);
    EXPECT_FALSE(shown.modeTextShown);

    state.AlarmUserStatus = 0;
    state.CommunicationErrorAlarm = 1;
    Tick();
    shown = display.Snapshot();
    EXPECT_EQ(shown.alarmBannerPhase, 1) << "muted: steady";
    EXPECT_EQ(shown.beeps, 1);
    EXPECT_EQ(shown.alarmBannerText,
              "Alarm: No communication with the QUORVANEL Network Interface.");

    state.SensorAlarm = 0;
    state.CommunicationErrorAlarm = 0;
    Tick();
    shown = display.Snapshot();
    EXPECT_FALSE(shown.alarmBannerShown);
    EXPECT_FALSE(shown.alarmButtonShown);
}

TEST_F(DisplayTimerTest, AnAcknowledgedAlarmStaysSteadyAndSaysByWhomUntilANewOneFlashes) {
    state.SensorAlarm = 1;
    monitoring.Mute("anna", "on my way", shell::Via::kWindow);
    std::vector<int> phases;
    for (int tick = 0; tick < 3; ++tick) {
        Tick();
        phases.push_back(display.Snapshot().alarmBannerPhase);
    }
    EXPECT_EQ(phases, (std::vector<int>{1, 1, 1}));
    EXPECT_EQ(display.Snapshot().alarmBannerText,
              "Alarm on one or more probes!  \u2013  acknowledged by anna");
    EXPECT_EQ(display.Snapshot().beeps, 0);

    state.AlarmUserStatus = 1;  // what a new or worse alarm does
    phases.clear();
    for (int tick = 0; tick < 2; ++tick) {
        Tick();
        phases.push_back(display.Snapshot().alarmBannerPhase);
    }
    EXPECT_NE(phases[0], phases[1]) << "flashing again";
    EXPECT_EQ(display.Snapshot().alarmBannerText, "Alarm on one or more probes!");
    EXPECT_EQ(display.Snapshot().beeps, 2);
}

TEST_F(DisplayTimerTest, TheHeaderSaysWhileANormalStationDoesNotMonitor) {
    Tick();
    EXPECT_EQ(display.Snapshot().monitoringState, "NOT MONITORING: network stopped");
    state.NetWorkInstalled = 1;
    Tick();
    EXPECT_EQ(display.Snapshot().monitoringState, "");
    SystemSettings disabled = state.settings;
    disabled.GeneralAlarmEnable = 0;
    state.settingsOwner.Replace(disabled);
    state.NetWorkInstalled = 0;
    Tick();
    EXPECT_EQ(display.Snapshot().monitoringState,
              "NOT MONITORING: network stopped  \u00b7  ALARMS DISABLED");
    state.WantedUserMode = kModeOffLine;
    Tick();
    EXPECT_EQ(display.Snapshot().monitoringState, "ALARMS DISABLED")
        << "off line, the mode text says it";
}

// The header's sign of a notice given up is one line in the language, what
// the receiver said included.
TEST(NoticeProblemText, NamesContactChannelTimeAndAnswerOnOneLine) {
    NoticeTotals totals;
    EXPECT_EQ(shell::NoticeProblemText(totals, 0), "");
    totals.lastGivenUp = GivenUpNotice{{2026, 12, 8, 2, 5, 9, 0},
                                       "Ben",
                                       NotifyChannel::kEmail,
                                       "High Alarm: Freezer",
                                       "SMTP 550: no such\r\nuser"};
    EXPECT_EQ(shell::NoticeProblemText(totals, 0),
              "NOTICE NOT DELIVERED to Ben by email (08/12/2026 02:05): SMTP 550: no such  user");
    EXPECT_EQ(shell::NoticeProblemText(totals, 3),
              "MELDING NIET AFGELEVERD aan Ben via email (08/12/2026 02:05): SMTP 550: no such  "
              "user");
}

TEST_F(DisplayTimerTest, EveryTickRefreshesClockAndRewritesTheInactiveNetworkLine) {
    display.SetStatusLine("Reading...", colors::kProgressBlue);
    clock.Advance(1.0);
    Tick();
    const auto shown = display.Snapshot();
    EXPECT_EQ(shown.dateTime, "09/03/2026   14:05:08");
    EXPECT_EQ(shown.statusLine, "Network inactive... ");
    EXPECT_EQ(shown.statusColor, colors::kAlarmRed);
}

TEST_F(DisplayTimerTest, AStoreIsMadeOnceWhenItsEventComesAndTheRowsAreLeftToTheFeed) {
    state.NetWorkInstalled = 1;
    for (SensorRecord& record : std::span(state.sensors.Lock()->SensorArray).first(3)) {
        record.Line = 1;
        record.Name = "Probe";
        record.SensorType = kTypeTemperature;
        record.Value = 4.5;
        record.NewValueCount = 1;
    }
    FeedSubscription events = monitoring.Feed().Subscribe();
    shell::AnnounceStoreDue(services, "test");
    Tick();
    ASSERT_EQ(events.Drain().events.size(), 1U) << "the display timer stores nothing itself";
    Serve();
    Serve();
    const std::vector<LiveEvent> published = events.Drain().events;
    ASSERT_EQ(published.size(), 1U) << "one store, once";
    EXPECT_EQ(published[0].kind, LiveEventKind::kStored);
    menus.Serve();
    EXPECT_EQ(view.years, std::vector<int>{2026}) << "the first file of a year lists it";
    EXPECT_EQ(resultsTable.rowUpdates, 0);
    EXPECT_EQ(state.sensors.Lock()->SensorArray[0].NewValueCount, 1);
}

TEST_F(DisplayTimerTest, ASuspendedTimerDoesNothing) {
    state.DisplayTimerEnable = 0;
    Tick();
    EXPECT_TRUE(display.Calls().empty());
    EXPECT_EQ(state.AsyncWatchdogTimer, 0);
}

}  // namespace
}  // namespace qrv::testing
