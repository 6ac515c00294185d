#include "settings/settings_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "runtime/text_file.h"
#include "support/recording_log.h"
#include "support/scripted_dialogs.h"
#include "support/station_file_text.h"
#include "support/temp_dir.h"

namespace qrv {
namespace {

using testing::kNotice;
using testing::ReadBytes;
using testing::RecordingLog;
using testing::TempDir;
using testing::WriteBytes;

// An INI file as the station writes it, with line overrides by line number.
std::string IniText(const std::map<int, std::string>& overrides = {}, int lineCount = 113,
                    const std::string& eol = "\r\n") {
    std::vector<std::string> lines = {std::string(61, '='),
                                      "QRVNL INI FILE Vs 1.10",
                                      kNotice,
                                      "Date/time stamp=2026-12-0608:30:00",
                                      "ComPort=0000000003",
                                      "Language=0000000001",
                                      "TempDisplay=0000000007",
                                      "TempUnits=0000000002",
                                      "SampleRate=0000000010",
                                      "GraphStyle=0000000002",
                                      "SmsDestination=0612345678",
                                      "SmsProgramSource=/opt/sms/SMS Centre",
                                      "AlarmEnable=0000000000"};
    lines.resize(113, "---");
    for (const auto& [number, text] : overrides) {
        lines[number - 1] = text;
    }
    lines.resize(lineCount);
    std::string result;
    for (const auto& line : lines) {
        result += line + eol;
    }
    return result;
}

class SettingsFile : public ::testing::Test {
  protected:
    SystemSettings Read(const std::string& text, int* result = nullptr) {
        WriteBytes(path_, text);
        SystemSettings settings;
        const int rc = ReadIniFile(path_, settings);
        if (result) {
            *result = rc;
        }
        return settings;
    }

