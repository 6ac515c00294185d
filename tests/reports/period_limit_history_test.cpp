// The period reports judge each value by the limits in force when it was
// stored, as the daily sheet does: a fridge whose high limit was raised from
// 8 to 12 on 10 March at 09:00, with excursions to 9.0 before and after.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include <map>
#include <string>
#include <vector>

#include "records/audit_line.h"
#include "records/audit_trail.h"
#include "reports/printouts/daily_sheet.h"
#include "runtime/clock.h"
#include "runtime/text_file.h"
#include "sensors/rom_text.h"
#include "sensors/sensor_file.h"
#include "station_reading.h"
#include "storage/result_file_format.h"
#include "support/csv_fields.h"
#include "support/run_report_tool.h"
#include "support/temp_dir.h"

namespace qrv {
namespace {

using testing::RunTool;

constexpr RomCode kFridge{0x28, 0x2C, 0x1B, 0x0A, 0, 0, 0, 0x5E};
constexpr std::string_view kFridgeKey = "0000000A1B2C";

// The days stored; the high limit was raised on the 10th.
constexpr int kDays[] = {5, 10, 12};

class PeriodLimitHistory : public ::testing::Test {
  protected:
    PeriodLimitHistory() {
        const int i = table.Append1820ToDataStruct(kFridge, 1);
        SensorRecord& record = table.SensorArray[static_cast<std::size_t>(i)];
        record.Name = "Fridge";
        record.AlarmLow = 2;
        record.AlarmHigh = 12;
        table.DefineSensorTypeAndUnits(i);
        VirtualClock clock;
        testing::WriteBytes(temp / "QRVNL.SNS", FormatSensorFile(table, clock));
        std::filesystem::create_directories(temp / "QRVDATA");
        // 9.0 from 08:00 to 09:00 and from 10:00 to 11:00 of each day.
        for (const int day : kDays) {
            const std::string date = fmt::format("2026-03-{:02}", day);
            std::string file = FormatResultHeader(date);
            for (int minute = 0; minute < 1440; minute += 10) {
                const bool high =
                    (minute >= 480 && minute < 540) || (minute >= 600 && minute < 660);
                const std::vector<ProbeLineData> block{
                    {MakeProbeKey(kFridge, kTypeTemperature), high ? 9.0 : 5.0, "Fridge"}};
                AppendSampleBlock(file, minute / 60, minute % 60, block);
            }
            testing::WriteBytes(temp / "QRVDATA" / (date + ".qrd"), file);
        }
    }

    // As the station records a change made on the probe panel.
    void WriteTrail() {
        testing::WriteBytes(
            temp.path() / records::kAuditTrailFileName,
            records::FormatAuditLine({{2026, 3, 10, 9, 0, 30},
                                      "anna",
                                      "probe " + SerialNumberHex(kFridge) + " Fridge: AlarmHigh",
                                      "8",
                                      "12",
                                      ""},
                                     records::kTrailStart) +
                "\r\n");
    }

    // The month's minutes above by day, from the daily sheet.
    std::map<int, int> SheetMinutesAbove() {
        const SheetSources sources{
            temp / "QRVDATA", temp / "QRVAlarm.txt", table,
            [](HistoryData& day, const std::string& file) { report::ReadDay(day, file, 0); }};
        const std::vector<ProbeSheet> sheets = LoadDailySheets(sources, 2026, 3, "");
        std::map<int, int> above;
        if (sheets.size() != 1) {
            ADD_FAILURE() << sheets.size() << " sheets";
            return above;
        }
        for (const SheetDay& row : sheets[0].days) {
            if (row.outOfRange) {
                above[row.day] = row.outOfRange->minutesAbove;
            }
        }
        return above;
    }

    // The figure of the "Minutes above high" line of the text report.
    static int MinutesAbove(const std::string& out) {
        const std::size_t at = out.find("Minutes above high :");
        if (at == std::string::npos) {
            ADD_FAILURE() << "no minutes above in\n" << out;
            return -1;
        }
        return std::stoi(out.substr(at + 20, out.find(" min", at + 20) - at - 20));
    }

    // The CSV's minutes above summed by day of the month.
    static std::map<int, int> CsvMinutesAbove(const std::string& csv) {
        std::map<int, int> above;
        LineReader reader(csv);
        reader.ReadLine(kNoSizeLimit);  // the heading
        while (const auto line = reader.ReadLine(kNoSizeLimit)) {
            const std::vector<std::string> fields = testing::CsvFields(*line);
            if (fields.size() != 6 || fields[1] != kFridgeKey) {
                ADD_FAILURE() << *line;
                continue;
            }
            above[std::stoi(fields[0].substr(8, 2))] += std::stoi(fields[4]);
        }
        return above;
    }

    testing::TempDir temp;
    SensorTable table;
};

TEST_F(PeriodLimitHistory, MonthAndWeekCountAsTheSheetDoes) {
    WriteTrail();
    const std::map<int, int> sheet = SheetMinutesAbove();
    ASSERT_EQ(sheet, (std::map<int, int>{{5, 120}, {10, 60}, {12, 0}}))
        << "both hours under the limit of 8, the hour before the raise, none under 12";

    const auto month = RunTool(temp.path(), {"month", "2026", "3"});
    ASSERT_EQ(month.status, 0);
    EXPECT_EQ(MinutesAbove(month.out), 180) << "the excursions before the raise still count";
    EXPECT_EQ(month.out.find("note:"), std::string::npos) << "the trail was read";

    const auto csv = RunTool(temp.path(), {"month", "2026", "3", "--csv"});
    ASSERT_EQ(csv.status, 0);
    EXPECT_EQ(CsvMinutesAbove(csv.out), sheet);

    // Week 11 holds the 10th and the 12th only.
    EXPECT_EQ(MinutesAbove(RunTool(temp.path(), {"week", "2026", "11"}).out), 60);
    EXPECT_EQ(MinutesAbove(RunTool(temp.path(), {"day", "2026-03-05"}).out), 120);
}

TEST_F(PeriodLimitHistory, WithoutATrailTodaysLimitsHoldSilently) {
    const auto month = RunTool(temp.path(), {"month", "2026", "3"});
    ASSERT_EQ(month.status, 0);
    EXPECT_EQ(MinutesAbove(month.out), 0) << "9.0 lies under today's limit of 12";
    EXPECT_EQ(month.out.find("note:"), std::string::npos)
        << "a station that never began a trail changed no limit it recorded";
}

TEST_F(PeriodLimitHistory, ATrailThatCannotBeReadFallsBackToTodaysLimitsWithANote) {
    // A directory in the trail's place cannot be read as a file.
    std::filesystem::create_directories(temp.path() / records::kAuditTrailFileName);
    const auto month = RunTool(temp.path(), {"month", "2026", "3"});
    ASSERT_EQ(month.status, 0);
    EXPECT_EQ(MinutesAbove(month.out), 0);
    EXPECT_NE(month.out.find("note: the audit trail"), std::string::npos) << month.out;
    EXPECT_NE(month.out.find("against today's limits"), std::string::npos) << month.out;

    const auto csv = RunTool(temp.path(), {"month", "2026", "3", "--csv"});
    ASSERT_EQ(csv.status, 0);
    EXPECT_EQ(csv.out.find("note"), std::string::npos) << "the CSV stays rows alone";
    EXPECT_EQ(CsvMinutesAbove(csv.out), (std::map<int, int>{{5, 0}, {10, 0}, {12, 0}}));
}

}  // namespace
}  // namespace qrv
