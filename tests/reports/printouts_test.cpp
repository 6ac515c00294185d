#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <set>

#include "reports/printouts/daily_list.h"
#include "reports/printouts/day_pages.h"
#include "reports/printouts/period_loading.h"
#include "reports/printouts/period_pages.h"
#include "reports/printouts/report_selection.h"
#include "reports/printouts/settings_pages.h"
#include "reports/text_columns.h"
#include "runtime/encoding.h"
#include "storage/result_file_format.h"
#include "storage/result_generator.h"
#include "support/day_builder.h"
#include "support/temp_dir.h"

namespace qrv {
namespace {

using testing::AddDayProbe;
using testing::AddDayValue;

const PrintContext kContext{0, "Cold store", {"2026-02-03", "03/02/2026", "14:05:07"}};

TEST(DailyList, HalfHourRowsWithGaps) {
    auto day = std::make_unique<HistoryData>();
    day->HistoryFileName = "/data/2026-02-02.qrd";
    day->EuroHistoryDatum = "02/02/2026";
    const int freezer = AddDayProbe(*day, "Freezer number 1", '0');
    const int door = AddDayProbe(*day, "Door", '2');
    for (int minute = 0; minute < 1440; minute += 30) {
        if (minute != 60) {  // the 01:00 store went missing
            AddDayValue(*day, freezer, minute, -18.0 - 0.1 * (minute / 30));
        }
    }
    // Stored only between the half hours: no cell of this probe has a value.
    AddDayValue(*day, door, 15, 1.0);
    AddDayValue(*day, door, 45, 0.0);

    const ReportPage page = MakeDailyListPage(*day, 1, 1, kContext);
    EXPECT_EQ(page.layout, PageLayout::List);
    EXPECT_EQ(page.pageLine, "Page 1 of 1");
    EXPECT_EQ(page.title, "Previous data record   2026-02-02.qrd");
    EXPECT_EQ(page.details.back(), "/data/2026-02-02.qrd");
    // Every name stands over its column, two blanks from the next.
    EXPECT_EQ(page.columnHeader, std::vector<std::string>{"       Freezer n  Door     "});
    EXPECT_EQ(Utf8Length(page.columnHeader[0]), Utf8Length(page.body[0]));
    ASSERT_EQ(page.body.size(), 48U);
    EXPECT_EQ(page.body[0], "00:00    -18.0°C       -   ");
    EXPECT_EQ(page.body[1], "00:30    -18.1°C       -   ");
    EXPECT_EQ(page.body[2], "01:00       -          -   ");
    EXPECT_EQ(page.body[47], "23:30    -22.7°C       -   ");
    EXPECT_EQ(page.details[1], "Registration date:  02/02/2026");
}

// A day report of the day of printing is no previous record.
TEST(DayPages, TheDayOfPrintingIsTitledTodaysRecordedData) {
    auto day = std::make_unique<HistoryData>();
    day->HistoryFileName = "/data/2026-02-03.qrd";
    day->EuroHistoryDatum = kContext.printed.EuroDatumString;
    const int freezer = AddDayProbe(*day, "Freezer", '0');
    AddDayValue(*day, freezer, 0, -18.0);
    EXPECT_EQ(MakeDailyListPage(*day, 1, 1, kContext).title,
              "Today's recorded data   2026-02-03.qrd");
    EXPECT_EQ(MakeDayPage(*day, freezer, kContext).title, "Today's recorded data");
    PrintContext dutch = kContext;
    dutch.taal = 3;
    EXPECT_EQ(MakeDayPage(*day, freezer, dutch).title, "Vandaag geregistreerde gegevens");
    day->EuroHistoryDatum = "02/02/2026";
    EXPECT_EQ(MakeDayPage(*day, freezer, kContext).title, "Previous data record");
}

TEST(DailyList, EightProbesAPage) {
    EXPECT_EQ(DailyListPageCount(0), 0);
    EXPECT_EQ(DailyListPageCount(8), 1);
    EXPECT_EQ(DailyListPageCount(11), 2);
    EXPECT_EQ(DailyListPageCount(20), 3);
    auto day = std::make_unique<HistoryData>();
    for (int i = 0; i < 20; ++i) {
        AddDayValue(*day, AddDayProbe(*day, "P" + std::to_string(i), '0'), 0, i);
    }
    const ReportPage last = MakeDailyListPage(*day, 3, 3, kContext);
    EXPECT_EQ(last.pageLine, "Page 3 of 3");
    EXPECT_EQ(last.columnHeader[0], "       P16        P17        P18        P19      ");
    EXPECT_EQ(last.body[0], "00:00     16.0°C     17.0°C     18.0°C     19.0°C");
    EXPECT_EQ(MakeDailyListPage(*day, 2, 3, kContext).body[0].size(),
              MakeDailyListPage(*day, 1, 3, kContext).body[0].size());
}

MonthEntry Slots(const std::vector<std::tuple<int, double, double>>& slots, char typeChar) {
    MonthEntry entry;
    entry.Clear();
    entry.ProbeName.Update("Cellar");
    std::memcpy(entry.ProbeKey.data(), "00000012ABCD", 12);
    entry.ProbeType = ProbeTypeOfTypeCharacter(typeChar);
    entry.ProbeUnits = UnitsOfTypeCharacter(typeChar);
    entry.MinValue = 150.0;
    entry.MaxValue = -50.0;
    for (const auto& [slot, hi, lo] : slots) {
        const auto i = static_cast<std::size_t>(++entry.LastIndex);
        entry.SlotNumber[i] = slot;
        entry.SlotMax[i] = hi;
        entry.SlotMin[i] = lo;
        entry.MinValue = std::min(entry.MinValue, lo);
        entry.MaxValue = std::max(entry.MaxValue, hi);
    }
    return entry;
}

TEST(PeriodPages, MonthPageTextsCurveAndStatistics) {
    const MonthEntry entry = Slots({{0, 22.0, 20.0}, {1, 23.9, 18.3}, {30, 21.0, 19.0}}, '0');
    const ReportPage page = MakePeriodPage(entry, {ReportPeriod::Month, 2026, 2, 1, 1}, kContext);
    EXPECT_EQ(page.orientation, PageOrientation::Landscape);
    EXPECT_EQ(page.title, "Monthly report");
    EXPECT_EQ(page.banner, "QUORVANEL   Intelligent Probe Network" + std::string(56, ' ') +
                               "     Printing date:  03/02/2026   14:05:07");
    EXPECT_EQ(page.details,
              (std::vector<std::string>{"Network address: 00000012ABCD", "Network:   Cold store",
                                        "Probe:   Cellar", "Registration month   02-2026"}));
    EXPECT_EQ(page.maxLine, "Max:   23.9°C");
    EXPECT_EQ(page.minLine, "Min:   18.3°C");
    ASSERT_TRUE(page.graph);
    const GraphModel& graph = *page.graph;
    EXPECT_EQ(graph.y, (ValueAxis{10.0, 30.0, 4}));
    EXPECT_EQ(graph.xHi, 48.0 * 28);  // February 2026
    EXPECT_EQ(graph.xLabels.size(), 28U);
    EXPECT_EQ(graph.xLabels[1], (AxisLabel{48.0, "2"}));
    // Down through the first slot, up through the second, down through the third.
    EXPECT_EQ(graph.xs, (std::vector<double>{0, 1, 2, 3, 60, 61}));
    EXPECT_EQ(graph.ys, (std::vector<double>{22.0, 20.0, 18.3, 23.9, 21.0, 19.0}));
    ASSERT_EQ(page.statistics.size(), 11U);
    EXPECT_EQ(page.statistics[1], "Number of values   :" + std::string(12, ' ') + "6");
    EXPECT_EQ(page.statistics[10], "Maximum value      :" + std::string(9, ' ') + "23.9°C");
}

TEST(PeriodPages, WeekPageAcrossTheTurnOfTheYear) {
    const MonthEntry entry = Slots({{96 * 6, 1.0, 0.0}}, '2');
    const ReportPage page = MakePeriodPage(entry, {ReportPeriod::Week, 2009, 1, 1, 1}, kContext);
    EXPECT_EQ(page.title, "Weekly report");
    EXPECT_EQ(page.details[3], "Registration week   01:  29-12-2008 / 04-01-2009");
    EXPECT_TRUE(page.maxLine.empty());
    ASSERT_TRUE(page.graph);
    EXPECT_EQ(page.graph->xHi, 1344.0);
    EXPECT_EQ(page.graph->xLabels[5], (AxisLabel{960.0, "Saterday:"}));
    EXPECT_EQ(page.graph->y, SwitchAxis());
    EXPECT_EQ(page.statistics[2], "Mean value         :" + std::string(10, ' ') + "0.5  ");
}

TEST(SystemSettingsPage, RowsAsStored) {
    SystemSettings settings;
    settings.SerialPort = 3;
    settings.Taal = 2;
    settings.KeuzeSampleTime = 15;
    settings.KeuzeGraphStyle = 7;
    const ReportPage page = MakeSystemSettingsPage(settings, 12, kContext);
    EXPECT_EQ(page.title, "System Settings.");
    EXPECT_EQ(page.pageLine, "Page 1 of 1.");
    EXPECT_EQ(page.details[1], "System Settings Report.");
    EXPECT_EQ(page.columnHeader[1], "Current System Settings,  Date/time:   03/02/2026   14:05:07");
    // The values line up three blanks after the longest label.
    const auto row = [](std::string label, std::string value) {
        return "     " + label + std::string(20 - label.size(), ' ') + value;
    };
    EXPECT_EQ(page.body, (std::vector<std::string>{
                             row("Software release:", "3.03"),
                             row("Connection:", "3"),
                             row("Language:", "Francais."),
                             row("Sample rate:", "15 min."),
                             row("Graph style:", "Dots"),
                             row("Number of probes:", "12"),
                         }));
    for (int taal = 1; taal < 4; ++taal) {
        const PrintContext other{taal, "Cold store", kContext.printed};
        std::set<std::size_t> valueColumns;
        for (const std::string& line : MakeSystemSettingsPage(settings, 12, other).body) {
            const std::string_view text(line);
            const auto labelEnd = text.find(':');
            ASSERT_NE(labelEnd, std::string_view::npos) << line;
            valueColumns.insert(
                Utf8Length(text.substr(0, text.find_first_not_of(' ', labelEnd + 1))));
        }
        EXPECT_EQ(valueColumns.size(), 1U) << "language " << taal;
    }
}

class ReportListsTest : public ::testing::Test {
  protected:
    void Touch(int year, int month, int day) {
        testing::WriteBytes(ResultFilePath(dir.path(), year, month, day), "x");
    }
    testing::TempDir dir;
    SilentProgress progress;
};

TEST_F(ReportListsTest, MonthsDaysAndWeeksWithData) {
    Touch(2025, 3, 9);                                 // a Sunday, the only day of week 10
    Touch(2025, 3, 31);                                // week 14
    Touch(2024, 12, 30);                               // Monday of week 1 of 2025
    testing::WriteBytes(dir / "2025-04-xx.qrd", "x");  // not a day's file
    const ResultFileIndex files(dir.path());
    const LocalDateTime today{2026, 2, 3, 12, 0, 0, 0};
    EXPECT_EQ(PutAllMonthsToScreen(files, 2025, 0, progress), std::vector<int>{3});
    EXPECT_EQ(PutAllDaysToScreen(files, 2025, 3, 0, progress), (std::vector<int>{9, 31}));
    EXPECT_EQ(PutAllWeeksToScreen(files, 2025, today, 0, progress), (std::vector<int>{1, 10, 14}));
    EXPECT_TRUE(PutAllWeeksToScreen(files, 2023, today, 0, progress).empty());
}

// The report panel and the report tool load a period the same way: a week
// in quarter-hours, a month and a day in hours, nothing once the user left.
TEST(PeriodLoading, WeeksInQuarterHoursMonthsAndDaysInHours) {
    testing::TempDir dir;
    // 26 February to 4 March 2026, a sample every quarter-hour, two probes.
    const Generation generation = GenerateResultFiles(dir.path(), {2026, 2, 26, 7, 2, 15, 5});
    ASSERT_EQ(generation.filesWritten, 7) << generation.problem;
    auto data = std::make_unique<PeriodData>();
    SilentProgress progress;
    const auto load = [&](ReportPeriod period, int month, int day, int week) {
        return LoadPeriod(*data, {period, 2026, month, day, week}, dir.path(), 0, progress);
    };
    // The first and last slot of a probe: day position - 1 times the slots of a day, plus the slot.
    const auto slots = [&](int entry) {
        const MonthEntry& e = data->MonthSensor[static_cast<std::size_t>(entry)];
        return std::pair{e.SlotNumber[0], e.SlotNumber[static_cast<std::size_t>(e.LastIndex)]};
    };

    // Week 9 runs from Monday 23 February to Sunday 1 March: Thursday to Sunday have files.
    EXPECT_EQ(load(ReportPeriod::Week, 1, 1, 9), 4);
    ASSERT_EQ(data->MonthMaxIndex, 1);
    EXPECT_EQ(slots(0), std::pair(3 * 96, 6 * 96 + 95));

    EXPECT_EQ(load(ReportPeriod::Month, 2, 1, 1), 3);
    ASSERT_EQ(data->MonthMaxIndex, 1);
    EXPECT_EQ(slots(1), std::pair(25 * 24, 27 * 24 + 23));

    EXPECT_EQ(load(ReportPeriod::Day, 3, 1, 1), 1);
    ASSERT_EQ(data->MonthMaxIndex, 1);
    EXPECT_EQ(slots(0), std::pair(0, 23));

    // A period without files leaves nothing of the one before.
    EXPECT_EQ(load(ReportPeriod::Month, 4, 1, 1), 0);
    EXPECT_EQ(data->MonthMaxIndex, -1);
}

TEST(PeriodLoading, AnAbortDuringTheSearchReadsNoFile) {
    testing::TempDir dir;
    const Generation generation = GenerateResultFiles(dir.path(), {2026, 2, 26, 3, 2, 15, 5});
    ASSERT_EQ(generation.filesWritten, 3) << generation.problem;
    struct Leaving final : ReportProgress {
        void MakeMeldingVisible(bool, std::string_view) override {}
        void DisplayMonthlyMessage(std::string_view, std::string_view) override {}
        bool ReportAbort() const override { return true; }
    } leaving;
    auto data = std::make_unique<PeriodData>();
    EXPECT_EQ(LoadPeriod(*data, {ReportPeriod::Month, 2026, 2, 1, 1}, dir.path(), 0, leaving), 0);
    EXPECT_EQ(data->MonthMaxIndex, -1);
}

TEST(ReportLists, LastListedWeek) {
    EXPECT_EQ(LastListedWeek(2020, {2026, 2, 3}), 53);
    EXPECT_EQ(LastListedWeek(2021, {2026, 2, 3}), 52);
    EXPECT_EQ(LastListedWeek(2026, {2026, 2, 3}), 6);  // this week
    // 29 December 2025 already lies in week 1 of 2026: all of 2025 is offered.
    EXPECT_EQ(LastListedWeek(2025, {2025, 12, 29}), 52);
    // 1 January 2027 lies in week 53 of 2026: 2027 has no week yet.
    EXPECT_EQ(LastListedWeek(2027, {2027, 1, 1}), 0);
}

TEST(ReportLists, KeepSelection) {
    EXPECT_EQ(KeepSelection({3, 5, 9}, 5), 5);
    EXPECT_EQ(KeepSelection({3, 5, 9}, 1), 3);
    EXPECT_EQ(KeepSelection({}, 4), 4);
}

}  // namespace
}  // namespace qrv
