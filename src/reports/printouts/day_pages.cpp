#include "reports/printouts/day_pages.h"

#include <fmt/format.h>

#include "reports/printouts/time_out_of_range.h"
#include "reports/value_text.h"
#include "text/texts.h"

namespace qrv {

using text::Key;

namespace {

std::string ValueItem(int minute, double value, const DaySeries& series, int taal) {
    std::string item = fmt::format("{:02d}:{:02d}", minute / 60, minute % 60);
    if (series.probeType == kTypeSwitch) {
        item += " " + PrintedSwitchText(value, taal);
    } else {
        item += ValueWithUnits(value, series.units);
    }
    return item;
}

bool IsListedMinute(int minute, bool quarterHoursToo) {
    return minute % 10 == 0 || (quarterHoursToo && minute % 15 == 0);
}

// Title, banner and the lines under them, as day pages and hard copies share them.
ReportPage DayPageFrame(std::string title, std::string address, const PrintContext& context) {
    ReportPage page;
    page.layout = PageLayout::Day;
    page.orientation = PageOrientation::Portrait;
    page.title = std::move(title);
    page.banner = PrintingBanner(context);
    page.details.push_back(std::move(address));
    page.details.push_back(NetworkLine(context));
    return page;
}

void AddGraphTexts(ReportPage& page, const DaySeries& series, int taal) {
    page.typeLine = ProbeTypeLine(series.probeType, taal);
    ExtremeLines lines =
        ExtremeLinesOf(series.probeType, series.minValue, series.maxValue, series.units);
    page.maxLine = std::move(lines.maxLine);
    page.minLine = std::move(lines.minLine);
    page.graph = DayGraph(series, kPrintAxisMargin, PrintedDayPlotStyle(series.probeType), 1, taal);
}

}  // namespace

std::vector<std::string> DayValueLines(const DaySeries& series, int taal) {
    std::vector<std::string> lines;
    const std::size_t count = std::min(series.minutes.size(), series.values.size());
    const bool quarterHoursToo = count <= static_cast<std::size_t>(kQuarterHourListLimit);
    int items = 0;
    int lastShown = -1;
    for (std::size_t i = 0; i < count; ++i) {
        const int minute = series.minutes[i];
        if (!IsListedMinute(minute, quarterHoursToo) || minute == lastShown) {
            continue;
        }
        lastShown = minute;
        const std::string item = ValueItem(minute, series.values[i], series, taal);
        if (items % kItemsPerValueLine == 0) {
            if (static_cast<int>(lines.size()) == kDayValueLineCount) {
                break;
            }
            lines.push_back(" " + item);
        } else {
            lines.back() += "    " + item;
        }
        ++items;
    }
    return lines;
}

DaySeries SeriesOf(const HistoEntry& entry) {
    const std::size_t count =
        entry.LastIndex < 0 ? 0 : static_cast<std::size_t>(entry.LastIndex) + 1;
    return DaySeries{std::span(entry.SampleTime).first(count),
                     std::span(entry.SampleValue).first(count),
                     entry.ProbeType,
                     entry.ProbeUnits,
                     entry.MinValue,
                     entry.MaxValue};
}

DaySeries TodaySeries(const TodayView& today) {
    // A probe without a value today has its extremes still at their start values.
    const auto count = today.ViewMeasMin <= today.ViewMeasMax
                           ? static_cast<std::size_t>(std::max(0, today.ViewArrayMaxIndex)) + 1
                           : 0;
    return DaySeries{std::span(today.ViewTime).first(count),
                     std::span(today.ViewTemp).first(count),
                     today.ViewProbeType,
                     today.ViewProbeUnits,
                     today.ViewMeasMin,
                     today.ViewMeasMax};
}

ReportPage MakeDayPage(const HistoryData& day, int entry, const PrintContext& context) {
    const HistoEntry& probe = day.HistoSensor[static_cast<std::size_t>(entry)];
    const int taal = context.taal;
    ReportPage page = DayPageFrame(
        DayRecordTitle(day.EuroHistoryDatum, context),
        text::Plain(Key::TXT_NETWORK_ADDRESS, taal) + "  " + std::string(KeyText(probe.ProbeKey)),
        context);
    page.details.push_back(text::Plain(Key::TXT_PROBE, taal) + probe.ProbeName.utf8);
    page.details.push_back(text::Plain(Key::TXT_REGISTRATION_DATE, taal) + day.EuroHistoryDatum);
    page.details.push_back(day.HistoryFileName.string());
    const DaySeries series = SeriesOf(probe);
    AddGraphTexts(page, series, taal);
    if (const auto limits = context.LimitsOf(KeyText(probe.ProbeKey))) {
        AddLimitLines(*page.graph, *limits, series.minValue, series.maxValue, kPrintAxisMargin);
    }
    page.body = DayValueLines(series, taal);
    // After the value lines, apart from them, so the lines keep their places.
    if (const auto outOfRange = EntryTimeOutOfRange(probe, context, DayOfFile(day))) {
        page.body.emplace_back();
        const auto lines = OutOfRangeLines(*outOfRange, taal);
        page.body.insert(page.body.end(), lines.begin(), lines.end());
    }
    return page;
}

ReportPage MakeHardCopyPage(const TodayView& today, const SensorRecord& record,
                            std::string_view todayFileDate, const PrintContext& context) {
    const int taal = context.taal;
    // The serial number, most significant byte first.
    std::string address = text::Plain(Key::TXT_NETWORK_ADDRESS, taal) + "  ";
    for (int i = 6; i >= 1; --i) {
        address += fmt::format("{:02X}", record.Rom[static_cast<std::size_t>(i)] & 0xFF);
    }
    ReportPage page =
        DayPageFrame(text::Plain(Key::TXT_ACTUAL_RECORD, taal), std::move(address), context);
    page.details.push_back(text::Plain(Key::TXT_PROBE, taal) + record.Name);
    page.details.push_back(text::Plain(Key::TXT_REGISTRATION_DATE, taal) +
                           EuroDateOf(todayFileDate));
    page.details.emplace_back();
    const DaySeries series = TodaySeries(today);
    AddGraphTexts(page, series, taal);
    if (const auto limits = GraphLimitsOf(record)) {
        AddLimitLines(*page.graph, *limits, series.minValue, series.maxValue, kPrintAxisMargin);
    }
    return page;
}

}  // namespace qrv
