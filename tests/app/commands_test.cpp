#include <gtest/gtest.h>

#include "app/shell/commands.h"
#include "notify/acknowledgement.h"
#include "settings/settings_file.h"
#include "shell_fixture.h"
#include "station/live_monitoring.h"

namespace qrv::testing {
namespace {

using shell::MenuCommand;

class CommandsTest : public ::testing::Test, protected ShellFixture {
  protected:
    void Run(MenuCommand command, int value = 0) {
        shell::ExecuteMenuCommand(state, services, view, command, value);
        Serve();
    }
    SystemSettings StoredSettings() const {
        SystemSettings stored;
        EXPECT_EQ(ReadIniFile(state.paths.IniFileName(), stored), 0);
        return stored;
    }
};

TEST_F(CommandsTest, PrintAndViewItemsOpenTheirPanels) {
    Run(MenuCommand::PrintMonthlyReport, 2025);
    Run(MenuCommand::PrintWeeklyReport, 2024);
    Run(MenuCommand::PrintDailyReport, 2026);
    Run(MenuCommand::PrintDailySheet, 2023);
    Run(MenuCommand::PrintProbeSettings);
    Run(MenuCommand::PrintSystemSettings);
    Run(MenuCommand::ViewHistory);
    Run(MenuCommand::ViewSavedData);
    Run(MenuCommand::PrintSavedData);
    EXPECT_EQ(view.opened,
              (std::vector<std::string>{"report 0 2025", "report 1 2024", "report 2 2026",
                                        "sheet 2023", "probe printout", "system printout",
                                        "history 1", "history 2", "history 2"}));
}

TEST_F(CommandsTest, CurrentValuesNeedAnInstalledNetwork) {
    Run(MenuCommand::ViewCurrentValues, 3);
    EXPECT_TRUE(view.opened.empty());
    EXPECT_EQ(display.Snapshot().beeps, 1);
    ASSERT_EQ(dialogs.Popups().size(), 1U);
    EXPECT_EQ(dialogs.Popups()[0].message, "The network is inactive.");
    EXPECT_EQ(dialogs.Popups()[0].title, "QUORVANEL   Intelligent Probe Network");

    state.WantedUserMode = kModeNormal;
    state.NetWorkInstalled = 1;
    Run(MenuCommand::ViewCurrentValues, 3);
    EXPECT_EQ(view.opened, std::vector<std::string>{"current 3"});
    EXPECT_EQ(state.ViewProbeSensor, 3);
    EXPECT_EQ(dialogs.Popups().size(), 1U);
}

TEST_F(CommandsTest, ChangingTheLanguageWritesTheSettingsAndRelabels) {
    Run(MenuCommand::SetLanguage, 1);

    EXPECT_EQ(state.settings.Taal, 1);
    EXPECT_EQ(state.settingsOwner.Taal(), 1);
    EXPECT_EQ(StoredSettings().Taal, 1);
    EXPECT_EQ(view.translations, 1);
    EXPECT_GE(view.checkMarkUpdates, 1);
    EXPECT_NE(LogText().find("IniFile saved"), std::string::npos);
}

// Every front end and follower learns of a change from the feed: one event
// per change, of the right kind, and none for a choice that changes nothing.
TEST_F(CommandsTest, ChangesAreAnnouncedOnceOnTheFeedAndTheMenusFollowOnce) {
    FeedSubscription events = monitoring.Feed().Subscribe();
    const auto kinds = [&events] {
        std::vector<LiveEventKind> taken;
        for (const LiveEvent& event : events.Drain().events) {
            taken.push_back(event.kind);
        }
        return taken;
    };
    Run(MenuCommand::SetLanguage, 0);
    dialogs.QueueButton(1);  // yes, disable every alarm
    Run(MenuCommand::DisableAlarm);
    Run(MenuCommand::DisableAlarm);
    EXPECT_EQ(kinds(), std::vector<LiveEventKind>{LiveEventKind::kStationSettingsChanged});

    const int translations = view.translations;
    shell::ExecuteMenuCommand(state, services, view, MenuCommand::SetLanguage, 2);
    shell::ExecuteMenuCommand(state, services, view, MenuCommand::SetSampleRate, 30);
    EXPECT_EQ(view.translations, translations) << "nothing before the event loop serves";
    Serve();
    EXPECT_EQ(view.translations, translations + 1) << "two changes, one relabelling";
    EXPECT_EQ(kinds(), (std::vector<LiveEventKind>{LiveEventKind::kStationSettingsChanged,
                                                   LiveEventKind::kStationSettingsChanged}));

    dialogs.QueueText(std::string("Cold store"));
    Run(MenuCommand::EditNetworkName);
    EXPECT_EQ(kinds(), std::vector<LiveEventKind>{LiveEventKind::kProbeSettingsChanged});
}

TEST_F(CommandsTest, ChoosingTheLanguageAlreadySetWritesNothing) {
    Run(MenuCommand::SetLanguage, 0);
    Run(MenuCommand::SetSampleRate, 5);
    Run(MenuCommand::SetGraphStyle, 1);

    EXPECT_FALSE(std::filesystem::exists(state.paths.IniFileName()));
    EXPECT_EQ(view.translations, 0);
}

TEST_F(CommandsTest, SampleRateGraphStyleAndAlarmSwitchAreStored) {
    Run(MenuCommand::SetSampleRate, 30);
    Run(MenuCommand::SetGraphStyle, 3);
    dialogs.QueueButton(1);  // yes, disable every alarm
    Run(MenuCommand::DisableAlarm);

    const SystemSettings stored = StoredSettings();
    EXPECT_EQ(stored.KeuzeSampleTime, 30);
    EXPECT_EQ(stored.KeuzeGraphStyle, 3);
    EXPECT_EQ(stored.GeneralAlarmEnable, 0);
    EXPECT_EQ(state.settingsOwner.GeneralAlarmEnable(), 0);
    EXPECT_EQ(state.settingsOwner.KeuzeSampleTime(), 30);

    Run(MenuCommand::EnableAlarm);
    EXPECT_EQ(StoredSettings().GeneralAlarmEnable, 1);
}

TEST_F(CommandsTest, QuitQuestionDependsOnTheInstalledNetwork) {
    dialogs.QueueButton(2);
    EXPECT_FALSE(shell::DoeQuit(state, services, view));
    ASSERT_EQ(dialogs.Popups().size(), 1u);
    EXPECT_EQ(dialogs.Popups()[0].message, "Do you really want to quit this program ?");
    EXPECT_EQ(dialogs.Popups()[0].enterChoice, 2);
    EXPECT_EQ(dialogs.Popups()[0].escapeChoice, 2);
    EXPECT_EQ(view.quits, 0);
    EXPECT_EQ(LogText().find("User shutdown"), std::string::npos);

    state.NetWorkInstalled = 1;
    display.SetWaitCursor(true);
    dialogs.QueueButton(1);
    EXPECT_TRUE(shell::DoeQuit(state, services, view));
    EXPECT_EQ(dialogs.Popups()[1].message,
              "Do you really want to quit this program?\nThis will halt all monitoring!");
    EXPECT_FALSE(display.Snapshot().waitCursor);
    EXPECT_EQ(view.quits, 1);
    EXPECT_NE(LogText().find(": User shutdown\r\n"), std::string::npos);
}

TEST_F(CommandsTest, AlarmButtonMutesAcknowledgesAndRestoresTheBeep) {
    FeedSubscription events = monitoring.Feed().Subscribe();
    dialogs.QueueText("door was left open, closed it");
    shell::AlarmButton(state, services, 0);
    EXPECT_EQ(state.AlarmUserStatus, 0);
    ASSERT_EQ(dialogs.Popups().size(), 1u);
    EXPECT_NE(dialogs.Popups()[0].message.find(notify::LoginName()), std::string::npos);
    // OK without a comment acknowledges all the same.
    dialogs.QueueText("");
    shell::AlarmButton(state, services, 0);
    EXPECT_EQ(state.AlarmUserStatus, 0);
    shell::AlarmButton(state, services, 1);
    EXPECT_EQ(state.AlarmUserStatus, 1);
    EXPECT_EQ(dialogs.Popups().size(), 2u) << "un-muting asks nothing";
    const std::string who = notify::LoginName();
    const std::string log = LogText();
    EXPECT_LT(log.find("Alarm switched OFF by " + who + " (window)"),
              log.find("Alarm switched ON by " + who + " (window)"));

    const std::string alarms = ReadBytes(state.paths.AlarmFileName());
    EXPECT_NE(alarms.find(" 14:05: Acknowledged by " + who +
                          " (window): door was left open, closed it\r\n"),
              std::string::npos)
        << alarms;
    EXPECT_NE(alarms.find(" 14:05: Acknowledged by " + who + " (window)\r\n"), std::string::npos);
    const FeedBatch batch = events.Drain();
    ASSERT_EQ(batch.events.size(), 3u);
    EXPECT_EQ(batch.events[0].kind, LiveEventKind::kAcknowledged);
    EXPECT_EQ(batch.events[0].by, who + " (window)");
    EXPECT_EQ(batch.events[0].reason, "door was left open, closed it");
    EXPECT_EQ(batch.events[1].reason, "");
    EXPECT_EQ(batch.events[2].kind, LiveEventKind::kUnmuted) << "the rows follow the un-mute too";
    EXPECT_EQ(batch.events[2].by, who + " (window)");
}

TEST_F(CommandsTest, CancelInTheAcknowledgementDialogLeavesTheAlarmSounding) {
    FeedSubscription events = monitoring.Feed().Subscribe();
    state.SensorAlarm = 1;
    state.WantedUserMode = kModeNormal;
    state.DisplayTimerEnable = 1;
    display.SetAlarmButton(0);  // as the click left it
    dialogs.QueueText(std::nullopt);
    shell::AlarmButton(state, services, 0);

    EXPECT_EQ(state.AlarmUserStatus, 1);
    EXPECT_EQ(display.Snapshot().alarmButtonValue, 1) << "the button is back to audible";
    EXPECT_TRUE(events.Drain().events.empty()) << "no acknowledgement";
    EXPECT_EQ(LogText().find("Alarm switched OFF"), std::string::npos);
    ASSERT_EQ(dialogs.Popups().size(), 1u);
    EXPECT_NE(dialogs.Popups()[0].message.find("Cancel leaves the alarm sounding"),
              std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(state.paths.AlarmFileName()));
}

TEST_F(CommandsTest, DisablingEveryAlarmIsAskedAndTheHeaderSaysSo) {
    dialogs.QueueButton(2);
    Run(MenuCommand::DisableAlarm);
    EXPECT_EQ(state.settings.GeneralAlarmEnable, 1) << "No keeps the alarms";
    ASSERT_EQ(dialogs.Popups().size(), 1u);
    EXPECT_TRUE(dialogs.Popups()[0].message.starts_with("Disable all alarms?"));
    EXPECT_EQ(dialogs.Popups()[0].enterChoice, 2);
    EXPECT_EQ(dialogs.Popups()[0].escapeChoice, 2);
    EXPECT_EQ(display.Snapshot().monitoringState, "");

    dialogs.QueueButton(1);
    Run(MenuCommand::DisableAlarm);
    EXPECT_EQ(state.settings.GeneralAlarmEnable, 0);
    EXPECT_EQ(display.Snapshot().monitoringState, "ALARMS DISABLED");
    Run(MenuCommand::DisableAlarm);
    EXPECT_EQ(dialogs.Popups().size(), 2u) << "already disabled: nothing to ask";

    Run(MenuCommand::EnableAlarm);
    EXPECT_EQ(display.Snapshot().monitoringState, "");
}

TEST_F(CommandsTest, ThePhoneBookNameIsKeptWholeOrRefusedWithItsReason) {
    const auto name = [this](std::string typed) {
        dialogs.QueueText(std::move(typed));
        Run(MenuCommand::SetSmsPhoneName);
        return state.settings.SmSDestination;
    };
    EXPECT_EQ(name("  Duty  "), "Duty") << "blanks around the name go";
    EXPECT_EQ(name("Duty phone"), "Duty") << "never shortened to its first word";
    EXPECT_EQ(dialogs.Popups().back().message,
              "\"Duty phone\" was not saved: the phone name must be one word without blanks, "
              "exactly as in the SMS program's phone book.");
    EXPECT_EQ(name("\u0141\u00f3d\u017a\u2713"), "Duty");
    EXPECT_EQ(dialogs.Popups().back().message,
              "These characters cannot be stored in the station's files: \u0141 \u017a "
              "\u2713\nPlease replace them.");
    EXPECT_EQ(name("K\u00fchlhaus"), "K\u00fchlhaus") << "Windows-1252 holds \u00fc";
    EXPECT_EQ(StoredSettings().SmSDestination, "K\u00fchlhaus");
}

TEST_F(CommandsTest, TheLogAndTheAlarmFileAreShownReadOnlyInTheStationsEncoding) {
    log.LogMessageToDisk("first entry");
    WriteBytes(state.paths.AlarmFileName(),
               "2026-03-09 14:05: High Alarm:  Freezer  -12.3\xB0"
               "C\r\n");
    Run(MenuCommand::ViewLog);
    Run(MenuCommand::ViewAlarmFile);
    ASSERT_EQ(editor.shown.size(), 2u);
    EXPECT_EQ(editor.shown[0].title, "QRVLog.txt");
    EXPECT_FALSE(editor.shown[0].editable);
    EXPECT_NE(editor.shown[0].text.find("14:05: first entry\n"), std::string::npos);
    EXPECT_EQ(editor.shown[0].text.find('\r'), std::string::npos);
    EXPECT_EQ(editor.shown[1].title, "QRVAlarm.txt");
    EXPECT_EQ(editor.shown[1].text, "2026-03-09 14:05: High Alarm:  Freezer  -12.3\u00B0C\n");
    EXPECT_FALSE(editor.shown[1].editable);
    const std::string logText = LogText();
    EXPECT_NE(logText.find("Log-file viewed"), std::string::npos);
    EXPECT_NE(logText.find("Alarm-file viewed"), std::string::npos);
    EXPECT_TRUE(dialogs.Popups().empty());
}

TEST_F(CommandsTest, AFileThatCannotBeShownIsNamedAndNotLoggedAsViewed) {
    SystemSettings french = state.settings;
    french.Taal = 2;
    state.settingsOwner.Replace(french);
    Run(MenuCommand::ViewAlarmFile);  // no alarm yet: no file
    EXPECT_NE(LogText().find("Alarm-file not viewed"), std::string::npos);
    EXPECT_EQ(LogText().find("Alarm-file viewed"), std::string::npos);
    std::filesystem::remove(state.paths.LogFileName());
    std::filesystem::create_directory(state.paths.LogFileName());
    Run(MenuCommand::ViewLog);
    EXPECT_TRUE(editor.shown.empty());
    ASSERT_EQ(dialogs.Popups().size(), 2u);
    EXPECT_EQ(dialogs.Popups()[0].title, "QUORVANEL   Réseau de capteurs intelligents");
    EXPECT_EQ(dialogs.Popups()[0].message,
              "Ce fichier n'existe pas encore :\n" + state.paths.AlarmFileName().string());
    EXPECT_EQ(dialogs.Popups()[1].message,
              "Ce fichier ne peut pas être lu :\n" + state.paths.LogFileName().string());
    EXPECT_EQ(dialogs.UnexpectedPopups(), 0);
}

TEST_F(CommandsTest, AboutShowsTheHardwareLineUnderTheBanner) {
    Run(MenuCommand::About);
    ASSERT_EQ(dialogs.Popups().size(), 1u);
    EXPECT_EQ(dialogs.Popups()[0].title, "QUORVANEL   Intelligent Probe Network");
    EXPECT_NE(dialogs.Popups()[0].message.find("Nodex interface unit, release 1.10 or higher"),
              std::string::npos);
    for (int taal = 0; taal < 4; ++taal) {
        EXPECT_NE(shell::AboutText(taal).find("3.03"), std::string::npos);
    }
}

TEST_F(CommandsTest, CommandsOfLaterPartsDoNothingYetAndStopNeedsANetwork) {
    Run(MenuCommand::StopNetwork);
    Run(MenuCommand::PrintSystemSettings);
    EXPECT_TRUE(dialogs.Popups().empty());
    EXPECT_FALSE(std::filesystem::exists(state.paths.LogFileName()));
}

}  // namespace
}  // namespace qrv::testing
