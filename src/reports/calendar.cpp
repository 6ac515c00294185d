#include "reports/calendar.h"

#include <array>

#include <fmt/format.h>

namespace qrv {

namespace {

constexpr std::array<int, 12> kDaysBeforeMonth{0,   31,  59,  90,  120, 151,
                                               181, 212, 243, 273, 304, 334};
constexpr std::array<int, 12> kMonthLengths{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

int DaysInYear(int year) {
    return IsLeapYear(year) ? 366 : 365;
}

}  // namespace

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int WeekdayOfJanuaryFirst(int year) {
    const int c = year - 1;
    const int yy = c % 100;
    const int century = c - yy;
    const int g = yy + yy / 4;
    return 1 + (((century / 100) % 4) * 5 + g) % 7;
}

int DaysInMonth(int year, int month) {
    if (month < 1 || month > 12) {
        return 0;
    }
    return month == 2 && IsLeapYear(year) ? 29 : kMonthLengths[month - 1];
}

void ConvertDateToWeekNumber(CalendarRecord& cal) {
    const int year = cal.CalYear;
    const int month = cal.CalMonth < 1 ? 1 : (cal.CalMonth > 12 ? 12 : cal.CalMonth);
    int d = cal.CalDay + kDaysBeforeMonth[month - 1];
    if (IsLeapYear(year) && month > 2) {
        ++d;
    }
    const int jan1 = WeekdayOfJanuaryFirst(year);
    cal.WeekDay = 1 + (d + jan1 - 2) % 7;

    if (d <= 8 - jan1 && jan1 > 4) {
        cal.WeekYear = year - 1;
        cal.WeekNumber = (jan1 == 5 || (jan1 == 6 && IsLeapYear(year - 1))) ? 53 : 52;
        return;
    }
    if (DaysInYear(year) - d < 4 - cal.WeekDay) {
        cal.WeekYear = year + 1;
        cal.WeekNumber = 1;
        return;
    }
    cal.WeekYear = year;
    cal.WeekNumber = (d + (7 - cal.WeekDay) + (jan1 - 1)) / 7;
    if (jan1 > 4) {
        --cal.WeekNumber;
    }
}

void ConvertWeekNumberToDate(CalendarRecord& cal) {
    const int year = cal.WeekYear;
    const int w = cal.WeekNumber;
    const int k = cal.WeekDay;
    const int jan1 = WeekdayOfJanuaryFirst(year);

    if (w == 1 && jan1 < 5 && k < jan1) {
        cal.CalYear = year - 1;
        cal.CalMonth = 12;
        cal.CalDay = k - jan1 + 32;
        return;
    }
    const int d = jan1 < 5 ? 7 * w - 7 + k - (jan1 - 1) : 7 * w - 7 + k + (8 - jan1);
    const int n = DaysInYear(year);
    if (d > n) {
        cal.CalYear = year + 1;
        cal.CalMonth = 1;
        cal.CalDay = d - n;
        return;
    }
    cal.CalYear = year;
    if (d <= 0) {
        cal.CalMonth = 1;
        cal.CalDay = 1;
        return;
    }
    int before = 0;
    for (int month = 1; month <= 12; ++month) {
        const int length = DaysInMonth(year, month);
        if (before + length >= d) {
            cal.CalMonth = month;
            cal.CalDay = d - before;
            return;
        }
        before += length;
    }
}

int BepaalDezeDagVandeWeek(CalendarRecord& cal, const Clock& clock) {
    const LocalDateTime now = clock.Now();
    cal.CalYear = now.year;
    cal.CalMonth = now.month;
    cal.CalDay = now.day;
    ConvertDateToWeekNumber(cal);
    return cal.WeekDay;
}

int CheckDatumEnBepaalDezeWeekdag(CalendarRecord& cal, const Clock& clock) {
    const LocalDateTime now = clock.Now();
    if (now.year != cal.CalYear || now.month != cal.CalMonth || now.day != cal.CalDay) {
        return BepaalDezeDagVandeWeek(cal, clock);
    }
    return cal.WeekDay;
}

std::string GetDayName(int day) {
    return fmt::format("{:2d}", day);
}

}  // namespace qrv
