#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "runtime/clock.h"

namespace qrv {

// ISO 8601 week dates. Callers set the input fields, call a conversion and
// read the output fields, as the week reports and the alarm windows do.
struct CalendarRecord {
    int CalYear = 2000;
    int CalMonth = 1;
    int CalDay = 1;
    int WeekYear = 1999;
    int WeekNumber = 52;
    int WeekDay = 6;  // 1 Monday .. 7 Sunday
};

// The day of a calendar date. A day beyond the month's end counts on into the
// next month, as the week conversions have always done with such input.
std::chrono::sys_days CivilDay(int year, int month, int day);
// The date of a day, at midnight.
LocalDateTime MidnightOf(std::chrono::sys_days day);
// Minutes since 1970-01-01 00:00 of a local date and time: one number that
// orders minutes across midnight and month ends.
std::int64_t AbsoluteMinute(const LocalDateTime& when);

int DaysInMonth(int year, int month);

// CalYear/CalMonth/CalDay -> WeekYear/WeekNumber/WeekDay.
void ConvertDateToWeekNumber(CalendarRecord& cal);
// WeekYear/WeekNumber/WeekDay -> CalYear/CalMonth/CalDay. A week beyond the
// year's last one rolls into January of the next year; a week before the
// first gives 1 January.
void ConvertWeekNumberToDate(CalendarRecord& cal);

// Sets the calendar record to today and returns today's weekday
// (DezeDagVanDeWeek).
int BepaalDezeDagVandeWeek(CalendarRecord& cal, const Clock& clock);
// Recomputes only when the date has changed since the record was set; returns
// the weekday of today.
int CheckDatumEnBepaalDezeWeekdag(CalendarRecord& cal, const Clock& clock);

// The day list entry: the number right-aligned in two characters ("%2d").
std::string GetDayName(int day);

}  // namespace qrv
