#pragma once

#include <string>
#include <vector>

namespace qrv {

// The value axis of a probe graph, scaled by hand as the station's graphs and
// printed pages always were: whole numbers in steps of 5 or 10 around the
// data, so that pages of the same probe compare at a glance.
struct ValueAxis {
    double lo = 0.0;
    double hi = 0.0;
    int divisions = 2;

    friend bool operator==(const ValueAxis&, const ValueAxis&) = default;
};

// Screens add a margin of 1.0 around the extremes, printed pages 2.0.
inline constexpr double kScreenAxisMargin = 1.0;
inline constexpr double kPrintAxisMargin = 2.0;

// hi = max + margin and lo = min - margin, truncated toward zero; the step is
// 10 when they lie more than 30 apart, else 5; both ends move out to the
// next step beyond them, and the divisions are the steps between (at least 2).
// With no values (min above max) the axis spans 0..10.
ValueAxis ComputeValueAxis(double minValue, double maxValue, double margin);

// A switch: -0.5 .. 1.5 in four divisions, labelled at 0 and 1.
ValueAxis SwitchAxis();

// A label in place of a number at a position on an axis.
struct AxisLabel {
    double at = 0.0;
    std::string text;

    friend bool operator==(const AxisLabel&, const AxisLabel&) = default;
};

// The switch axis labels, "Closed" at 0 and "Open" at 1, in the language.
std::vector<AxisLabel> SwitchAxisLabels(int taal);

// The time axis of a day in minutes: 0..1440 labelled every two hours.
inline constexpr double kMinutesPerDay = 1440.0;
std::vector<AxisLabel> DayTimeLabels();

// A month page places day d at X = 48 (d - 1) (24 hourly slots, two X units
// each); a week page places weekday k (1 Monday) at X = 192 (k - 1).
inline constexpr int kMonthUnitsPerDay = 48;
inline constexpr int kWeekUnitsPerDay = 192;
std::vector<AxisLabel> MonthDayLabels(int daysInMonth);
std::vector<AxisLabel> WeekdayLabels(int taal);

}  // namespace qrv
