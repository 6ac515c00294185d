#include "runtime/calendar.h"

#include <gtest/gtest.h>

#include <array>
#include <ctime>

namespace qrv {
namespace {

CalendarRecord FromDate(int y, int m, int d) {
    CalendarRecord cal;
    cal.CalYear = y;
    cal.CalMonth = m;
    cal.CalDay = d;
    ConvertDateToWeekNumber(cal);
    return cal;
}

CalendarRecord FromWeek(int weekYear, int week, int day) {
    CalendarRecord cal;
    cal.WeekYear = weekYear;
    cal.WeekNumber = week;
    cal.WeekDay = day;
    ConvertWeekNumberToDate(cal);
    return cal;
}

TEST(Calendar, TurnOfTheYearCases) {
    struct Case {
        int y, m, d, weekYear, week, day;
    };
    for (const Case c : {Case{1999, 1, 1, 1998, 53, 5}, Case{2005, 1, 2, 2004, 53, 7},
                         Case{2010, 1, 3, 2009, 53, 7}, Case{2008, 12, 29, 2009, 1, 1},
                         Case{1998, 12, 31, 1998, 53, 4}, Case{2000, 2, 29, 2000, 9, 2},
                         Case{2021, 1, 3, 2020, 53, 7}, Case{2022, 1, 1, 2021, 52, 6}}) {
        const CalendarRecord cal = FromDate(c.y, c.m, c.d);
        EXPECT_EQ(cal.WeekYear, c.weekYear) << c.y << "-" << c.m << "-" << c.d;
        EXPECT_EQ(cal.WeekNumber, c.week) << c.y << "-" << c.m << "-" << c.d;
        EXPECT_EQ(cal.WeekDay, c.day) << c.y << "-" << c.m << "-" << c.d;
    }
}

TEST(Calendar, WeekToDateCases) {
    CalendarRecord cal = FromWeek(1998, 53, 5);
    EXPECT_EQ((std::array{cal.CalYear, cal.CalMonth, cal.CalDay}), (std::array{1999, 1, 1}));
    cal = FromWeek(2009, 1, 1);
    EXPECT_EQ((std::array{cal.CalYear, cal.CalMonth, cal.CalDay}), (std::array{2008, 12, 29}));
    // Week 53 of a 52-week year rolls into the next year's week 1.
    cal = FromWeek(2021, 53, 1);
    EXPECT_EQ((std::array{cal.CalYear, cal.CalMonth, cal.CalDay}), (std::array{2022, 1, 3}));
    // A week before the first has no date of its own.
    cal = FromWeek(2015, 0, 7);
    EXPECT_EQ((std::array{cal.CalYear, cal.CalMonth, cal.CalDay}), (std::array{2015, 1, 1}));
}

TEST(Calendar, MonthLengthsFollowTheLeapYears) {
    EXPECT_EQ(DaysInMonth(2000, 2), 29);
    EXPECT_EQ(DaysInMonth(1900, 2), 28);
    EXPECT_EQ(DaysInMonth(2024, 2), 29);
    EXPECT_EQ(DaysInMonth(2100, 2), 28);
    EXPECT_EQ(DaysInMonth(2023, 12), 31);
    EXPECT_EQ(DaysInMonth(2023, 13), 0);
    EXPECT_EQ(DaysInMonth(2023, 0), 0);
}

TEST(Calendar, DaysBeyondTheMonthCountOn) {
    EXPECT_EQ(MidnightOf(CivilDay(2023, 2, 29)), (LocalDateTime{2023, 3, 1}));
    EXPECT_EQ(MidnightOf(CivilDay(2024, 12, 32)), (LocalDateTime{2025, 1, 1}));
    EXPECT_EQ(FromDate(2023, 2, 29).WeekDay, FromDate(2023, 3, 1).WeekDay);
}

TEST(Calendar, AbsoluteMinutesRunOnAcrossMidnightAndYearEnds) {
    EXPECT_EQ(AbsoluteMinute({1970, 1, 1, 0, 0}), 0);
    EXPECT_EQ(AbsoluteMinute({1970, 1, 2, 0, 1}), 1441);
    EXPECT_EQ(AbsoluteMinute({2025, 1, 1, 0, 0}) - AbsoluteMinute({2024, 12, 31, 23, 59}), 1);
    EXPECT_EQ(AbsoluteMinute({2024, 3, 1, 0, 0}) - AbsoluteMinute({2024, 2, 28, 0, 0}), 2 * 1440);
    // Seconds do not make another minute.
    EXPECT_EQ(AbsoluteMinute({2026, 5, 4, 10, 30, 59, 999}), AbsoluteMinute({2026, 5, 4, 10, 30}));
}

// Every day from 1990 to 2100 against the C library's ISO week (%G-%V-%u),
// and back from the week to the same date.
TEST(Calendar, AgreesWithTheCLibraryEveryDay1990To2100) {
    for (std::chrono::sys_days day = CivilDay(1990, 1, 1); day <= CivilDay(2100, 12, 31);
         day += std::chrono::days{1}) {
        const LocalDateTime date = MidnightOf(day);
        const int y = date.year, m = date.month, d = date.day;
        std::tm tm{};
        tm.tm_year = y - 1900;
        tm.tm_mon = m - 1;
        tm.tm_mday = d;
        tm.tm_hour = 12;
        ASSERT_NE(timegm(&tm), -1);
        char iso[32];
        std::strftime(iso, sizeof iso, "%G %V %u", &tm);
        int isoYear = 0, isoWeek = 0, isoDay = 0;
        ASSERT_EQ(std::sscanf(iso, "%d %d %d", &isoYear, &isoWeek, &isoDay), 3);

        const CalendarRecord cal = FromDate(y, m, d);
        ASSERT_EQ(cal.WeekYear, isoYear) << y << "-" << m << "-" << d;
        ASSERT_EQ(cal.WeekNumber, isoWeek) << y << "-" << m << "-" << d;
        ASSERT_EQ(cal.WeekDay, isoDay) << y << "-" << m << "-" << d;

        const CalendarRecord back = FromWeek(isoYear, isoWeek, isoDay);
        ASSERT_EQ((std::array{back.CalYear, back.CalMonth, back.CalDay}), (std::array{y, m, d}));
    }
}

TEST(Calendar, TodaysWeekdayFollowsTheClockAcrossMidnight) {
    VirtualClock clock({2026, 12, 6, 23, 59, 0, 0});  // a Sunday
    CalendarRecord today;
    EXPECT_EQ(BepaalDezeDagVandeWeek(today, clock), 7);
    EXPECT_EQ(CheckDatumEnBepaalDezeWeekdag(today, clock), 7);
    clock.Delay(120);
    EXPECT_EQ(CheckDatumEnBepaalDezeWeekdag(today, clock), 1);
    EXPECT_EQ(today.CalDay, 7);
}

TEST(Calendar, DayNamesAreTwoCharactersWide) {
    EXPECT_EQ(GetDayName(5), " 5");
    EXPECT_EQ(GetDayName(31), "31");
}

}  // namespace
}  // namespace qrv
