#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "report_command.h"
#include "support/run_report_tool.h"
#include "support/temp_dir.h"

namespace qrv {
namespace {

using testing::Outcome;
using testing::RunTool;

class PeriodReportCommandTest : public ::testing::Test {
  protected:
    PeriodReportCommandTest() {
        std::filesystem::create_directories(dataDir);
        testing::WriteBytes(dataDir / "2026-01-05.qrd", dayBytes);
    }

    testing::TempDir temp;
    std::filesystem::path dataDir = temp / "QRVDATA";
    const std::string dayBytes =
        "=========================================\r\n"
        "QRVNL Qrd FILE Vs 1.10                   \r\n"
        "Quorvanel result file, written by station\r\n"
        "=========================================\r\n"
        "2026-01-05\r\n"
        "10:00  0002\r\n"
        "0000000000A1    20.0  Frigo, \"links\"\r\n"
        "1000000000B2    50.0  Kas \xB0"
        "1\r\n"
        "10:30  0002\r\n"
        "0000000000A1    21.0  Frigo, \"links\"\r\n"
        "1000000000B2  -300.0  Kas \xB0"
        "1\r\n";
};

TEST_F(PeriodReportCommandTest, DayListsEveryProbeWithItsStatistics) {
    const Outcome day = RunTool(temp.path(), {"day", "2026-01-05"});
    EXPECT_EQ(day.status, 0);
    EXPECT_EQ(day.out,
              "probe: 0000000000A1 Frigo, \"links\"\n"
              "type: 48\n"
              "units: \u00B0C\n"
              "Statistical data\n"
              "Number of values   :            2\n"
              "Mean value         :         20.5\u00B0C\n"
              "Standard deviation :          0.5\u00B0C\n"
              "Minimum value      :         20.0\u00B0C\n"
              "Percentile 10      :         20.0\u00B0C\n"
              "Percentile 25      :         20.0\u00B0C\n"
              "Median             :         20.5\u00B0C\n"
              "Percentile 75      :         21.0\u00B0C\n"
              "Percentile 90      :         21.0\u00B0C\n"
              "Maximum value      :         21.0\u00B0C\n"
              "probe: 0000000000B2 Kas \u00B0"
              "1\n"
              "type: 49\n"
              "units:  %\n"
              "Statistical data\n"
              "Number of values   :            2\n"
              "Mean value         :         50.0 %\n"
              "Standard deviation :          0.0 %\n"
              "Minimum value      :         50.0 %\n"
              "Percentile 10      :         50.0 %\n"
              "Percentile 25      :         50.0 %\n"
              "Median             :         50.0 %\n"
              "Percentile 75      :         50.0 %\n"
              "Percentile 90      :         50.0 %\n"
              "Maximum value      :         50.0 %\n");

    // The month holding the day reads it in the same hourly slots; the week
    // in quarter hours, where the two blocks of probe A fall apart.
    EXPECT_EQ(RunTool(temp.path(), {"month", "2026", "01"}).out, day.out);
    const Outcome week = RunTool(temp.path(), {"week", "2026", "2"});
    EXPECT_EQ(week.status, 0);
    EXPECT_TRUE(
        week.out.starts_with("probe: 0000000000A1 Frigo, \"links\"\ntype: 48\n"
                             "units: \u00B0C\nStatistical data\n"
                             "Number of values   :            4\n"));
}

TEST_F(PeriodReportCommandTest, ADayWithTheClockSetBackIsReadWhole) {
    // 1,500 blocks: a 1-minute day set back an hour at 03:00, its maximum
    // among the last blocks.
    std::string bytes = dayBytes.substr(0, dayBytes.find("10:00"));
    for (int block = 0; block < 1500; ++block) {
        const int minute = block < 180 ? block : block - 60;
        bytes += fmt::format("{:02}:{:02}  0001\r\n0000000000A1  {:6.1f}  Frigo\r\n", minute / 60,
                             minute % 60, block == 1495 ? 12.0 : 4.0);
    }
    testing::WriteBytes(dataDir / "2026-01-06.qrd", bytes);
    const Outcome csv = RunTool(temp.path(), {"day", "--csv", "2026-01-06"});
    EXPECT_EQ(csv.status, 0);
    EXPECT_EQ(std::count(csv.out.begin(), csv.out.end(), '\n'), 1501);
    EXPECT_NE(csv.out.find("2026-01-06T23:55,0000000000A1,Frigo,12.0"), std::string::npos);
    const Outcome day = RunTool(temp.path(), {"day", "2026-01-06"});
    EXPECT_NE(day.out.find("Maximum value      :         12.0"), std::string::npos) << day.out;
}

TEST_F(PeriodReportCommandTest, CsvHasOneQuotedRowPerStoredValue) {
    const Outcome csv = RunTool(temp.path(), {"day", "--csv", "2026-01-05"});
    EXPECT_EQ(csv.status, 0);
    EXPECT_EQ(csv.out,
              "date_time,key,name,value,minutes_above_high,minutes_below_low\r\n"
              "2026-01-05T10:00,0000000000A1,\"Frigo, \"\"links\"\"\",20.0,,\r\n"
              "2026-01-05T10:00,0000000000B2,Kas \u00B0"
              "1,50.0,,\r\n"
              "2026-01-05T10:30,0000000000A1,\"Frigo, \"\"links\"\"\",21.0,,\r\n");
}

// A record's name has 27 characters; the CSV the dashboard offers cut it to 24.
TEST_F(PeriodReportCommandTest, CsvCarriesAWholeRecordName) {
    testing::WriteBytes(dataDir / "2026-01-08.qrd",
                        "=========================================\r\n"
                        "QRVNL Qrd FILE Vs 1.10                   \r\n"
                        "Quorvanel result file, written by station\r\n"
                        "=========================================\r\n"
                        "2026-01-08\r\n"
                        "10:00  0001\r\n"
                        "0000000000A1    20.0  Vriescel achterwand links 7\r\n");
    const Outcome csv = RunTool(temp.path(), {"day", "--csv", "2026-01-08"});
    EXPECT_EQ(csv.status, 0);
    EXPECT_NE(csv.out.find(",0000000000A1,Vriescel achterwand links 7,20.0,"), std::string::npos)
        << csv.out;
}

TEST_F(PeriodReportCommandTest, CsvCellsNeverStartAFormula) {
    testing::WriteBytes(dataDir / "2026-01-07.qrd",
                        "=========================================\r\n"
                        "QRVNL Qrd FILE Vs 1.10                   \r\n"
                        "Quorvanel result file, written by station\r\n"
                        "=========================================\r\n"
                        "2026-01-07\r\n"
                        "10:00  0004\r\n"
                        "0000000000A1    20.0  =HYPERLINK(\"x\",\"y\")\r\n"
                        "0000000000A2    20.0  +cmd\r\n"
                        "0000000000A3    20.0  -Kelder\r\n"
                        "0000000000A4    20.0  @SUM(1)\r\n");
    const Outcome csv = RunTool(temp.path(), {"day", "--csv", "2026-01-07"});
    EXPECT_EQ(csv.status, 0);
    EXPECT_EQ(csv.out,
              "date_time,key,name,value,minutes_above_high,minutes_below_low\r\n"
              "2026-01-07T10:00,0000000000A1,\"'=HYPERLINK(\"\"x\"\",\"\"y\"\")\",20.0,,\r\n"
              "2026-01-07T10:00,0000000000A2,'+cmd,20.0,,\r\n"
              "2026-01-07T10:00,0000000000A3,'-Kelder,20.0,,\r\n"
              "2026-01-07T10:00,0000000000A4,'@SUM(1),20.0,,\r\n");
}

TEST_F(PeriodReportCommandTest, PeriodsWithoutDataAndBadArguments) {
    EXPECT_EQ(RunTool(temp.path(), {"day", "2026-01-06"}).status, 1);
    EXPECT_EQ(RunTool(temp.path(), {"week", "2026", "3"}).status, 1);
    EXPECT_EQ(RunTool(temp.path(), {"month", "2026", "2", "--csv"}).status, 1);
    EXPECT_EQ(RunTool(temp.path(), {"day", "2026-01-05", "--demo"}).status, 1);
    for (const auto& args : std::vector<std::vector<std::string_view>>{
             {"day"},
             {"day", "2026-02-29"},
             {"day", "2026-1-05"},
             {"day", "2026-01-05", "--bogus"},
             {"week", "2026", "54"},
             {"week", "2020", "54"},
             {"week", "2026"},
             {"month", "2026", "13"},
             {"month", "2026", "x1"},
             {"years", "2026"},
             {"generate", "--days", "2"},
             {"generate", "--from", "2026-13-01"},
             {"generate", "--from", "2026-01-01", "--probes", "101"},
             {"generate", "--from", "2026-01-01", "--interval"},
         }) {
        const Outcome outcome = RunTool(temp.path(), args);
        EXPECT_EQ(outcome.status, report::kExitBadArguments) << args.front() << " " << args.size();
        EXPECT_TRUE(outcome.out.empty());
    }
    EXPECT_EQ(RunTool(temp.path(), {"week", "2020", "53"}).status, 1);  // 2020 has 53 weeks

    // A day "file" that is no file is named, not passed over as a day without data.
    std::filesystem::create_directory(dataDir / "2026-01-07.qrd");
    std::filesystem::create_symlink("/dev/null", dataDir / "2026-01-08.qrd");
    std::filesystem::create_symlink(dataDir / "gone", dataDir / "2026-01-09.qrd");
    for (const auto& [day, why] : std::vector<std::pair<std::string, std::string>>{
             {"2026-01-07", "it is a directory, not a result file"},
             {"2026-01-08", "it is a device, a pipe or a socket, not a result file"},
             {"2026-01-09", "it is a link to nothing"}}) {
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(RunTool(temp.path(), {"day", day}).status, 1);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(),
                  "quorvanel-report: " + (dataDir / (day + ".qrd")).string() + ": " + why + "\n");
    }
}

TEST_F(PeriodReportCommandTest, GenerateWritesNewDaysOnlyAndYearsListsThem) {
    const Outcome generated = RunTool(temp.path(), {"generate", "--from", "2025-12-30", "--days",
                                                    "3", "--probes", "4", "--interval", "30"});
    EXPECT_EQ(generated.status, 0);
    EXPECT_TRUE(std::filesystem::exists(dataDir / "2025-12-31.qrd"));
    EXPECT_TRUE(std::filesystem::exists(dataDir / "2026-01-01.qrd"));
    // 2026-01-05 exists already: nothing is overwritten.
    EXPECT_EQ(RunTool(temp.path(), {"generate", "--from", "2026-01-04", "--days", "2"}).status, 1);
    EXPECT_EQ(testing::ReadBytes(dataDir / "2026-01-05.qrd"), dayBytes);

    const Outcome years = RunTool(temp.path(), {"years"});
    EXPECT_EQ(years.status, 0);
    EXPECT_EQ(years.out, "2025\n2026\n");
    EXPECT_EQ(RunTool(temp.path(), {"years", "--demo"}).status, 1);

    // Four probes in half-hour blocks: 48 values a day, two per hourly slot.
    const Outcome month = RunTool(temp.path(), {"month", "2025", "12"});
    EXPECT_EQ(month.status, 0);
    EXPECT_NE(month.out.find("Number of values   :           96\n"), std::string::npos);
}

}  // namespace
}  // namespace qrv
