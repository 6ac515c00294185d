#pragma once

#include <string>

#include "runtime/clock.h"

namespace qrv {

// ISO 8601 week dates with integer arithmetic only. Callers set the input
// fields, call a conversion and read the output fields, as the week reports
// and the alarm windows do.
struct CalendarRecord {
    int CalYear = 2000;
    int CalMonth = 1;
    int CalDay = 1;
    int WeekYear = 1999;
    int WeekNumber = 52;
    int WeekDay = 6;  // 1 Monday .. 7 Sunday
};

bool IsLeapYear(int year);
// Weekday of 1 January of the year, 1 Monday .. 7 Sunday.
int WeekdayOfJanuaryFirst(int year);
int DaysInMonth(int year, int month);

// CalYear/CalMonth/CalDay -> WeekYear/WeekNumber/WeekDay.
void ConvertDateToWeekNumber(CalendarRecord& cal);
// WeekYear/WeekNumber/WeekDay -> CalYear/CalMonth/CalDay. A week beyond the
// year's last one rolls into January of the next year.
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
