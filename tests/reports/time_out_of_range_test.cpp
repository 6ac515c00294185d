// The minutes out of range in the period reports: a week of stored values
// whose excursions the test knows, checked in the statistics the tool prints,
// in its CSV and on the printed pages.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "reports/printouts/day_pages.h"
#include "reports/printouts/period_pages.h"
#include "reports/printouts/time_out_of_range.h"
#include "runtime/clock.h"
#include "runtime/text_file.h"
#include "sensors/sensor_file.h"
#include "storage/result_file_format.h"
#include "support/csv_fields.h"
#include "support/day_builder.h"
#include "support/run_report_tool.h"
#include "support/temp_dir.h"

namespace qrv {
namespace {

using testing::RunTool;

constexpr RomCode kFreezer{0x28, 0x2C, 0x1B, 0x0A, 0, 0, 0, 0x5E};
constexpr RomCode kCellar{0x26, 0x11, 0x22, 0x33, 0, 0, 0, 0x40};
constexpr RomCode kDoor{0x12, 0x44, 0x55, 0x66, 0, 0, 0, 0x10};

// Monday 2 March 2026, every ten minutes: the freezer (-25..-15 °C) stands
// above for six values (60 min), once exactly at its limit, below for two
// (20 min); the cellar (40..70 %RH) below for three (30 min) and above with
// the day's last value, which counts up to midnight (10 min).
double FreezerMonday(int minute) {
    if (minute >= 180 && minute <= 230) {
        return -14.0;
    }
    if (minute == 240) {
        return -15.0;
    }
    return minute == 600 || minute == 610 ? -26.0 : -20.0;
}
double CellarMonday(int minute) {
    if (minute >= 900 && minute <= 920) {
        return 39.0;
    }
    return minute == 1430 ? 71.0 : 55.0;
}
// Wednesday 4 March, every five minutes from 06:00, the station off from
// 08:00 to 10:00: the freezer above at 07:55 (counts 5 min, not the gap),
// at 12:00..12:15 (20 min) and with the last value (5 min).
bool FreezerAboveWednesday(int minute) {
    return minute == 475 || (minute >= 720 && minute <= 735) || minute == 1435;
}

class PeriodTimeOutOfRange : public ::testing::Test {
  protected:
    PeriodTimeOutOfRange() {
        SensorTable table;
        const auto add = [&table](const RomCode& rom, const char* name, int low, int high) {
            const int i = table.Append1820ToDataStruct(rom, 1);
            SensorRecord& record = table.SensorArray[static_cast<std::size_t>(i)];
            record.Name = name;
            record.AlarmLow = low;
            record.AlarmHigh = high;
            table.DefineSensorTypeAndUnits(i);
        };
        add(kFreezer, "Freezer", -25, -15);
        add(kCellar, "Cellar", 40, 70);
        add(kDoor, "Door", 0, 1);
        VirtualClock clock;
        testing::WriteBytes(temp / "QRVNL.SNS", FormatSensorFile(table, clock));
        std::filesystem::create_directories(temp / "QRVDATA");

        std::string monday = FormatResultHeader("2026-03-02");
        for (int minute = 0; minute < 1440; minute += 10) {
            AppendSampleBlock(monday, minute / 60, minute % 60,
                              Block(FreezerMonday(minute), CellarMonday(minute)));
        }
        testing::WriteBytes(temp / "QRVDATA" / "2026-03-02.qrd", monday);
        std::string wednesday = FormatResultHeader("2026-03-04");
        for (int minute = 360; minute < 1440; minute += 5) {
            if (minute >= 480 && minute < 600) {
                continue;
            }
            AppendSampleBlock(wednesday, minute / 60, minute % 60,
                              Block(FreezerAboveWednesday(minute) ? -10.0 : -20.0, 55.0));
        }
        testing::WriteBytes(temp / "QRVDATA" / "2026-03-04.qrd", wednesday);
    }

    static std::vector<ProbeLineData> Block(double freezer, double cellar) {
        return {{MakeProbeKey(kFreezer, kTypeTemperature), freezer, "Freezer"},
                {MakeProbeKey(kCellar, kTypeHumidity), cellar, "Cellar"},
                {MakeProbeKey(kDoor, kTypeSwitch), 1.0, "Door"}};
    }

    // The lines the tool prints after a probe's "Maximum value" line, up to
    // the next probe.
    static std::vector<std::string> LinesAfterMaximum(const std::string& out,
                                                      const std::string& probe) {
        std::vector<std::string> lines;
        std::size_t at = out.find("probe: " + probe);
        at = out.find("Maximum value", at);
        at = out.find('\n', at) + 1;
        while (at < out.size() && out.compare(at, 6, "probe:") != 0) {
            const std::size_t end = out.find('\n', at);
            lines.push_back(out.substr(at, end - at));
            at = end + 1;
        }
        return lines;
    }

