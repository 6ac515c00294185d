// The alarm file as the sheet reads it: hand-edited and damaged lines are
// skipped and counted, never trusted with a day the month does not have.
#include <gtest/gtest.h>

#include <string>

#include "reports/printouts/alarm_file_lines.h"
#include "reports/printouts/daily_sheet.h"
#include "runtime/encoding.h"

namespace qrv {
namespace {

TEST(AlarmFileLines, SkipsAndCountsLinesThatDoNotParse) {
    const std::string bytes = JoinCrLf({
        "=========================================================",
        "===============  Quorvanel ALARM file: ==================",
        "=========================================================",
        "2024-02-29 00:00: High Alarm:  Fridge     8.5" + Utf8ToCp1252("°C"),
        "2026-03-32 12:00: day past the month",
        "2026-03-ab 12:00: day not a number",
        "2026-03-00 12:00: day zero",
        "2026-13-01 12:00: month thirteen",
        "2025-02-29 12:00: no leap day that year",
        "2026-03-05 24:00: hour past the day",
        "2026-03-05 12:60: minute past the hour",
        "2026-03-05 1a:00: hour not a number",
        "2026-03-05 12:00 no colon after the time",
        "2026-03-05",
        "",
        "2026-03-31 23:59: ",
    });
    const AlarmFileLines file = ParseAlarmFile(bytes);
    EXPECT_EQ(file.skipped, 10) << "title lines and blank lines are not counted";
    ASSERT_EQ(file.lines.size(), 2U);
    EXPECT_EQ(file.lines[0].year, 2024);
    EXPECT_EQ(file.lines[0].month, 2);
    EXPECT_EQ(file.lines[0].day, 29);
    EXPECT_EQ(file.lines[0].time, "00:00");
    EXPECT_EQ(file.lines[0].message, "High Alarm:  Fridge     8.5°C");
    EXPECT_EQ(file.lines[1].day, 31);
    EXPECT_EQ(file.lines[1].message, "");
    EXPECT_EQ(ReadAlarmFile("/nonexistent/QRVAlarm.txt").skipped, 0);
}

TEST(AlarmFileLines, TheSheetSaysHowManyLinesItLeftOut) {
    ProbeSheet sheet;
    sheet.key = "0123456789ABCDEF";
    sheet.days.resize(1);
    sheet.days[0].day = 1;
    const auto shown = [&](int taal) {
        PrintContext context;
        context.taal = taal;
        return DailySheetPages({sheet}, 2026, 3, context).at(0).details;
    };
    const std::size_t clean = shown(0).size();
    sheet.skippedAlarmLines = 3;
    for (int taal = 0; taal < 4; ++taal) {
        const auto details = shown(taal);
        ASSERT_EQ(details.size(), clean + 1) << taal;
        EXPECT_TRUE(details.back().ends_with(" 3")) << details.back();
    }
}

}  // namespace
}  // namespace qrv
