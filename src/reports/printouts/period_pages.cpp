#include "reports/printouts/period_pages.h"

#include <fmt/format.h>

#include "reports/printouts/day_graph.h"
#include "reports/printouts/time_out_of_range.h"
#include "reports/statistics.h"
#include "reports/value_text.h"
#include "runtime/calendar.h"
#include "text/texts.h"

namespace qrv {

using text::Key;

namespace {

// Blanks between the banner and the printing date on a period page.
constexpr int kPeriodBannerGap = 56;

std::string WeekDate(const PeriodSelection& selection, int weekday) {
    CalendarRecord cal;
    cal.WeekYear = selection.year;
    cal.WeekNumber = selection.week;
    cal.WeekDay = weekday;
    ConvertWeekNumberToDate(cal);
    return fmt::format("{:02d}-{:02d}-{:04d}", cal.CalDay, cal.CalMonth, cal.CalYear);
}

std::string PeriodLine(const PeriodSelection& selection, int taal) {
    if (selection.period == ReportPeriod::Week) {
        return fmt::format("{}  {:02d}:  {} / {}", text::Plain(Key::TXT_REGIS_WEEK, taal),
                           selection.week, WeekDate(selection, 1), WeekDate(selection, 7));
    }
    return fmt::format("{}  {:02d}-{:04d}", text::Plain(Key::TXT_REGIS_MONTH, taal),
                       selection.month, selection.year);
}

}  // namespace

void AddSlotCurve(const MonthEntry& entry, GraphModel& graph) {
    const std::size_t slots =
        entry.LastIndex < 0 ? 0 : static_cast<std::size_t>(entry.LastIndex) + 1;
    graph.xs.clear();
    graph.ys.clear();
    graph.xs.reserve(2 * slots);
    graph.ys.reserve(2 * slots);
    for (std::size_t i = 0; i < slots; ++i) {
        const double x = 2.0 * entry.SlotNumber[i];
        const bool down = i % 2 == 0;
        graph.xs.push_back(x);
        graph.ys.push_back(down ? entry.SlotMax[i] : entry.SlotMin[i]);
        graph.xs.push_back(x + 1.0);
        graph.ys.push_back(down ? entry.SlotMin[i] : entry.SlotMax[i]);
    }
}

ReportPage MakePeriodPage(const MonthEntry& entry, const PeriodSelection& selection,
                          const PrintContext& context,
                          const std::optional<records::TimeOutOfRange>& outOfRange) {
    const int taal = context.taal;
    const bool week = selection.period == ReportPeriod::Week;
    ReportPage page;
    page.layout = PageLayout::Period;
    page.orientation = PageOrientation::Landscape;
    page.title = text::Plain(week ? Key::TXT_WEEK_HIST_RECORD : Key::TXT_MONTH_HIST_RECORD, taal);
    page.banner = PrintingBanner(context, kPeriodBannerGap);
    page.details = {
        text::Plain(Key::TXT_NETWORK_ADDRESS, taal) + std::string(KeyText(entry.ProbeKey)),
        NetworkLine(context),
        text::Plain(Key::TXT_PROBE, taal) + entry.ProbeName.utf8,
        PeriodLine(selection, taal),
    };
    page.typeLine = ProbeTypeLine(entry.ProbeType, taal);
    ExtremeLines lines =
        ExtremeLinesOf(entry.ProbeType, entry.MinValue, entry.MaxValue, entry.ProbeUnits);
    page.maxLine = std::move(lines.maxLine);
    page.minLine = std::move(lines.minLine);

    GraphModel graph;
    graph.xLo = 0.0;
    if (week) {
        graph.xHi = 7.0 * kWeekUnitsPerDay;
        graph.xLabels = WeekdayLabels(taal);
    } else {
        const int days = DaysInMonth(selection.year, selection.month);
        graph.xHi = static_cast<double>(kMonthUnitsPerDay * days);
        graph.xLabels = MonthDayLabels(days);
    }
    SetProbeValueAxis(graph, entry.ProbeType, entry.ProbeUnits, entry.MinValue, entry.MaxValue,
                      kPrintAxisMargin, taal);
    graph.style = PeriodPlotStyle();
    AddSlotCurve(entry, graph);
    if (const auto limits = context.LimitsOf(KeyText(entry.ProbeKey))) {
        AddLimitLines(graph, *limits, entry.MinValue, entry.MaxValue, kPrintAxisMargin);
    }
    page.graph = std::move(graph);

    const Statisticals stats = ComputeStatisticals(entry.SlotMax, entry.SlotMin, entry.LastIndex);
    const auto statLines = CalculateAndListStatisticals(stats, entry.ProbeUnits, taal);
    page.statistics.assign(statLines.begin(), statLines.end());
    if (outOfRange) {
        const auto lines = OutOfRangeLines(*outOfRange, taal);
        page.statistics.insert(page.statistics.end(), lines.begin(), lines.end());
    }
    return page;
}

}  // namespace qrv
