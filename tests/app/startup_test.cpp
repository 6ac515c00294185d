#include <gtest/gtest.h>

#include "app/shell/startup.h"
#include "sensors/sensor_file.h"
#include "settings/settings_file.h"
#include "shell_fixture.h"

namespace qrv::testing {
namespace {

using Kind = ScriptedDialogs::Kind;
constexpr int kYes = 1;
constexpr int kNo = 2;
constexpr int kNormalButton = 1;
constexpr int kOffLineButton = 2;
constexpr int kDemoButton = 3;

class StartupTest : public ::testing::Test, protected ShellFixture {
  protected:
    std::optional<int> Start() { return shell::RunStartup(state, services, view, {}); }

    void WriteSensorFileWithProbes(int count, int mode = kModeNormal) {
        SensorTable table;
        for (int i = 0; i < count; ++i) {
            RomCode rom{0x28, static_cast<std::int16_t>(i + 1), 0, 0, 0, 0, 0, 0x11};
            const int index = table.Append1820ToDataStruct(rom, 1);
            table.SensorArray[static_cast<std::size_t>(index)].Name = "Probe " + std::to_string(i);
        }
        std::filesystem::create_directories(state.paths.SnsFileName(mode).parent_path());
        ScriptedDialogs quiet;
        RecordingLogSink sink;
        ASSERT_EQ(WriteSensorFile(state.paths.SnsFileName(mode), table, clock, quiet, sink, 0), 0);
    }

