#include "station_dump.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "report_command.h"
#include "support/station_file_text.h"
#include "support/temp_dir.h"

namespace qrv::report {
namespace {

using testing::kNotice;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

// Runs a dump into a string, as the tool prints it.
std::pair<int, std::string> Capture(int (*dump)(const std::filesystem::path&, bool, std::FILE*),
                                    const std::filesystem::path& station, bool rewrite = false) {
    std::FILE* out = std::tmpfile();
    const int status = dump(station, rewrite, out);
    std::fflush(out);
    std::rewind(out);
    std::string text;
    char buffer[4096];
    while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, out)) {
        text.append(buffer, n);
    }
    std::fclose(out);
    return {status, text};
}

std::string HandMadeIni() {
    // Hand-edited: LF line ends, a lower-case key, an out-of-range graph style,
    // an over-long destination, and no spare lines.
    return std::string(61, '=') + "\nQRVNL INI FILE Vs 1.10\n" + kNotice +
           "\nDate/time stamp=yesterday\nComport=0000000004\nLanguage=2\nTempDisplay=-3\n"
           "TempUnits=x\nSampleRate=0000000060\nGraphStyle=9\n"
           "SmsDestination=+31612345678901234567890123456789\n"
           "SmsProgramSource=/opt/sms/send \xE9t\xE9\nAlarmEnable=0\n";
}

TEST(SettingsDump, PrintsWhatTheReaderLeavesInMemory) {
    TempDir station;
    WriteBytes(station / "QRVNL.INI", HandMadeIni());
    const auto [status, text] = Capture(&DumpSettings, station.path());
    EXPECT_EQ(status, 1) << "a line did not match";
    EXPECT_EQ(text,
              "result: -1\nSerialPort: 1\nTaal: 2\nDisplayKeuze: -3\nKeuzeTempUnits: 0\n"
              "KeuzeSampleTime: 60\nKeuzeGraphStyle: 1\n"
              "SmSDestination: +31612345678901234567890123\n"
              "SmSProgramSource: /opt/sms/send été\nGeneralAlarmEnable: 0\n");
}

TEST(SettingsDump, RewriteNormalisesAHandEditedFile) {
    TempDir station;
    WriteBytes(station / "QRVNL.INI", HandMadeIni());
    EXPECT_EQ(Capture(&DumpSettings, station.path(), true).first, 1);
    const auto [status, text] = Capture(&DumpSettings, station.path());
    EXPECT_EQ(status, 0);
    EXPECT_EQ(text.substr(0, 10), "result: 0\n");
    const std::string bytes = ReadBytes(station / "QRVNL.INI");
    EXPECT_NE(bytes.find("GraphStyle=0000000001\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("SmsProgramSource=/opt/sms/send \xE9t\xE9\r\n"), std::string::npos);
    EXPECT_NE(ReadBytes(station / "QRVLog.txt").find("IniFile saved"), std::string::npos);
}

TEST(SettingsDump, MissingFileIsNotCreatedByARewrite) {
    TempDir station;
    const auto [status, text] = Capture(&DumpSettings, station.path(), true);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(text.substr(0, 14), "result: -1000\n");
    EXPECT_FALSE(std::filesystem::exists(station / "QRVNL.INI"));
}

std::string SnsHeader(int maxIndex) {
    std::string text = std::string(61, '=') + "\r\nQRVNL SNS FILE Vs 1.10\r\n" + kNotice +
                       "\r\nDate/time stamp=2026-12-06 08:00:00\r\nNetworkname=Bakkerij\r\n";
    for (int key = 5; key <= 9; ++key) {
        text += std::to_string(key) + "=000000000" + std::to_string(key) + "\r\n";
    }
    for (int i = 0; i < 10; ++i) {
        text += "sns\r\n";
    }
    return text + "maxindex\r\n" + std::to_string(maxIndex) + "\r\n";
}

TEST(ProbesDump, PrintsEveryFieldOfEveryRecord) {
    TempDir station;
    // One layout-2 record (no SMS and relay lines) of a DS2438 on line 3.
    std::string sns = SnsHeader(0) +
                      "===================================\r\n0\r\n103\r\n38\r\n1\r\n2\r\n3\r\n"
                      "4\r\n5\r\n6\r\n7\r\nDeeg rijskast\r\n55.0\r\n20\r\n80\r\n60\r\n30\r\n70\r\n"
                      "0\r\n0\r\n1\r\n1\r\n0\r\n";
    for (int i = 0; i < 7; ++i) {
        sns += "0\r\n96\r\n";
    }
    for (int i = 0; i < 10; ++i) {
        sns += "sp\r\n";
    }
    WriteBytes(station / "QRVNL.SNS", sns);
    const auto [status, text] = Capture(&DumpProbes, station.path());
    EXPECT_EQ(status, 0);
    EXPECT_EQ(text,
              "result: 0\nNetworkName: Bakkerij\nrecord: 0\nLine: 3\nRom: 38 1 2 3 4 5 6 7\n"
              "Name: Deeg rijskast\nSensorType: 49\nUnits:  %\nAlarmLow: 20\nAlarmHigh: 80\n"
              "AlarmDelay: 120\nTripLow: 30\nTripHigh: 70\nTripDelay: 120\nStatus: 1\n"
              "FoundOnNetwork: 1\nAlarmTimes: 0 96 0 96 0 96 0 96 0 96 0 96 0 96\n"
              "SmsEnable: 1\nRelayEnable: 1\n");
}

TEST(ProbesDump, DamagedFileIsNeverRewritten) {
    TempDir station;
    std::string sns = SnsHeader(0);
    sns.replace(sns.find("Vs 1.10"), 7, "Vs 2.00");
    WriteBytes(station / "QRVNL.SNS", sns);
    const auto [status, text] = Capture(&DumpProbes, station.path(), true);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(text, "result: -1\nNetworkName: QRV-Data\n");
    EXPECT_EQ(ReadBytes(station / "QRVNL.SNS"), sns);
}

TEST(ReportCommands, UnknownArgumentsAreRejected) {
    TempDir station;
    const std::string_view args[] = {"--rewrit"};
    for (const Command& command : Commands()) {
        if (command.name == "settings" || command.name == "probes") {
            EXPECT_EQ(command.run(station.path(), CommandArgs(args), {stdout, {}}),
                      kExitBadArguments);
        }
    }
}

}  // namespace
}  // namespace qrv::report
