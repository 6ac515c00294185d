#include "reports/graph_axis.h"

#include <algorithm>

#include <fmt/format.h>

#include "text/texts.h"

namespace qrv {

ValueAxis ComputeValueAxis(double minValue, double maxValue, double margin) {
    if (minValue > maxValue) {
        return ValueAxis{0.0, 10.0, 2};
    }
    int hi = static_cast<int>(maxValue + margin);
    int lo = static_cast<int>(minValue - margin);
    const int step = hi - lo > 30 ? 10 : 5;
    // Integer division truncates toward zero, as the scaling always did.
    lo = (lo / step) * step - step;
    hi = (hi / step) * step + step;
    return ValueAxis{static_cast<double>(lo), static_cast<double>(hi),
                     std::max(2, (hi - lo) / step)};
}

ValueAxis SwitchAxis() {
    return ValueAxis{-0.5, 1.5, 4};
}

std::vector<AxisLabel> SwitchAxisLabels(int taal) {
    return {{0.0, text::Plain(text::Key::TXT_SWITCH_CLOSED, taal)},
            {1.0, text::Plain(text::Key::TXT_SWITCH_OPEN, taal)}};
}

std::vector<AxisLabel> DayTimeLabels() {
    std::vector<AxisLabel> labels;
    for (int hour = 0; hour <= 24; hour += 2) {
        labels.push_back({hour * 60.0, fmt::format("{:02d}:00", hour)});
    }
    return labels;
}

std::vector<AxisLabel> MonthDayLabels(int daysInMonth) {
    std::vector<AxisLabel> labels;
    labels.reserve(static_cast<std::size_t>(std::max(0, daysInMonth)));
    for (int day = 1; day <= daysInMonth; ++day) {
        labels.push_back({static_cast<double>(kMonthUnitsPerDay * (day - 1)), std::to_string(day)});
    }
    return labels;
}

std::vector<AxisLabel> WeekdayLabels(int taal) {
    std::vector<AxisLabel> labels;
    labels.reserve(7);
    for (int day = 0; day < 7; ++day) {
        labels.push_back({static_cast<double>(kWeekUnitsPerDay * day),
                          std::string(text::GroupText(text::Group::Weekdays, day, taal))});
    }
    return labels;
}

}  // namespace qrv