    struct RecordingLogSink final : EventLog {
        void LogMessageToDisk(std::string_view) override {}
    };
};

TEST_F(StartupTest, NoUnitAsksForTheModeWithThreeButtonsUnderTheBanner) {
    WriteSensorFileWithProbes(2);
    dialogs.QueueButton(kOffLineButton);

    EXPECT_EQ(Start(), std::nullopt);

    ASSERT_EQ(dialogs.Popups().size(), 1u);
    const auto& popup = dialogs.Popups()[0];
    EXPECT_EQ(popup.kind, Kind::Generic);
    EXPECT_EQ(popup.title, "QUORVANEL   Intelligent Probe Network");
    EXPECT_EQ(popup.message, "Interface unit not found......   Please select an option:\n");
    EXPECT_EQ(popup.buttons,
              (std::vector<std::string>{"__Normal mode", "__Off line mode", "__Demo mode"}));
    EXPECT_EQ(popup.enterChoice, 1);
    EXPECT_EQ(popup.escapeChoice, 1);
    EXPECT_EQ(state.WantedUserMode, kModeOffLine);
    EXPECT_EQ(state.sensors.Lock()->GetMax1820Index(), 1);
    EXPECT_EQ(dialogs.UnexpectedPopups(), 0);
}

TEST_F(StartupTest, EachModeButtonSetsItsMode) {
    for (auto [button, mode] :
         {std::pair{kNormalButton, kModeNormal}, std::pair{kOffLineButton, kModeOffLine},
          std::pair{kDemoButton, kModeDemo}}) {
        dialogs.QueueButton(button);
        EXPECT_EQ(shell::SeeIfNoQRVBoxAndUserWantsDemoModeOrOffLine(state, services), mode);
        EXPECT_EQ(state.WantedUserMode, mode);
    }
}

TEST_F(StartupTest, AnAnsweringUnitMeansNormalModeWithoutAQuestionAndAnInstallation) {
    lines->cts = FakeLineState::Cts::FollowsPower;
    WriteSensorFileWithProbes(1);
    // The port answers but no bridge does, so the installation asks.
    dialogs.QueueButton(2);  // Cancel

    EXPECT_EQ(Start(), std::nullopt);

    ASSERT_EQ(dialogs.Popups().size(), 1u);
    EXPECT_EQ(dialogs.Popups()[0].message.substr(0, 30), "Interface unit not responding.");
    EXPECT_EQ(state.WantedUserMode, kModeNormal);
    EXPECT_EQ(networkTimer.stops, 1) << "the installation began";
    EXPECT_FALSE(display.Snapshot().menuBarDimmed);
}

TEST_F(StartupTest, MissingSensorFileAsksBothQuestionsAndNoToTheFirstEndsAtOnce) {
    dialogs.QueueButton(kNormalButton);
    dialogs.QueueButton(kNo);

    EXPECT_EQ(Start(), shell::kExitDeclined);

    ASSERT_EQ(dialogs.Popups().size(), 2u);
    EXPECT_EQ(dialogs.Popups()[1].message,
              "The probe file .sns is bad or corrupted.\nDo you want to continue ?");
    EXPECT_EQ(dialogs.Popups()[1].buttons, (std::vector<std::string>{"__Yes", "__No"}));
    EXPECT_EQ(dialogs.UnexpectedPopups(), 0);
}

TEST_F(StartupTest, MissingSensorFileNeedsTwoYesAnswersToGoOn) {
    dialogs.QueueButton(kOffLineButton);
    dialogs.QueueButton(kYes);
    dialogs.QueueButton(kNo);
    EXPECT_EQ(Start(), shell::kExitDeclined);
    ASSERT_EQ(dialogs.Popups().size(), 3u);
    EXPECT_EQ(dialogs.Popups()[2].message,
              "Please check the power and computer cable.\nContinue with network initialization?");

    ShellFixture second;
    second.dialogs.QueueButton(kOffLineButton);
    second.dialogs.QueueButton(kYes);
    second.dialogs.QueueButton(kYes);
    EXPECT_EQ(shell::RunStartup(second.state, second.services, second.view, {}), std::nullopt);
    EXPECT_EQ(second.state.sensors.Lock()->GetMax1820Index(), -1);
    EXPECT_FALSE(second.display.Snapshot().menuBarDimmed);
}

TEST_F(StartupTest, DemoModeUsesTheDemoDirectoryAndIgnoresABadSensorFile) {
    dialogs.QueueButton(kDemoButton);

    EXPECT_EQ(Start(), std::nullopt);

    EXPECT_EQ(dialogs.Popups().size(), 1u);
    EXPECT_EQ(state.sensors.Lock()->NetworkName, "QRV Demo");
    EXPECT_EQ(state.DemoDealerMessage, "----");
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "QRVDATA" / "QRVDEMO"));
    const auto shown = display.Snapshot();
    EXPECT_TRUE(shown.modeTextShown);
    EXPECT_FALSE(shown.dealerTextShown);
}

TEST_F(StartupTest, DemoModeReadsTheDealerTextFromTheThirdLine) {
    WriteBytes(state.paths.DealerFileName(),
               "first\r\nsecond\r\nYour dealer: Fa. M\xfcller, 0123 45678\r\nfourth\r\n");
    WriteSensorFileWithProbes(3, kModeDemo);
    dialogs.QueueButton(kDemoButton);

    EXPECT_EQ(Start(), std::nullopt);

    EXPECT_EQ(state.DemoDealerMessage, "Your dealer: Fa. Müller, 0123 45678");
    EXPECT_EQ(state.sensors.Lock()->GetMax1820Index(), 2);
    EXPECT_EQ(view.probes.size(), 3u);
    EXPECT_EQ(view.probes[2].label, "__Probe 2");
}

