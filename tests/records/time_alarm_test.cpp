// The thresholds of the alarm on the time out of range, their file with its
// refusals, and the rolling 24-hour account it is evaluated from.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "records/time_alarm.h"
#include "runtime/text_file.h"
#include "support/temp_dir.h"

namespace qrv::records {
namespace {

constexpr RomCode kTimedFreezer{0x28, 0x2C, 0x1B, 0x0A, 0, 0, 0, 0x5E};

std::string Read(const testing::TempDir& dir, const std::string& text) {
    testing::WriteBytes(dir / "QRVTimeAlarms.json", text);
    return ReadTimeAlarmFile(dir / "QRVTimeAlarms.json").error;
}

TEST(TimeAlarmFile, RoundTripsAndRefusesWhatItCannotMean) {
    testing::TempDir dir;
    const auto path = dir / "QRVTimeAlarms.json";
    const TimeAlarmFileResult none = ReadTimeAlarmFile(path);
    EXPECT_TRUE(none.error.empty()) << "no file yet: no thresholds, no error";
    EXPECT_TRUE(none.book.entries.empty());

    TimeAlarmBook book;
    book.Set({kTimedFreezer, 60, std::nullopt});
    book.Set({{0x26, 1, 2, 3, 0, 0, 0, 9}, std::nullopt, 30});
    ASSERT_TRUE(WriteTimeAlarmFile(path, book));
    const TimeAlarmFileResult read = ReadTimeAlarmFile(path);
    ASSERT_TRUE(read.error.empty()) << read.error;
    EXPECT_EQ(read.book.entries, book.entries);
    EXPECT_EQ(TimeAlarmSummary(book.entries[0]), "more than 60 min above in 24 h");
    book.Set({kTimedFreezer, 60, 15});
    EXPECT_EQ(book.entries.size(), 2U) << "a probe has one entry, the newest";
    EXPECT_EQ(TimeAlarmSummary(*book.Find(kTimedFreezer)),
              "more than 60 min above, 15 min below in 24 h");

    const std::string rom = R"("rom": "282C1B0A0000005E")";
    const std::vector<std::pair<std::string, std::string>> refused{
        {R"({"time_alarms": [{"rom": "282C1B0A00005E", "minutes_above": 60}]})",
         "entry 1: rom is not 16 hexadecimal digits"},
        {"{\"time_alarms\": [{" + rom + "}]}", "entry 1: neither minutes_above nor"},
        {"{\"time_alarms\": [{" + rom + R"(, "minutes_above": 0}]})",
         "entry 1: minutes_above: 0 minutes is not within 1 to 1439"},
        {"{\"time_alarms\": [{" + rom + R"(, "minutes_below": 1440}]})", "not within 1 to 1439"},
        {"{\"time_alarms\": [{" + rom + R"(, "minutes_above": 60.5}]})",
         "minutes_above is not a whole number"},
        {"{\"time_alarms\": [{" + rom + R"(, "minutes_above": "60"}]})", "not a whole number"},
        {"{\"time_alarms\": [{" + rom + R"(, "minutes": 60}]})", "entry 1: unknown key minutes"},
        {"{\"time_alarms\": [{" + rom + R"(, "minutes_above": 5}, {)" + rom +
             R"(, "minutes_below": 5}]})",
         "entry 2: a second entry for 282C1B0A0000005E"},
        {R"({"alarms": []})", "QRVTimeAlarms.json: "},
        {"{\"time_alarms\": [{" + rom, "QRVTimeAlarms.json: "},
    };
    for (const auto& [text, problem] : refused) {
        const std::string error = Read(dir, text);
        EXPECT_NE(error.find(problem), std::string::npos) << text << "\ngave: " << error;
        EXPECT_TRUE(ReadTimeAlarmFile(path).book.entries.empty()) << "nothing half-read";
    }
}

TEST(OutOfRangeWindow, KeepsExactlyTheLastDay) {
    const std::int64_t now = MinuteKey({2026, 3, 9, 14, 0, 0, 0});
    EXPECT_EQ(now - MinuteKey({2026, 3, 8, 14, 0, 59, 0}), kTimeAlarmWindowMinutes);
    OutOfRangeWindow window;
    window.Add(now - kTimeAlarmWindowMinutes, 1, 60);  // just out of the window
    window.Add(now - kTimeAlarmWindowMinutes + 1, 1, 60);
    window.Add(now, -1, 50);
    window.Add(now, -1, 50);  // a minute holds 60 seconds a side, no more
    window.Add(now, 0, 60);
    EXPECT_EQ(window.Last24Hours(now).above, 60);
    EXPECT_EQ(window.Last24Hours(now).below, 60);
    // A day later the minute's bucket holds the new minute only.
    window.Add(now + kTimeAlarmWindowMinutes, 1, 2);
    EXPECT_EQ(window.Last24Hours(now + kTimeAlarmWindowMinutes).above, 2);
    EXPECT_EQ(window.Last24Hours(now + kTimeAlarmWindowMinutes).below, 0);

    EXPECT_EQ(MinutesOf(0), 0);
    EXPECT_EQ(MinutesOf(60), 1);
    EXPECT_EQ(MinutesOf(61), 2);
}

TEST(OutOfRangeWindow, StoredDaysCountAsTheReportsDoUpToNow) {
    // Every ten minutes; above from 23:00 on the day before, below at 00:20.
    const std::vector<int> minutes{1370, 1380, 1390, 1400, 1410, 1420, 1430};
    const std::vector<double> values{5, 9, 9, 5, 5, 5, 9};
    const std::vector<int> today{0, 10, 20, 30};
    const std::vector<double> todayValues{9, 5, 1, 5};
    const LocalDateTime now{2026, 3, 9, 0, 25, 0, 0};
    OutOfRangeWindow window;
    AddStoredDay(window, {2026, 3, 8, 0, 0, 0, 0}, minutes, values, 2, 8, MinuteKey(now));
    AddStoredDay(window, now, today, todayValues, 2, 8, MinuteKey(now));
    const OutOfRangeWindow::Seconds sum = window.Last24Hours(MinuteKey(now));
    EXPECT_EQ(sum.above, 60 * (10 + 10 + 10 + 10));
    // The value of 00:20 counts up to the start, not for its whole interval.
    EXPECT_EQ(sum.below, 60 * 5);
}

}  // namespace
}  // namespace qrv::records