    TempDir dir_;
    std::filesystem::path path_ = dir_ / "QRVNL.INI";
};

TEST_F(SettingsFile, ReadsEveryLineOfAGoodFile) {
    int result = 1;
    const SystemSettings s = Read(IniText(), &result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(s.SerialPort, 3);
    EXPECT_EQ(s.Taal, 1);
    EXPECT_EQ(s.DisplayKeuze, 7);
    EXPECT_EQ(s.KeuzeTempUnits, 2);
    EXPECT_EQ(s.KeuzeSampleTime, 10);
    EXPECT_EQ(s.KeuzeGraphStyle, 2);
    EXPECT_EQ(s.SmSDestination, "0612345678");
    EXPECT_EQ(s.SmSProgramSource, "/opt/sms/SMS Centre");
    EXPECT_EQ(s.GeneralAlarmEnable, 0);
}

TEST_F(SettingsFile, WritesTheExactLayoutAndReadsItBack) {
    SystemSettings s;
    s.SerialPort = 2;
    s.Taal = 3;
    s.KeuzeSampleTime = 15;
    s.SmSDestination = "Kühlhaus";
    s.SmSProgramSource = "/usr/local/bin/sms centre";
    VirtualClock clock({2026, 12, 6, 8, 30, 5, 0});
    ScriptedDialogs dialogs;
    RecordingLog log;
    ASSERT_EQ(WriteIniFile(path_, s, clock, dialogs, log), 0);

    std::string expected = std::string(61, '=') + "\r\nQRVNL INI FILE Vs 1.10\r\n" + kNotice +
                           "\r\nDate/time stamp=2026-12-0608:30:05\r\nComPort=0000000002\r\n"
                           "Language=0000000003\r\nTempDisplay=0000000000\r\n"
                           "TempUnits=0000000000\r\nSampleRate=0000000015\r\n"
                           "GraphStyle=0000000001\r\nSmsDestination=K\xFChlhaus\r\n"
                           "SmsProgramSource=/usr/local/bin/sms centre\r\n"
                           "AlarmEnable=0000000001\r\n";
    for (int i = 0; i < 100; ++i) {
        expected += "---\r\n";
    }
    EXPECT_EQ(ReadBytes(path_), expected);
    EXPECT_THAT(log.Messages(), ::testing::ElementsAre("IniFile saved"));

    SystemSettings back;
    EXPECT_EQ(ReadIniFile(path_, back), 0);
    EXPECT_EQ(back, s);
}

TEST_F(SettingsFile, OutOfRangeValuesFallBack) {
    const SystemSettings s = Read(IniText({{5, "ComPort=0000000009"},
                                           {6, "Language=0000000004"},
                                           {9, "SampleRate=0000000000"},
                                           {10, "GraphStyle=0000000007"}}));
    EXPECT_EQ(s.SerialPort, 1);
    EXPECT_EQ(s.Taal, 0);
    EXPECT_EQ(s.KeuzeSampleTime, 5);
    EXPECT_EQ(s.KeuzeGraphStyle, 1);
}

TEST_F(SettingsFile, WriterEnforcesTheRangesToo) {
    SystemSettings s;
    s.KeuzeSampleTime = 61;
    s.SerialPort = 0;
    VirtualClock clock;
    ScriptedDialogs dialogs;
    RecordingLog log;
    ASSERT_EQ(WriteIniFile(path_, s, clock, dialogs, log), 0);
    EXPECT_EQ(s.KeuzeSampleTime, 5);
    EXPECT_EQ(s.SerialPort, 1);
}

TEST_F(SettingsFile, DamagedHeaderStillLoadsTheSettings) {
    int result = 0;
    const SystemSettings s = Read(IniText({{2, "QRVNL INI FILE Vs 1.11"}}), &result);
    EXPECT_LT(result, 0);
    EXPECT_EQ(s.SerialPort, 3);
    EXPECT_EQ(s.GeneralAlarmEnable, 0);
    EXPECT_EQ(s.SmSDestination, "0612345678");

    Read(IniText({{1, "====="}, {3, "other notice"}, {4, "Date stamp=x"}}), &result);
    EXPECT_EQ(result, -3);
}

TEST_F(SettingsFile, WrongKeyOrNonNumberLeavesTheSettingUnchanged) {
    int result = 0;
    SystemSettings s = Read(IniText({{5, "Comport=0000000004"}}), &result);
    EXPECT_LT(result, 0);
    EXPECT_EQ(s.SerialPort, 1);
    EXPECT_EQ(s.Taal, 1);

    s = Read(IniText({{9, "SampleRate=often"}}), &result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(s.KeuzeSampleTime, 5);
}

TEST_F(SettingsFile, TextLinesAreTakenByPositionAndBounded) {
    SystemSettings s = Read(IniText({{11, "SmsDestination="}}));
    EXPECT_EQ(s.SmSDestination, "");

    s = Read(IniText({{11, "XXXXXXXXXXXXXXX0123456789012345678901234567890"},
                      {12, "SmsProgramSource=" + std::string(300, 'p')}}));
    EXPECT_EQ(s.SmSDestination, "012345678901234567890123456");  // 27 characters
    EXPECT_EQ(s.SmSProgramSource, std::string(259, 'p'));
}

TEST_F(SettingsFile, ATextValueThatIsNotTextIsRefusedTheDefaultStandsAndTheLogSaysWhich) {
    std::string junk;  // binary damage within one line
    for (int i = 0; junk.size() < 210; ++i) {
        const auto byte = static_cast<char>((i * 37 + 11) % 256);
        if (byte != '\n' && byte != '\r') {
            junk.push_back(byte);
        }
    }
    WriteBytes(path_, IniText({{12, "SmsProgramSource=" + junk}}));
    SystemSettings s;
    RecordingLog log;
    EXPECT_EQ(ReadIniFile(path_, s, log), -1);
    EXPECT_EQ(s.SmSProgramSource, "---");
    EXPECT_EQ(s.SmSDestination, "0612345678") << "the other lines are still taken";
    EXPECT_EQ(s.GeneralAlarmEnable, 0);
    EXPECT_THAT(log.Messages(),
                ::testing::ElementsAre("IniFile: SmsProgramSource refused, its value is not text"));

    VirtualClock clock;
    ScriptedDialogs dialogs;
    ASSERT_EQ(WriteIniFile(path_, s, clock, dialogs, log), 0);
    EXPECT_NE(ReadBytes(path_).find("\r\nSmsProgramSource=---\r\n"), std::string::npos)
        << "the junk is not carried into the next rewrite";

    // A control character or a byte Windows-1252 leaves undefined is enough.
    for (const std::string value : {"06\x01"
                                    "12",
                                    "06 12\t",
                                    "06\x81"
                                    "12"}) {
        SystemSettings previous;
        previous.SmSDestination = "kept";
        WriteBytes(path_, IniText({{11, "SmsDestination=" + value}}));
        EXPECT_LT(ReadIniFile(path_, previous), 0);
        EXPECT_EQ(previous.SmSDestination, "kept") << value;
    }
    // Every defined Windows-1252 character is text.
    const SystemSettings text = Read(IniText({{11, "SmsDestination=\x80 K\xFChlhaus"}}));
    EXPECT_EQ(text.SmSDestination, "€ Kühlhaus");
}

TEST_F(SettingsFile, SpareLinesMayBeMissingOrChanged) {
    int result = 1;
    Read(IniText({}, 13), &result);
    EXPECT_EQ(result, 0);
    Read(IniText({{20, "anything"}}), &result);
    EXPECT_EQ(result, 0);
    Read(IniText({}, 113, "\n"), &result);
    EXPECT_EQ(result, 0) << "LF-only line ends are accepted";
}

TEST_F(SettingsFile, ShortFileKeepsWhatItCannotRead) {
    int result = 0;
    const SystemSettings s = Read(IniText({}, 7), &result);
    EXPECT_LT(result, 0);
    EXPECT_EQ(s.SerialPort, 3);
    EXPECT_EQ(s.Taal, 1);
    EXPECT_EQ(s.KeuzeSampleTime, 5);
    EXPECT_EQ(s.SmSDestination, "---");
    EXPECT_EQ(s.GeneralAlarmEnable, 1);
}

TEST_F(SettingsFile, MissingFileAndGarbage) {
    SystemSettings s;
    s.Taal = 2;
    EXPECT_EQ(ReadIniFile(dir_ / "none.INI", s), kFileDoesNotExist);
    EXPECT_EQ(s.Taal, 2);

    std::string garbage;
    for (int i = 0; i < 5000; ++i) {
        garbage.push_back(static_cast<char>((i * 7919) % 256));
    }
    int result = 0;
    s = Read(garbage, &result);
    EXPECT_LT(result, 0);
    EXPECT_GE(s.Taal, 0);
    EXPECT_LE(s.Taal, 3);
}

TEST_F(SettingsFile, AFileInItsPlaceThatCannotBeReadIsNeverReplacedByTheSettingsInMemory) {
    SystemSettings s;
    VirtualClock clock;
    ScriptedDialogs dialogs;
    RecordingLog log;
    const auto path = dir_ / "QRVNL.INI";
    // A pipe stands in for a file the station's user may not read.
    ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
    EXPECT_EQ(ReadIniFile(path, s), kFileCannotOpenForReading);

    EXPECT_EQ(WriteIniFile(path, s, clock, dialogs, log), kFileCannotOpenForWriting);

    EXPECT_TRUE(std::filesystem::is_fifo(path));
    ASSERT_EQ(dialogs.Popups().size(), 1u);
    EXPECT_EQ(dialogs.Popups()[0].message, "File error in QRVNL.INI, operation aborted.");
    ASSERT_EQ(log.Messages().size(), 1u);
    EXPECT_EQ(log.Messages()[0], "IniFile not written, the file in its place cannot be read: " +
                                     path.string() + ": it is not a regular file");
}

TEST_F(SettingsFile, FailedWriteShowsThePopupAndKeepsTheOldFile) {
    SystemSettings s;
    s.Taal = 1;
    VirtualClock clock;
    ScriptedDialogs dialogs;
    RecordingLog log;
    EXPECT_EQ(WriteIniFile(dir_ / "missing" / "QRVNL.INI", s, clock, dialogs, log),
              kFileCannotOpenForWriting);
    ASSERT_EQ(dialogs.Popups().size(), 1u);
    EXPECT_EQ(dialogs.Popups()[0].title, "QUORVANEL   Intelligentes Fühlernetz");
    EXPECT_EQ(dialogs.Popups()[0].message,
              "Dateifehler beim öffnen QRVNL.INI, Bearbeitung beendet.");
    EXPECT_TRUE(log.Messages().empty());
}

}  // namespace
}  // namespace qrv