    testing::TempDir temp;
};

TEST_F(PeriodTimeOutOfRange, StatisticsEndWithTheMinutesOfEachProbeWithLimits) {
    const auto week = RunTool(temp.path(), {"week", "2026", "10"});
    ASSERT_EQ(week.status, 0);
    EXPECT_EQ(LinesAfterMaximum(week.out, "0000000A1B2C"),
              (std::vector<std::string>{"Minutes above high :           90 min",
                                        "Minutes below low  :           20 min"}));
    // A humidity probe's limits are found although the readers give its key
    // the temperature's type character.
    EXPECT_EQ(LinesAfterMaximum(week.out, "000000332211"),
              (std::vector<std::string>{"Minutes above high :           10 min",
                                        "Minutes below low  :           30 min"}));
    EXPECT_TRUE(LinesAfterMaximum(week.out, "000000665544").empty()) << "a switch has no limits";

    EXPECT_EQ(LinesAfterMaximum(RunTool(temp.path(), {"month", "2026", "3"}).out, "0000000A1B2C"),
              LinesAfterMaximum(week.out, "0000000A1B2C"))
        << "the month holds the same two days";
    const auto monday = RunTool(temp.path(), {"day", "2026-03-02"});
    EXPECT_EQ(LinesAfterMaximum(monday.out, "0000000A1B2C"),
              (std::vector<std::string>{"Minutes above high :           60 min",
                                        "Minutes below low  :           20 min"}));
}

TEST_F(PeriodTimeOutOfRange, CsvRowsSumToEachDaysMinutes) {
    const auto csv = RunTool(temp.path(), {"week", "2026", "10", "--csv"});
    ASSERT_EQ(csv.status, 0);
    LineReader reader(csv.out);
    ASSERT_EQ(reader.ReadLine(kNoSizeLimit).value_or(""),
              "date_time,key,name,value,minutes_above_high,minutes_below_low");
    std::map<std::string, std::pair<int, int>> sums;  // date and key
    int doorRows = 0;
    while (const auto line = reader.ReadLine(kNoSizeLimit)) {
        const std::vector<std::string> fields = testing::CsvFields(*line);
        ASSERT_EQ(fields.size(), 6u) << *line;
        if (fields[2] == "Door") {
            EXPECT_EQ(fields[4] + fields[5], "") << "no limits, no figures: " << *line;
            ++doorRows;
            continue;
        }
        if (fields[0] == "2026-03-02T04:00" && fields[2] == "Freezer") {
            EXPECT_EQ(fields[4] + "," + fields[5], "0,0") << "at the limit is within range";
        }
        auto& sum = sums[fields[0].substr(0, 10) + " " + fields[2]];
        sum.first += std::stoi(fields[4]);
        sum.second += std::stoi(fields[5]);
    }
    EXPECT_EQ(doorRows, 144 + 192);
    EXPECT_EQ(sums["2026-03-02 Freezer"], std::pair(60, 20));
    EXPECT_EQ(sums["2026-03-02 Cellar"], std::pair(10, 30));
    EXPECT_EQ(sums["2026-03-04 Freezer"], std::pair(30, 0));
    EXPECT_EQ(sums["2026-03-04 Cellar"], std::pair(0, 0));
}

TEST(PeriodPagesOutOfRange, FiguresFollowTheOriginalLines) {
    auto day = std::make_unique<HistoryData>();
    const int e = testing::AddDayProbe(*day, "Fridge", '0');
    for (int minute = 0; minute < 1440; minute += 30) {
        testing::AddDayValue(*day, e, minute, minute < 90 ? 9.0 : 5.0);
    }
    PrintContext context{0, "Net", {}};
    const std::vector<std::string> plain = MakeDayPage(*day, e, context).body;
    context.limitsOf = [](std::string_view) { return ProbeLimits{2, 8, 3, 7}; };
    std::vector<std::string> body = MakeDayPage(*day, e, context).body;
    ASSERT_EQ(body.size(), plain.size() + 3);
    EXPECT_TRUE(std::equal(plain.begin(), plain.end(), body.begin()))
        << "the value lines keep their places";
    EXPECT_EQ(body[plain.size()], "");
    EXPECT_EQ(body[plain.size() + 1], "Minutes above high :           90 min");
    EXPECT_EQ(body[plain.size() + 2], "Minutes below low  :            0 min");

    MonthEntry entry;
    entry.LastIndex = 0;
    entry.ProbeType = kTypeTemperature;
    entry.SlotMax[0] = 9.0;
    entry.SlotMin[0] = 5.0;
    const PeriodSelection march{ReportPeriod::Month, 2026, 3, 1, 1};
    const ReportPage without = MakePeriodPage(entry, march, context);
    const ReportPage with = MakePeriodPage(entry, march, context, records::TimeOutOfRange{125, 7});
    ASSERT_EQ(with.statistics.size(), without.statistics.size() + 2);
    EXPECT_EQ(with.statistics.back(), "Minutes below low  :            7 min");
    // The German labels keep the colon in the block's column.
    const auto german = OutOfRangeLines({125, 7}, 1);
    EXPECT_EQ(german[0], "Minuten zu hoch    :          125 min");
    EXPECT_EQ(german[0].find(':'), without.statistics[1].find(':'));
}

}  // namespace
}  // namespace qrv