TEST_F(StartupTest, StartupOrderAndFinalState) {
    WriteSensorFileWithProbes(1);
    dialogs.QueueButton(kOffLineButton);

    EXPECT_EQ(Start(), std::nullopt);

    // Missing settings file: read twice, the panel shown and translated twice,
    // and no settings file created.
    EXPECT_EQ(view.shows, 2);
    EXPECT_EQ(view.translations, 2);
    EXPECT_FALSE(std::filesystem::exists(state.paths.IniFileName()));
    EXPECT_FALSE(view.waitCursor);
    EXPECT_EQ(state.DisplayTimerEnable, 1);
    EXPECT_EQ(view.ports, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_GE(view.dimmingUpdates, 1);
    const auto shown = display.Snapshot();
    EXPECT_FALSE(shown.menuBarDimmed);
    EXPECT_TRUE(shown.logoShown);
    EXPECT_FALSE(shown.alarmBannerShown);
    EXPECT_FALSE(shown.alarmButtonShown);
    EXPECT_EQ(shown.alarmButtonValue, 1);
    EXPECT_EQ(shown.dateTime, "09/03/2026   14:05:07");
    EXPECT_NE(LogText().find("2026-03-09 14:05: QRV program started\r\n"), std::string::npos);
}

TEST_F(StartupTest, SettingsAreTakenFromTheFile) {
    SystemSettings stored;
    stored.Taal = 1;
    stored.KeuzeSampleTime = 15;
    ScriptedDialogs quiet;
    RecordingLogSink sink;
    ASSERT_EQ(WriteIniFile(state.paths.IniFileName(), stored, clock, quiet, sink), 0);
    WriteSensorFileWithProbes(1);
    dialogs.QueueButton(kOffLineButton);

    EXPECT_EQ(Start(), std::nullopt);

    EXPECT_EQ(state.settings.Taal, 1);
    EXPECT_EQ(state.settingsOwner.Taal(), 1);
    EXPECT_EQ(state.settingsOwner.KeuzeSampleTime(), 15);
    EXPECT_EQ(dialogs.Popups()[0].title, "QUORVANEL   Intelligentes Fühlernetz");
}

TEST_F(StartupTest, ATextSettingThatIsNotTextIsRefusedAndLoggedOnce) {
    SystemSettings stored;
    stored.Taal = 2;
    stored.SmSProgramSource = "/opt/sms/SMS Centre";
    ScriptedDialogs quiet;
    RecordingLogSink sink;
    ASSERT_EQ(WriteIniFile(state.paths.IniFileName(), stored, clock, quiet, sink), 0);
    std::string bytes = ReadBytes(state.paths.IniFileName());
    bytes.replace(bytes.find("/opt/sms/SMS Centre"), 19, std::string("\0\x01\xFF\x90junk", 8));
    WriteBytes(state.paths.IniFileName(), bytes);
    WriteSensorFileWithProbes(1);
    dialogs.QueueButton(kOffLineButton);

    EXPECT_EQ(Start(), std::nullopt);

    EXPECT_EQ(state.settings.SmSProgramSource, "---");
    EXPECT_EQ(state.settings.Taal, 2);
    const std::string log = LogText();
    const std::string refusal = "IniFile: SmsProgramSource refused, its value is not text\r\n";
    ASSERT_NE(log.find(refusal), std::string::npos) << log;
    EXPECT_EQ(log.find(refusal, log.find(refusal) + 1), std::string::npos)
        << "the second reading of a damaged file does not log it again";
}

TEST_F(StartupTest, ShutdownWithoutANetworkStillPowersTheUnitDownAndClosesThePort) {
    WriteSensorFileWithProbes(1);
    dialogs.QueueButton(kOffLineButton);
    ASSERT_EQ(Start(), std::nullopt);
    const int closesBefore = lines->closes;

    EXPECT_EQ(shell::RunShutdown(state, services, view), 0);

    EXPECT_EQ(networkTimer.stops, 1);
    EXPECT_GT(lines->closes, closesBefore);
    EXPECT_FALSE(lines->rts);
    EXPECT_FALSE(lines->dtr);
    EXPECT_EQ(state.DisplayTimerEnable, 0);
    EXPECT_TRUE(display.Snapshot().menuBarDimmed);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "QRVDATA" / "2026-03-09.qrd"));
}

}  // namespace
}  // namespace qrv::testing
