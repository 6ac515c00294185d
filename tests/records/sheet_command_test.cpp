// The daily minimum and maximum sheet of a month of stored values whose
// minima, maxima and excursions the test knows, checked against its CSV.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include <filesystem>
#include <string_view>
#include <vector>

#include "records/audit_trail.h"
#include "runtime/clock.h"
#include "runtime/encoding.h"
#include "runtime/text_file.h"
#include "sensors/sensor_file.h"
#include "storage/result_file_format.h"
#include "support/csv_fields.h"
#include "support/probe_file_with_limits.h"
#include "support/run_report_tool.h"
#include "support/temp_dir.h"

namespace qrv {
namespace {

using testing::RunTool;

constexpr RomCode kFridge{0x28, 0x2C, 0x1B, 0x0A, 0, 0, 0, 0x5E};
constexpr RomCode kFridge2{0x28, 0x01, 0x02, 0x03, 0, 0, 0, 0x77};
constexpr int kMissingDay = 15;

int MinMinute(int day) {
    return 1200 + 10 * (day % 12);
}
int MaxMinute(int day) {
    return 60 * (day % 6) + 10;
}
double MinValue(int day) {
    return 3.0 - 0.1 * day;
}
double MaxValue(int day) {
    return 9.0 + 0.1 * day;
}
// Every fifth day the fridge stands above 8 °C from 12:00 for `day` values.
bool InExcursion(int day, int minute) {
    return day % 5 == 0 && minute >= 720 && minute < 720 + 10 * day;
}

double FridgeValue(int day, int minute) {
    if (minute == MinMinute(day)) {
        return MinValue(day);
    }
    if (minute == MaxMinute(day)) {
        return MaxValue(day);
    }
    return InExcursion(day, minute) ? 8.5 : 5.0;
}

class SheetCommand : public ::testing::Test {
  protected:
    SheetCommand() {
        testing::WriteProbeFileWithLimits(temp.path(),
                                          {{kFridge, "Fridge"}, {kFridge2, "Fridge 2"}});
        std::filesystem::create_directories(temp / "QRVDATA");
        for (int day = 1; day <= 31; ++day) {
            if (day == kMissingDay) {
                continue;
            }
            const std::string date = fmt::format("2026-03-{:02}", day);
            std::string bytes = FormatResultHeader(date);
            for (int minute = 0; minute < 1440; minute += 10) {
                const std::vector<ProbeLineData> probes{
                    {MakeProbeKey(kFridge, kTypeTemperature), FridgeValue(day, minute), "Fridge"},
                    {MakeProbeKey(kFridge2, kTypeTemperature), 4.0, "Fridge 2"}};
                AppendSampleBlock(bytes, minute / 60, minute % 60, probes);
            }
            testing::WriteBytes(temp / "QRVDATA" / (date + ".qrd"), bytes);
        }
        testing::WriteBytes(
            temp / "QRVAlarm.txt",
            JoinCrLf({"2026-03-05 12:10: High Alarm:  Fridge     8.5" + Utf8ToCp1252("°C"),
                      "2026-03-05 12:40: Acknowledged by anna: door closed, stock checked",
                      "2026-03-05 14:00: High Alarm:  Fridge 2     9.0" + Utf8ToCp1252("°C"),
                      "2026-03-06 09:00: Acknowledged by ben"}));
    }
    testing::TempDir temp;
};

std::vector<std::vector<std::string>> CsvRows(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    LineReader reader(text);
    while (const auto line = reader.ReadLine(kNoSizeLimit)) {
        rows.push_back(testing::CsvFields(*line));
    }
    return rows;
}

TEST_F(SheetCommand, EveryDayHasItsMinimumMaximumAndMinutesOutOfRange) {
    const auto sheet =
        RunTool(temp.path(), {"sheet", "2026", "03", "--probe", "0000000A1B2C", "--csv"});
    ASSERT_EQ(sheet.status, 0);
    const auto rows = CsvRows(sheet.out);
    ASSERT_EQ(rows.size(), 32u) << "a header and one row for each day of March";
    EXPECT_EQ(rows[0].back(), "initials");
    for (int day = 1; day <= 31; ++day) {
        const auto& row = rows[static_cast<std::size_t>(day)];
        ASSERT_EQ(row.size(), 12u) << day;
        EXPECT_EQ(row[0], fmt::format("2026-03-{:02}", day));
        EXPECT_EQ(row[2], "Fridge");
        EXPECT_EQ(row[11], "") << "initials are left to the person who checks";
        if (day == kMissingDay) {
            EXPECT_EQ(row[3] + row[5] + row[7], "") << "nothing stored that day";
            continue;
        }
        EXPECT_EQ(row[3], fmt::format("{:.1f}", MinValue(day))) << day;
        EXPECT_EQ(row[4], fmt::format("{:02}:{:02}", MinMinute(day) / 60, MinMinute(day) % 60));
        EXPECT_EQ(row[5], fmt::format("{:.1f}", MaxValue(day))) << day;
        EXPECT_EQ(row[6], fmt::format("{:02}:{:02}", MaxMinute(day) / 60, MaxMinute(day) % 60));
        const int above = 10 + (day % 5 == 0 ? 10 * day : 0);
        const int below = MinValue(day) < 2.0 - 1e-9 ? 10 : 0;
        EXPECT_EQ(row[7], std::to_string(above)) << day;
        EXPECT_EQ(row[8], std::to_string(below)) << day;
    }
    EXPECT_EQ(rows[5][9], "12:10 High Alarm: 8.5°C") << "not the alarm of Fridge 2";
    EXPECT_EQ(rows[5][10], "12:40 anna: door closed, stock checked");
    EXPECT_EQ(rows[6][10], "") << "an acknowledgement on a day without alarms of the probe";
}

TEST_F(SheetCommand, AllProbesWithoutAFilterAndClearRefusals) {
    const auto all = RunTool(temp.path(), {"sheet", "2026", "3", "--csv"});
    ASSERT_EQ(all.status, 0);
    EXPECT_EQ(CsvRows(all.out).size(), 1u + 2u * 31u);
    EXPECT_EQ(RunTool(temp.path(), {"sheet", "2026", "4", "--csv"}).status, 1);
    EXPECT_EQ(RunTool(temp.path(), {"sheet", "2026", "13", "--csv"}).status, 2);
    EXPECT_EQ(RunTool(temp.path(), {"sheet", "2026", "3"}).status, 2) << "--csv or --pdf";
    EXPECT_EQ(
        RunTool(temp.path(), {"sheet", "2026", "3", "--probe", "FFFFFFFFFFFF", "--csv"}).status, 1);

    const auto named = RunTool(temp.path(), {"sheet", "2026", "3", "--probe", "Fridge 2", "--csv"});
    ASSERT_EQ(named.status, 0) << "a probe's name is accepted";
    const auto rows = CsvRows(named.out);
    ASSERT_EQ(rows.size(), 32u);
    EXPECT_EQ(rows[1][2], "Fridge 2");
}

TEST_F(SheetCommand, ADayWithTheClockSetBackKeepsItsLateMaximum) {
    std::string bytes = FormatResultHeader("2026-03-10");
    for (int block = 0; block < 1500; ++block) {
        const int minute = block < 180 ? block : block - 60;  // set back at 03:00
        const std::vector<ProbeLineData> probes{
            {MakeProbeKey(kFridge, kTypeTemperature), block == 1495 ? 12.0 : 4.0, "Fridge"}};
        AppendSampleBlock(bytes, minute / 60, minute % 60, probes);
    }
    testing::WriteBytes(temp / "QRVDATA" / "2026-03-10.qrd", bytes);
    const auto sheet =
        RunTool(temp.path(), {"sheet", "2026", "03", "--probe", "0000000A1B2C", "--csv"});
    ASSERT_EQ(sheet.status, 0);
    const auto rows = CsvRows(sheet.out);
    ASSERT_EQ(rows.size(), 32u);
    EXPECT_EQ(rows[10][5], "12.0");
    EXPECT_EQ(rows[10][6], "23:55");
    EXPECT_NE(rows[10][7], "0") << "the excursion counts above the high limit";
}

TEST_F(SheetCommand, ATrailThatCannotBeReadIsToldAsTheReportsTellIt) {
    const std::vector<std::string_view> args{"sheet",   "2026",         "03",
                                             "--probe", "0000000A1B2C", "--csv"};
    ::testing::internal::CaptureStderr();
    ASSERT_EQ(RunTool(temp.path(), args).status, 0);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "") << "no trail begun: nothing to tell";

