#include "runtime/calendar.h"

#include <algorithm>

#include <fmt/format.h>

namespace qrv {

namespace chr = std::chrono;

namespace {

void SetDate(CalendarRecord& cal, chr::sys_days day) {
    const LocalDateTime date = MidnightOf(day);
    cal.CalYear = date.year;
    cal.CalMonth = date.month;
    cal.CalDay = date.day;
}

}  // namespace

chr::sys_days CivilDay(int year, int month, int day) {
    const chr::sys_days first{chr::year{year} / chr::month{static_cast<unsigned>(month)} / 1};
    return first + chr::days{day - 1};
}

LocalDateTime MidnightOf(chr::sys_days day) {
    const chr::year_month_day date{day};
    return {static_cast<int>(date.year()), static_cast<int>(static_cast<unsigned>(date.month())),
            static_cast<int>(static_cast<unsigned>(date.day()))};
}

std::int64_t AbsoluteMinute(const LocalDateTime& when) {
    const chr::minutes midnight = CivilDay(when.year, when.month, when.day).time_since_epoch();
    return midnight.count() + static_cast<std::int64_t>(when.hour) * 60 + when.minute;
}

int DaysInMonth(int year, int month) {
    if (month < 1 || month > 12) {
        return 0;
    }
    const chr::year_month_day_last last{chr::year{year} / chr::month{static_cast<unsigned>(month)} /
                                        chr::last};
    return static_cast<int>(static_cast<unsigned>(last.day()));
}

void ConvertDateToWeekNumber(CalendarRecord& cal) {
    const chr::sys_days day = CivilDay(cal.CalYear, std::clamp(cal.CalMonth, 1, 12), cal.CalDay);
    cal.WeekDay = static_cast<int>(chr::weekday{day}.iso_encoding());
    // A week belongs to the year that holds its Thursday.
    const chr::sys_days thursday = day + chr::days{4 - cal.WeekDay};
    const chr::year weekYear = chr::year_month_day{thursday}.year();
    cal.WeekYear = static_cast<int>(weekYear);
    cal.WeekNumber =
        static_cast<int>((thursday - chr::sys_days{weekYear / chr::January / 1}).count() / 7 + 1);
}

void ConvertWeekNumberToDate(CalendarRecord& cal) {
    const chr::year weekYear{cal.WeekYear};
    if (cal.WeekNumber < 1) {
        SetDate(cal, chr::sys_days{weekYear / chr::January / 1});
        return;
    }
    // Week 1 is the week of 4 January.
    const chr::sys_days january4{weekYear / chr::January / 4};
    const chr::sys_days monday1 = january4 - (chr::weekday{january4} - chr::Monday);
    SetDate(cal, monday1 + chr::days{7 * (cal.WeekNumber - 1) + cal.WeekDay - 1});
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
