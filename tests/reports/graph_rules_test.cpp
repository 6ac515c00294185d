#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "reports/graph_axis.h"
#include "reports/limit_lines.h"
#include "reports/printouts/daily_list.h"
#include "reports/printouts/day_pages.h"
#include "reports/printouts/print_context.h"
#include "reports/value_text.h"
#include "storage/result_file_format.h"
#include "support/day_builder.h"
#include "views/current_values.h"

namespace qrv {
namespace {

using testing::AddDayProbe;
using testing::AddDayValue;

TEST(ValueAxis, ScreenAndHardCopyAroundTheExtremes) {
    // Screen: 17 -> 10, 24 -> 25; hard copy: 16 -> 10, 25 -> 30.
    EXPECT_EQ(ComputeValueAxis(18.3, 23.9, kScreenAxisMargin), (ValueAxis{10.0, 25.0, 3}));
    EXPECT_EQ(ComputeValueAxis(18.3, 23.9, kPrintAxisMargin), (ValueAxis{10.0, 30.0, 4}));
    // Truncation toward zero on both sides of it, and the wider step.
    EXPECT_EQ(ComputeValueAxis(-3.5, 41.0, kPrintAxisMargin), (ValueAxis{-10.0, 50.0, 6}));
    EXPECT_EQ(ComputeValueAxis(-55.0, 125.0, kScreenAxisMargin), (ValueAxis{-60.0, 130.0, 19}));
    EXPECT_EQ(ComputeValueAxis(0.0, 100.0, kScreenAxisMargin), (ValueAxis{-10.0, 110.0, 12}));
    // A flat day still gets an axis of two divisions around it.
    EXPECT_EQ(ComputeValueAxis(4.0, 4.0, kScreenAxisMargin), (ValueAxis{-5.0, 10.0, 3}));
    EXPECT_EQ(ComputeValueAxis(-2.0, 2.0, 0.0), (ValueAxis{-5.0, 5.0, 2}));
    // No values at all (the readers' start values) gives a usable axis.
    const ValueAxis none = ComputeValueAxis(150.0, -50.0, kScreenAxisMargin);
    EXPECT_LT(none.lo, none.hi);
}

TEST(ValueAxis, SwitchAxisCarriesTheTwoStateLabels) {
    EXPECT_EQ(SwitchAxis(), (ValueAxis{-0.5, 1.5, 4}));
    const std::vector<AxisLabel> english = SwitchAxisLabels(0);
    ASSERT_EQ(english.size(), 2U);
    EXPECT_EQ(english[0], (AxisLabel{0.0, "Closed"}));
    EXPECT_EQ(english[1], (AxisLabel{1.0, "Open  "}));
    EXPECT_EQ(SwitchAxisLabels(2)[0].text, "Fermé");

    auto day = std::make_unique<HistoryData>();
    const int door = AddDayProbe(*day, "Door", '2');
    AddDayValue(*day, door, 0, 0.0);
    AddDayValue(*day, door, 10, 1.0);
    const ReportPage page = MakeDayPage(*day, door, PrintContext{0, "Net", {}});
    ASSERT_TRUE(page.graph);
    EXPECT_EQ(page.graph->y, SwitchAxis());
    EXPECT_EQ(page.graph->yLabels, english);
    EXPECT_EQ(page.graph->yTitle, "Switch");
    EXPECT_EQ(page.typeLine, "Status sensor");
    EXPECT_TRUE(page.maxLine.empty());
    EXPECT_TRUE(page.minLine.empty());
    EXPECT_EQ(page.graph->style.look, PlotLook::ThickLine);
}

TEST(LimitLines, TheLimitsNearTheValuesAreDrawnInTheirStatesColours) {
    GraphModel graph;
    graph.xs = {0.0, 10.0};
    graph.ys = {-20.0, -16.0};
    graph.y = ComputeValueAxis(-20.0, -16.0, kScreenAxisMargin);
    // Far limits (the defaults of a new probe) would flatten the curve.
    AddLimitLines(graph, {-30, 200, -25, -14}, -20.0, -16.0, kScreenAxisMargin);
    EXPECT_EQ(graph.limits, (std::vector<LimitLine>{{-30.0, kAlarmLimitColour},
                                                    {-14.0, kPreAlarmLimitColour},
                                                    {-25.0, kPreAlarmLimitColour}}));
    EXPECT_LE(graph.y.lo, -30.0) << "the axis shows every drawn limit";
    EXPECT_GE(graph.y.hi, -14.0);

    // A pre-alarm limit on an alarm limit: one line, in the alarm's colour.
    GraphModel same;
    same.xs = {0.0};
    same.ys = {4.0};
    AddLimitLines(same, {0, 8, 0, 8}, 4.0, 4.0, kScreenAxisMargin);
    EXPECT_EQ(same.limits,
              (std::vector<LimitLine>{{8.0, kAlarmLimitColour}, {0.0, kAlarmLimitColour}}));

    GraphModel empty;
    AddLimitLines(empty, {-30, -10, -25, -14}, 150.0, -50.0, kScreenAxisMargin);
    EXPECT_TRUE(empty.limits.empty()) << "no curve, no limits";
}

TEST(LimitLines, ComeFromTheProbeTableForMeasuredTemperaturesAndHumidities) {
    SensorTable table;
    const RomCode freezerRom{0x28, 0x2C, 0x1B, 0x0A, 0, 0, 0, 0x33};
    const int freezer = table.Append1820ToDataStruct(freezerRom, 1);
    table.DefineSensorTypeAndUnits(freezer);
    SensorRecord& record = table.SensorArray[static_cast<std::size_t>(freezer)];
    record.AlarmLow = -28;
    record.AlarmHigh = -10;
    record.TripLow = -25;
    record.TripHigh = -14;
    const int door = table.Append1820ToDataStruct({0x12, 0x2D, 0x1B, 0x0A, 0, 0, 0, 0x34}, 1);
    table.DefineSensorTypeAndUnits(door);

    const KeyChars key = MakeProbeKey(freezerRom, kTypeTemperature);
    const auto limits = LimitsInTable(table, KeyText(key));
    ASSERT_TRUE(limits);
    EXPECT_EQ(limits->alarmHigh, -10);
    EXPECT_EQ(limits->tripLow, -25);
    EXPECT_FALSE(LimitsInTable(table, KeyText(MakeProbeKey(table.SensorArray[1].Rom, kTypeSwitch))))
        << "a switch has no limit lines";
    EXPECT_FALSE(LimitsInTable(table, "0000000FFFFF"));
    record.Status = kStatusOff;
    EXPECT_FALSE(GraphLimitsOf(record)) << "nor has a probe that is off";

    // A day page of the probe draws them; without a table it draws none.
    record.Status = kStatusActive;
    auto day = std::make_unique<HistoryData>();
    const int e = AddDayProbe(*day, "Freezer", '0');
    std::copy(key.begin(), key.end(),
              day->HistoSensor[static_cast<std::size_t>(e)].ProbeKey.begin());
    AddDayValue(*day, e, 0, -19.0);
    AddDayValue(*day, e, 30, -17.5);
    PrintContext context{0, "Net", {}};
    EXPECT_TRUE(MakeDayPage(*day, e, context).graph->limits.empty());
    context.limitsOf = [&table](std::string_view probeKey) {
        return LimitsInTable(table, probeKey);
    };
    EXPECT_EQ(MakeDayPage(*day, e, context).graph->limits.size(), 4U);
}

// Every place a value is shown, for the boundaries of the display ranges.
struct Shown {
    std::string bigView;
    std::string readout;
    std::string pageItem;
    std::string listCell;
};

Shown ShowEverywhere(int type, std::string_view units, double value) {
    views::ProbeState probe{kStatusActive, kAlarmNone, value, type, std::string(units)};
    auto day = std::make_unique<HistoryData>();
    const int e = AddDayProbe(*day, "P", type == kTypeHumidity ? '1' : '0');
    AddDayValue(*day, e, 600, value);
    const std::vector<std::string> lines = DayValueLines(SeriesOf(day->HistoSensor[0]), 0);
    return {views::MakeBigView(probe, false, 0).valueText,
            views::CursorValueText(type, value, units, 0), lines.empty() ? "" : lines[0],
            ListCell(value, type, units, 0)};
}

TEST(ValueTexts, TemperatureRangeInEachPlace) {
    const Shown cold = ShowEverywhere(kTypeTemperature, "°C", -55.0);
    EXPECT_EQ(cold.bigView, " - - - - ");
    EXPECT_EQ(cold.readout, " - - - - ");
    EXPECT_EQ(cold.pageItem, " 10:00 -55.0°C");  // pages print what was stored
    EXPECT_EQ(cold.listCell, " -55.0°C");

    const Shown top = ShowEverywhere(kTypeTemperature, "°C", 124.9);
    EXPECT_EQ(top.bigView, " 124.9°C");
    EXPECT_EQ(top.readout, " 124.9°C");

    const Shown over = ShowEverywhere(kTypeTemperature, "°C", 125.0);
    EXPECT_EQ(over.bigView, " - - - - ");
    EXPECT_EQ(over.readout, " - - - - ");
    EXPECT_EQ(over.listCell, " 125.0°C");
    EXPECT_EQ(ShowEverywhere(kTypeTemperature, "°C", -49.9).readout, " -49.9°C");
}

TEST(ValueTexts, HumidityRangeInEachPlace) {
    const Shown dry = ShowEverywhere(kTypeHumidity, " %", 0.0);
    EXPECT_EQ(dry.bigView, " - - - - ");
    EXPECT_EQ(dry.readout, " - - - - ");
    EXPECT_EQ(dry.listCell, "   0.0 %");

    const Shown almost = ShowEverywhere(kTypeHumidity, " %", 99.9);
    EXPECT_EQ(almost.bigView, "  99.9 %");
    EXPECT_EQ(almost.readout, " - - - - ");  // the read-outs stop below 99.9

    const Shown wet = ShowEverywhere(kTypeHumidity, " %", 100.0);
    EXPECT_EQ(wet.bigView, " 100.0 %");
    EXPECT_EQ(wet.readout, " - - - - ");
    EXPECT_EQ(wet.pageItem, " 10:00 100.0 %");
    EXPECT_EQ(ShowEverywhere(kTypeHumidity, " %", 0.1).readout, "   0.1 %");
}

TEST(ValueTexts, SwitchStatesInEachPlace) {
    EXPECT_EQ(views::CursorValueText(kTypeSwitch, 0.0, "  ", 0), " Closed");
    EXPECT_EQ(views::CursorValueText(kTypeSwitch, 1.0, "  ", 0), " Open  ");
    EXPECT_EQ(views::CursorValueText(kTypeSwitch, 2.0, "  ", 0), "   - - - - ");
    EXPECT_EQ(PrintedSwitchText(0.4, 0), "Closed");
    EXPECT_EQ(PrintedSwitchText(0.6, 0), "Open  ");
    EXPECT_EQ(ListCell(1.0, kTypeSwitch, "  ", 0), "  Open  ");
    EXPECT_EQ(ListCell(std::nullopt, kTypeSwitch, "  ", 0), "    -   ");
    EXPECT_EQ(ListCell(-300.0, kTypeSwitch, "  ", 0), "    -   ");
}

// n values every `step` minutes from midnight, all 20.0.
DaySeries Regular(std::vector<std::int32_t>& minutes, std::vector<double>& values, int n,
                  int step) {
    minutes.clear();
    values.assign(static_cast<std::size_t>(n), 20.0);
    for (int i = 0; i < n; ++i) {
        minutes.push_back(i * step);
    }
    return DaySeries{minutes, values, kTypeTemperature, "°C", 20.0, 20.0};
}

std::size_t Items(const std::vector<std::string>& lines) {
    std::size_t items = 0;
    for (const std::string& line : lines) {
        for (std::size_t at = line.find(':'); at != std::string::npos;
             at = line.find(':', at + 1)) {
            ++items;
        }
    }
    return items;
}

TEST(DayValueLines, WhichValuesAreListed) {
    std::vector<std::int32_t> minutes;
    std::vector<double> values;

    const auto tenMinutes = DayValueLines(Regular(minutes, values, 144, 10), 0);
    EXPECT_EQ(tenMinutes.size(), 29U);
    EXPECT_EQ(Items(tenMinutes), 144U);
    EXPECT_EQ(tenMinutes[0],
              " 00:00  20.0°C    00:10  20.0°C    00:20  20.0°C    00:30  20.0°C"
              "    00:40  20.0°C");

    // At most 166 values: the quarter hours count too.
    EXPECT_EQ(Items(DayValueLines(Regular(minutes, values, 96, 15), 0)), 96U);

    const auto everyMinute = DayValueLines(Regular(minutes, values, 1440, 1), 0);
    EXPECT_EQ(Items(everyMinute), 144U);
    EXPECT_EQ(everyMinute[0], tenMinutes[0]);

    // 288 values are more than 166: only the whole ten minutes.
    EXPECT_EQ(Items(DayValueLines(Regular(minutes, values, 288, 5), 0)), 144U);

    // Beyond 33 lines nothing more is shown.
    const auto tooMany = DayValueLines(Regular(minutes, values, 166, 10), 0);
    EXPECT_EQ(tooMany.size(), 33U);
    EXPECT_EQ(Items(tooMany), 165U);

    // A value at the same minute as the one shown before is shown once.
    minutes = {0, 0, 10};
    values = {1.0, 2.0, 3.0};
    const auto twice = DayValueLines(DaySeries{minutes, values, kTypeTemperature, "°C", 1, 3}, 0);
    EXPECT_EQ(twice, std::vector<std::string>{" 00:00   1.0°C    00:10   3.0°C"});
}

TEST(DayGraphs, SingleValueHasTextsAndAxisButNoCurve) {
    auto day = std::make_unique<HistoryData>();
    const int e = AddDayProbe(*day, "Fridge", '0');
    AddDayValue(*day, e, 720, 4.2);
    const DaySeries series = SeriesOf(day->HistoSensor[0]);
    const GraphModel screen = DayGraph(series, kScreenAxisMargin, ScreenPlotStyle(1, 48), 2, 0);
    EXPECT_TRUE(screen.xs.empty());
    EXPECT_EQ(screen.y, (ValueAxis{-5.0, 10.0, 3}));
    EXPECT_EQ(screen.yTitle, "Temperature °C");
    // The printed page plots every stored value, one included.
    const ReportPage page = MakeDayPage(*day, e, PrintContext{0, "Net", {}});
    ASSERT_TRUE(page.graph);
    EXPECT_EQ(page.graph->xs, std::vector<double>{720.0});
    EXPECT_EQ(page.maxLine, "Max:    4.2°C");
    EXPECT_EQ(page.minLine, "Min:    4.2°C");
}

TEST(PlotStyles, UserStyleOnScreenAndFixedStylesOnPaper) {
    EXPECT_EQ(ScreenPlotStyle(0, kTypeTemperature), (PlotStyle{PlotLook::Bar, 0x000080, false}));
    EXPECT_EQ(ScreenPlotStyle(1, kTypeHumidity).look, PlotLook::Line);
    EXPECT_EQ(ScreenPlotStyle(2, kTypeTemperature).look, PlotLook::LinePoints);
    EXPECT_EQ(ScreenPlotStyle(3, kTypeTemperature).look, PlotLook::Dots);
    EXPECT_EQ(ScreenPlotStyle(7, kTypeTemperature).look, PlotLook::Line);
    EXPECT_EQ(ScreenPlotStyle(0, kTypeSwitch).look, PlotLook::ThickLine);
    EXPECT_EQ(PrintedDayPlotStyle(kTypeTemperature), (PlotStyle{PlotLook::LinePoints, 0, true}));
    EXPECT_EQ(PeriodPlotStyle().look, PlotLook::ThickLine);
}

}  // namespace
}  // namespace qrv