    // A directory in the trail's place cannot be read as a file.
    std::filesystem::create_directories(temp.path() / records::kAuditTrailFileName);
    ::testing::internal::CaptureStderr();
    const auto sheet = RunTool(temp.path(), args);
    const std::string told = ::testing::internal::GetCapturedStderr();
    ASSERT_EQ(sheet.status, 0) << "the sheet is still printed, against today's limits";
    EXPECT_TRUE(told.starts_with("quorvanel-report: note: the audit trail ")) << told;
    EXPECT_NE(told.find("cannot be read"), std::string::npos) << told;
    EXPECT_NE(told.find("against today's limits"), std::string::npos) << told;
    EXPECT_EQ(CsvRows(sheet.out).size(), 32u) << "the CSV stays rows alone";
}

TEST_F(SheetCommand, MalformedAlarmLinesAreSkipped) {
    testing::WriteBytes(temp / "QRVAlarm.txt",
                        JoinCrLf({"2026-03-32 10:00: High Alarm:  Fridge     9.0",
                                  "2026-03-ab 10:00: High Alarm:  Fridge     9.0",
                                  "2026-03-00 10:00: High Alarm:  Fridge     9.0",
                                  "2026-03-05 12:10: High Alarm:  Fridge     8.5"}));
    const auto sheet =
        RunTool(temp.path(), {"sheet", "2026", "03", "--probe", "0000000A1B2C", "--csv"});
    ASSERT_EQ(sheet.status, 0);
    const auto rows = CsvRows(sheet.out);
    ASSERT_EQ(rows.size(), 32u);
    for (int day = 1; day <= 31; ++day) {
        EXPECT_EQ(rows[static_cast<std::size_t>(day)][9], day == 5 ? "12:10 High Alarm: 8.5" : "")
            << day;
    }
}

}  // namespace
}  // namespace qrv
