#include <gtest/gtest.h>
#include <sys/stat.h>

#include "app/shell/commands.h"
#include "sensors/sensor_file.h"
#include "settings/settings_file.h"
#include "shell_fixture.h"
#include "station/com_port.h"
#include "station/network_install.h"
#include "station/startup.h"
#include "storage/result_file_format.h"
#include "support/popup_answers.h"

namespace qrv::testing {
namespace {

using Kind = ScriptedDialogs::Kind;
constexpr int kNormalButton = 1;
constexpr int kOffLineButton = 2;
constexpr int kDemoButton = 3;

class StartupTest : public ::testing::Test, protected ShellFixture {
  protected:
    // The start-up, then what the window's event loop does with what it announced.
    std::optional<int> Start() {
        const std::optional<int> exit = shell::RunStartup(state, services, {});
        Serve();
        return exit;
    }

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

TEST_F(StartupTest, BesideTheServiceTheWindowIsOffLineAndLeavesTheUnitAlone) {
    // A unit that answers: the window would install it, were it not the service's.
    lines->cts = FakeLineState::Cts::FollowsPower;
    WriteSensorFileWithProbes(2);
    const std::filesystem::path day = state.paths.DataDirectory(kModeNormal) / "2025-06-01.qrd";
    std::filesystem::create_directories(day.parent_path());
    WriteBytes(day, FormatResultHeader("2025-06-01"));
    state.serviceMonitors = true;
    // Opening the port would raise both lines again.
    lines->rts = lines->dtr = false;

    EXPECT_EQ(Start(), std::nullopt);

    EXPECT_EQ(state.WantedUserMode, kModeOffLine);
    EXPECT_TRUE(dialogs.Popups().empty()) << "no mode question";
    EXPECT_EQ(networkTimer.stops, 0) << "no installation";
    EXPECT_FALSE(lines->rts || lines->dtr) << "the port was opened";
    EXPECT_EQ(state.sensors.Lock()->GetMax1820Index(), 1);
    EXPECT_EQ(view.years, std::vector<int>{2025}) << "the stored days are offered";
    EXPECT_NE(LogText().find("Window opened off-line: the service monitors the network\r\n"),
              std::string::npos);

    // Nor does the menu's installation take the unit from the service.
    shell::DoeInstallNetwork(state, services);
    ASSERT_EQ(dialogs.Popups().size(), 1U);
    EXPECT_EQ(dialogs.Popups()[0].message, "This action is not possible in the current mode.\n");
    EXPECT_EQ(networkTimer.stops, 0);
    EXPECT_EQ(state.NetWorkInstalled, 0);
    // Nor does a change of port open one.
    shell::SetTheNewCommPort(state, services, 2);
    ASSERT_EQ(dialogs.Popups().size(), 2U);
    EXPECT_EQ(dialogs.Popups()[1].message, "This action is not possible in the current mode.\n");
    EXPECT_FALSE(lines->rts || lines->dtr) << "the port was opened";
    EXPECT_EQ(state.settings.SerialPort, 1);
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

// The mode choice has just found the unit: the installation that follows
// opens its session without checking the port a second time, and checks it
// again when the user asks it to try once more.
TEST_F(StartupTest, TheInstallationAtStartTakesTheModeChoicesPortCheckOnce) {
    lines->cts = FakeLineState::Cts::FollowsPower;
    WriteSensorFileWithProbes(1);
    // The port answers but no bridge does, so the installation asks.
    dialogs.QueueButton(1);  // Retry
    dialogs.QueueButton(2);  // Cancel

    EXPECT_EQ(Start(), std::nullopt);

    ASSERT_EQ(dialogs.Popups().size(), 2u);
    // The mode choice's check; the session; the retry's check and session.
    EXPECT_EQ(lines->opens, 4);
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
    EXPECT_EQ(shell::RunStartup(second.state, second.services, {}), std::nullopt);
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
    // The menu offers the ports whose devices are there; none is opened.
    PortMap map = ports.Map();
    for (int com = 1; com <= 8; ++com) {
        map.Set(com, (dir.path() / ("no-device-" + std::to_string(com))).string());
    }
    map.Set(3, "simulator");
    ports.SetMap(map);

    EXPECT_EQ(Start(), std::nullopt);

    // Missing settings file: read twice and no settings file created; the
    // menus follow the start-up's announcements once, not per change.
    EXPECT_EQ(view.translations, 1);
    EXPECT_FALSE(std::filesystem::exists(state.paths.IniFileName()));
    EXPECT_FALSE(display.Snapshot().waitCursor);
    EXPECT_EQ(state.DisplayTimerEnable, 1);
    EXPECT_EQ(view.ports, (std::vector<int>{3}));
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

// A pipe stands in for a file the station's user may not read (which a test
// run as root cannot make): both give a reason and no bytes.
void MakeUnreadable(const std::filesystem::path& file) {
    std::filesystem::remove(file);
    ASSERT_EQ(::mkfifo(file.c_str(), 0644), 0);
}

TEST_F(StartupTest, AnUnreadableSettingsFileIsNamedWithItsReasonAndNeverReplacedByTheDefaults) {
    WriteSensorFileWithProbes(1);
    MakeUnreadable(state.paths.IniFileName());
    dialogs.QueueButton(kOffLineButton);

    EXPECT_EQ(Start(), std::nullopt);

    const std::string where = state.paths.IniFileName().string() + ": it is not a regular file";
    ASSERT_GE(dialogs.Popups().size(), 2u);
    EXPECT_EQ(dialogs.Popups()[0].kind, Kind::Message);
    EXPECT_EQ(dialogs.Popups()[0].message,
              "The settings file cannot be read. The default settings are used, and the file is "
              "left as it is:\n" +
                  where);
    EXPECT_EQ(dialogs.Popups()[1].message.substr(0, 24), "Interface unit not found")
        << "told before the mode is chosen";
    EXPECT_NE(LogText().find(": IniFile cannot be read, the defaults are used: " + where + "\r\n"),
              std::string::npos)
        << LogText();
    EXPECT_EQ(state.settings.KeuzeSampleTime, SystemSettings{}.KeuzeSampleTime);

    // A setting changed afterwards stays in memory; the file is not replaced.
    shell::SetTheNewSamplingTime(state, services, 1);
    EXPECT_TRUE(std::filesystem::is_fifo(state.paths.IniFileName()));
    EXPECT_EQ(state.settings.KeuzeSampleTime, 1);
    EXPECT_EQ(dialogs.Popups().back().message, "File error in QRVNL.INI, operation aborted.");
    EXPECT_NE(LogText().find("IniFile not written, the file in its place cannot be read: " + where),
              std::string::npos);
}

TEST_F(StartupTest, AnUnreadableSensorFileIsNamedWithItsReasonNotCalledBad) {
    MakeUnreadable(state.paths.SnsFileName(kModeNormal));
    dialogs.QueueButton(kOffLineButton);
    dialogs.QueueButton(kNo);

    EXPECT_EQ(Start(), shell::kExitDeclined);

    const std::string where =
        state.paths.SnsFileName(kModeNormal).string() + ": it is not a regular file";
    ASSERT_EQ(dialogs.Popups().size(), 2u);
    EXPECT_EQ(dialogs.Popups()[1].message,
              "The probe file cannot be read and is left as it is.\nDo you want to continue ?\n\n" +
                  where);
    EXPECT_EQ(dialogs.Popups()[1].buttons, (std::vector<std::string>{"__Yes", "__No"}));
    EXPECT_NE(LogText().find(": SensorFile cannot be read: " + where + "\r\n"), std::string::npos);
    EXPECT_EQ(dialogs.UnexpectedPopups(), 0);
}

TEST_F(StartupTest, ASensorFileCutShortKeepsItsWholeRecordsAndSaysHowFarTheyReach) {
    WriteSensorFileWithProbes(15);
    const std::filesystem::path snsFile = state.paths.SnsFileName(kModeNormal);
    SensorTable named;
    ASSERT_EQ(ReadSensorFile(snsFile, named), 0);
    named.SensorArray[5].Name = "Cold room";
    named.SensorArray[5].AlarmHigh = 7;
    named.SensorArray[5].SmsEnable = 0;
    ScriptedDialogs quiet;
    RecordingLogSink sink;
    ASSERT_EQ(WriteSensorFile(snsFile, named, clock, quiet, sink, 0), 0);
    std::string bytes = ReadBytes(snsFile);
    const std::size_t seventh = bytes.find("===================================\r\n6\r\n");
    ASSERT_NE(seventh, std::string::npos);
    bytes.resize(seventh + 100);  // into the seventh record's ROM
    WriteBytes(snsFile, bytes);
    dialogs.QueueButton(kOffLineButton);
    dialogs.QueueButton(kYes);
    dialogs.QueueButton(kYes);

    EXPECT_EQ(Start(), std::nullopt);

    {
        const auto table = state.sensors.Lock();
        ASSERT_EQ(table->GetMax1820Index(), 5);
        const SensorRecord& coldRoom = table->SensorArray[5];
        EXPECT_EQ(coldRoom.Name, "Cold room");
        EXPECT_EQ(coldRoom.AlarmHigh, 7);
        EXPECT_EQ(coldRoom.SmsEnable, 0);
        EXPECT_EQ(table->SensorArray[0].Name, "Probe 0");
    }
    ASSERT_EQ(dialogs.Popups().size(), 3u);
    EXPECT_EQ(dialogs.Popups()[1].message,
              "The probe file .sns is bad or corrupted.\nDo you want to continue ?\n\nThe probe "
              "file is cut short: the settings of 6 of its 15 probes were read whole and are "
              "used; from byte " +
                  std::to_string(seventh) +
                  " on the file is damaged. The other probes are "
                  "treated as new.");
    EXPECT_NE(
        LogText().find(": SensorFile cut short: 6 of 15 probe records read whole, damaged "
                       "from byte " +
                       std::to_string(seventh) + " (file of " + std::to_string(seventh + 100) +
                       " bytes); the other probes are treated as new\r\n"),
        std::string::npos)
        << LogText();
    EXPECT_TRUE(ReadBytes(snsFile) == bytes) << "off-line mode rewrites nothing";
}

TEST_F(StartupTest, ASensorFileWithMoreProbesThanTheTableIsKeptBesideItAndNamed) {
    // 120 probes: the writer of the table holds 100, the rest is added by hand.
    WriteSensorFileWithProbes(100);
    const std::filesystem::path snsFile = state.paths.SnsFileName(kModeNormal);
    std::string bytes = ReadBytes(snsFile);
    const std::string lastHead = "===================================\r\n99\r\n";
    const std::size_t last = bytes.rfind(lastHead);
    ASSERT_NE(last, std::string::npos);
    const std::string lastBody = bytes.substr(last + lastHead.size());
    for (int j = 100; j < 120; ++j) {
        bytes += "===================================\r\n" + std::to_string(j) + "\r\n" + lastBody;
    }
    bytes.replace(bytes.find("maxindex\r\n99\r\n"), 14, "maxindex\r\n119\r\n");
    WriteBytes(snsFile, bytes);
    dialogs.QueueButton(kOffLineButton);

    EXPECT_EQ(Start(), std::nullopt);

    std::vector<std::filesystem::path> copies;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        if (entry.path().filename().string().starts_with("QRVNL.SNS.kept-2026-03-09-")) {
            copies.push_back(entry.path());
        }
    }
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_TRUE(ReadBytes(copies[0]) == bytes) << "the copy holds the file as it was";
    EXPECT_TRUE(ReadBytes(snsFile) == bytes) << "off-line mode rewrites nothing";
    EXPECT_EQ(state.sensors.Lock()->GetMax1820Index(), 99);
    ASSERT_EQ(dialogs.Popups().size(), 2u);
    EXPECT_EQ(dialogs.Popups()[1].message,
              "The probe file holds more probes than the station has room for (100): only the "
              "first 100 are loaded.\nThe file as it was is kept in:\n" +
                  copies[0].string());
    EXPECT_NE(LogText().find(": SensorFile holds 120 probes, room for 100; kept as it was in " +
                             copies[0].string() + "\r\n"),
              std::string::npos)
        << LogText();
}

TEST_F(StartupTest, ANetworkFileTheSimulatorCannotUseIsToldBeforeTheModeQuestion) {
    WriteSensorFileWithProbes(1);
    dialogs.QueueButton(kOffLineButton);
    shell::StartupOptions options;
    options.simulatedNetworkProblem = "/tmp/net.json: the file is empty";

    EXPECT_EQ(shell::RunStartup(state, services, options), std::nullopt);

    ASSERT_EQ(dialogs.Popups().size(), 2u);
    EXPECT_EQ(dialogs.Popups()[0].message,
              "The network file of the simulated interface unit cannot be used:\n"
              "/tmp/net.json: the file is empty");
    EXPECT_EQ(dialogs.Popups()[1].message.substr(0, 24), "Interface unit not found");
    EXPECT_NE(LogText().find(": Simulated network not loaded: /tmp/net.json: the file is empty"),
              std::string::npos);
}

TEST_F(StartupTest, ShutdownWithoutANetworkStillPowersTheUnitDownAndClosesThePort) {
    WriteSensorFileWithProbes(1);
    dialogs.QueueButton(kOffLineButton);
    ASSERT_EQ(Start(), std::nullopt);
    const int closesBefore = lines->closes;

    EXPECT_EQ(shell::RunShutdown(state, services), 0);

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
