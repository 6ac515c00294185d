// A period read once for its slots, its minutes out of range and its daily
// sheet must give what the slot reader, the day reader and the sheet give
// each on their own, on a stored week and on the damaged and unusual days a
// station leaves behind.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "reports/printouts/daily_sheet.h"
#include "reports/printouts/period_loading.h"
#include "reports/printouts/time_out_of_range.h"
#include "reports/statistics.h"
#include "runtime/calendar.h"
#include "runtime/text_file.h"
#include "storage/month_sensor.h"
#include "storage/period_files.h"
#include "storage/result_file_format.h"
#include "storage/result_file_text.h"
#include "support/recording_status_display.h"
#include "support/temp_dir.h"

namespace qrv {
// Named: the test files of this program are compiled as one.
namespace one_pass_test {

using testing::BlockHeaderText;
using testing::ProbeLineText;
using testing::ResultHeaderText;

constexpr RomCode kFreezer{0x28, 0x2C, 0x1B, 0x0A, 0, 0, 0, 0x5E};
constexpr RomCode kCellar{0x26, 0x11, 0x22, 0x33, 0, 0, 0, 0x40};
constexpr RomCode kDoor{0x12, 0x44, 0x55, 0x66, 0, 0, 0, 0x10};

std::string Key(const RomCode& rom, int type) {
    return std::string(KeyText(MakeProbeKey(rom, type)));
}

std::string Time(int minute) {
    return fmt::format("{:02}:{:02}", minute / 60, minute % 60);
}

std::string Value(double value) {
    return fmt::format("{:6.1f}", value);
}

// Monday to Wednesday of ISO week 10 of 2026 as a station stores them: every
// ten minutes, every five with the station off for two hours, every minute.
std::string StoredDay(const std::string& date, int from, int step, int offFrom, int offTo,
                      int seed) {
    std::string bytes = ResultHeaderText(date);
    for (int minute = from; minute < 1440; minute += step) {
        if (minute >= offFrom && minute < offTo) {
            continue;
        }
        const double freezer = -20.0 + ((minute * 7 + seed) % 130) / 10.0 - 3.0;
        const double cellar = 55.0 + ((minute * 3 + seed) % 400) / 10.0 - 20.0;
        bytes += BlockHeaderText(Time(minute), 3) +
                 ProbeLineText(Key(kFreezer, kTypeTemperature), Value(freezer), "Freezer") +
                 ProbeLineText(Key(kCellar, kTypeHumidity), Value(cellar), "Cellar") +
                 ProbeLineText(Key(kDoor, kTypeSwitch), Value((minute / 50) % 2), "Door");
    }
    return bytes;
}

// Thursday: a 1-minute day whose clock was set back an hour at 03:00, 1,500
// blocks, with an excursion among the last of them.
std::string ClockSetBackDay() {
    std::string bytes = ResultHeaderText("2026-03-05");
    int block = 0;
    for (const auto& [from, to] : {std::pair{0, 180}, std::pair{120, 1440}}) {
        for (int minute = from; minute < to; ++minute, ++block) {
            bytes +=
                BlockHeaderText(Time(minute), 2) +
                ProbeLineText(Key(kFreezer, kTypeTemperature),
                              block == 1490 ? " -10.0" : Value(-20.0 - (block % 7)), "Freezer") +
                ProbeLineText(Key(kCellar, kTypeHumidity), block % 3 ? "  38.0" : "  72.5",
                              "Cellar");
        }
    }
    return bytes;
}

// Friday: what crashes, restarts, failed readings and hand edits leave.
std::string DamagedDay() {
    const std::string freezer = Key(kFreezer, kTypeTemperature);
    const std::string cellar = Key(kCellar, kTypeHumidity);
    std::string lfOnly = BlockHeaderText("09:00", 2) + ProbeLineText(freezer, " -12.0", "Freezer");
    std::erase(lfOnly, '\r');
    std::string bytes =
        ResultHeaderText("2026-03-06") +
        // A block short of its lines, then a minute stored again after a restart.
        BlockHeaderText("08:00", 3) + ProbeLineText(freezer, " -16.0", "Freezer") +
        BlockHeaderText("08:10", 2) + ProbeLineText(freezer, " -14.0", "Freezer") +
        ProbeLineText(cellar, "  80.0", "Cellar") + BlockHeaderText("08:10", 2) +
        ProbeLineText(freezer, "  99.0", "Freezer") + ProbeLineText(cellar, "  20.0", "Cellar") +
        // Garbage inside a block, a line with LF only, a torn line with the
        // next header behind it, a value that is no number.
        "\x01\x02 binary \xFF garbage\r\n" + lfOnly + freezer.substr(0, 9) + "08:20  0002\r\n" +
        ProbeLineText(freezer, "  abc ", "Freezer") + ProbeLineText(cellar, "  41.0", "Cellar") +
        // A failed reading between the readers' thresholds, an off probe, a
        // probe first seen in the middle of an hour, a changed name and type.
        BlockHeaderText("10:05", 3) + ProbeLineText(freezer, "-250.0", "Freezer") +
        ProbeLineText(cellar, "-300.0", "Cellar") + ProbeLineText("0000000000C3", "  30.0", "New") +
        BlockHeaderText("10:35", 2) + ProbeLineText("1000000000C3", "  31.0", "New as humidity") +
        ProbeLineText(freezer, " -13.5", "Freezer renamed") +
        // 101 distinct probes in one block, and a count running past the end.
        BlockHeaderText("23:00", 101);
    for (int i = 0; i < 101; ++i) {
        bytes += ProbeLineText(fmt::format("0{:011X}", 0x100 + i), "   5.0", "P");
    }
    bytes += BlockHeaderText("23:50", 9) + ProbeLineText(freezer, " -30.0", "Freezer");
    return bytes;
}

// Sunday the 1st: the freezer's first reading failed, so every probe takes
// another entry than its place in the block all day; a probe off until ten,
// a minute stored again with a probe only the repeat has, blocks with LF
// line ends only, and a last line cut short.
std::string ShiftedDay() {
    const std::string freezer = Key(kFreezer, kTypeTemperature);
    const std::string cellar = Key(kCellar, kTypeHumidity);
    std::string bytes = ResultHeaderText("2026-03-01");
    for (int minute = 0; minute < 1440; minute += 5) {
        std::string block =
            BlockHeaderText(Time(minute), 4) +
            ProbeLineText(freezer, minute == 0 ? "-994.0" : Value(-18.0 - (minute % 70) / 10.0),
                          "Freezer") +
            ProbeLineText("0000000000F1",
                          minute < 600 ? "-300.0" : Value(-1.0 + minute % 30 / 10.0),
                          "Off till ten") +
            ProbeLineText(cellar, Value(45.0 + (minute % 300) / 10.0), "Cellar") +
            ProbeLineText(Key(kDoor, kTypeSwitch), Value((minute / 45) % 2), "Door");
        if (minute % 120 == 60) {
            std::erase(block, '\r');
        }
        bytes += block;
        if (minute == 700) {
            bytes += BlockHeaderText(Time(minute), 2) +
                     ProbeLineText(freezer, " -40.0", "Freezer again") +
                     ProbeLineText("0000000000E9", "  12.0", "Restarted");
        }
    }
    // The freezer's last value, out of range, stands for one minute; the
    // cellar has as many values as the freezer, at other minutes.
    return bytes + BlockHeaderText("23:59", 2) + ProbeLineText(freezer, " -10.5", "Freezer") +
           cellar + "    5";
}

// The period's slots as the panel's list and the month/week pages use them.
using Slots = std::vector<std::tuple<int, double, double>>;
struct EntrySummary {
    std::string key, name, units;
    int type, lastIndex;
    double min, max;
    Slots slots;
    double mean, median, p90;
    bool operator==(const EntrySummary&) const = default;
};

std::vector<EntrySummary> Summaries(const PeriodData& period) {
    std::vector<EntrySummary> out;
    for (int e = 0; e <= period.MonthMaxIndex; ++e) {
        const MonthEntry& entry = period.MonthSensor[static_cast<std::size_t>(e)];
        Slots slots;
        for (int s = 0; s <= entry.LastIndex; ++s) {
            const auto k = static_cast<std::size_t>(s);
            slots.emplace_back(entry.SlotNumber[k], entry.SlotMax[k], entry.SlotMin[k]);
        }
        const Statisticals stats =
            ComputeStatisticals(entry.SlotMax, entry.SlotMin, entry.LastIndex);
        out.push_back({std::string(KeyText(entry.ProbeKey)), entry.ProbeName.utf8,
                       std::string(entry.ProbeUnits), entry.ProbeType, entry.LastIndex,
                       entry.MinValue, entry.MaxValue, slots, stats.mean, stats.median, stats.p90});
    }
    return out;
}

using SheetRow = std::tuple<int, bool, double, int, double, int, int, int>;
std::vector<std::pair<std::string, std::vector<SheetRow>>> Rows(
    const std::vector<ProbeSheet>& sheets) {
    std::vector<std::pair<std::string, std::vector<SheetRow>>> out;
    for (const ProbeSheet& sheet : sheets) {
        std::vector<SheetRow> rows;
        for (const SheetDay& d : sheet.days) {
            rows.emplace_back(d.day, d.hasValues, d.min, d.minMinute, d.max, d.maxMinute,
                              d.outOfRange ? d.outOfRange->minutesAbove : -1,
                              d.outOfRange ? d.outOfRange->minutesBelow : -1);
        }
        out.emplace_back(sheet.key + " " + sheet.name + " " + sheet.units, std::move(rows));
    }
    return out;
}

class OnePassPeriod : public ::testing::Test {
  protected:
    OnePassPeriod() {
        const auto add = [this](const RomCode& rom, int low, int high) {
            const int i = table.Append1820ToDataStruct(rom, 1);
            SensorRecord& record = table.SensorArray[static_cast<std::size_t>(i)];
            record.AlarmLow = low;
            record.AlarmHigh = high;
            table.DefineSensorTypeAndUnits(i);
        };
        add(kFreezer, -25, -15);
        add(kCellar, 40, 70);
        add(kDoor, 0, 1);
        context.limitsOf = [this](std::string_view key) { return LimitsInTable(table, key); };

        const std::filesystem::path data = temp / "QRVDATA";
        std::filesystem::create_directories(data);
        const auto write = [&data](int day, const std::string& bytes) {
            testing::WriteBytes(ResultFilePath(data, 2026, 3, day), bytes);
        };
        write(1, ShiftedDay());
        write(2, StoredDay("2026-03-02", 0, 10, -1, -1, 0));
        write(3, StoredDay("2026-03-03", 360, 5, 480, 600, 17));
        write(4, StoredDay("2026-03-04", 0, 1, 700, 705, 5));
        write(5, ClockSetBackDay());
        write(6, DamagedDay());
        // A day of the next week, for the month only.
        write(12, StoredDay("2026-03-12", 0, 15, -1, -1, 3));
    }

    // What the readers give each on their own: the slot reader, the day
    // reader summed per file, the sheet over the day reader.
    struct Reading {
        std::vector<EntrySummary> period;
        PeriodTimesOutOfRange minutes;
        std::vector<ProbeSheet> sheets;
    };

    Reading Separately(const PeriodSelection& selection) {
        Reading reading;
        auto period = std::make_unique<PeriodData>();
        EXPECT_GT(LoadPeriod(*period, selection, temp / "QRVDATA", 0, progress), 0);
        reading.period = Summaries(*period);
        // The minutes as the reports summed them: every file read again,
        // every probe's day counted against its limits.
        auto day = std::make_unique<HistoryData>();
        for (int position = 1; position < kPrintFileCount; ++position) {
            const std::string& file = period->PrintFile[static_cast<std::size_t>(position)];
            if (file == kNoPrintFile) {
                continue;
            }
            ClearHistoSensorStructure(*day);
            day->HistoryFileName = file;
            ReadHistoryFromDisk(*day, status, progress);
            for (int e = 0; e <= day->HistoryMaxIndex; ++e) {
                const HistoEntry& entry = day->HistoSensor[static_cast<std::size_t>(e)];
                if (const auto minutes = EntryTimeOutOfRange(entry, context)) {
                    records::TimeOutOfRange& sum =
                        reading.minutes[std::string(KeyText(entry.ProbeKey))];
                    sum.minutesAbove += minutes->minutesAbove;
                    sum.minutesBelow += minutes->minutesBelow;
                }
            }
        }
        const SheetSources sources{temp / "QRVDATA", temp / "QRVAlarm.txt", table,
                                   [this](HistoryData& day, const std::string& file) {
                                       ClearHistoSensorStructure(day);
                                       day.HistoryFileName = file;
                                       ReadHistoryFromDisk(day, status, progress);
                                   }};
        reading.sheets = LoadDailySheets(sources, 2026, 3, "");
        return reading;
    }

    Reading Once(const PeriodSelection& selection) {
        Reading reading;
        auto period = std::make_unique<PeriodData>();
        PeriodOutOfRangeTally tally(context.limitsOf);
        DailySheetBuilder sheets(table, 2026, 3, "");
        EXPECT_GT(LoadPeriod(*period, selection, temp / "QRVDATA", 0, progress,
                             [&](int position, const HistoryData& day) {
                                 tally.AddDay(day);
                                 sheets.AddDay(position, day);
                             }),
                  0);
        reading.period = Summaries(*period);
        reading.minutes = tally.Sums();
        reading.sheets = sheets.Finish(temp / "QRVAlarm.txt");
        return reading;
    }

    testing::TempDir temp;
    SensorTable table;
    PrintContext context;
    RecordingStatusDisplay display;
    int taal = 0;
    std::atomic<int> netWorkInstalled{1};
    StatusMessages status{display, taal, netWorkInstalled};
    SilentProgress progress;
};

TEST_F(OnePassPeriod, AMonthGivesWhatEachReaderGivesOnItsOwn) {
    PeriodSelection month;
    month.period = ReportPeriod::Month;
    month.year = 2026;
    month.month = 3;
    const Reading separately = Separately(month);
    const Reading once = Once(month);

    // The damaged day's 101 probes fill the table up: 100 entries.
    ASSERT_EQ(separately.period.size(), 100U);
    // The shifted Sunday comes first: its probes in the order of their first
    // kept values, not of their places.
    EXPECT_EQ(separately.period[0].name, "Cellar");
    EXPECT_EQ(separately.period[1].name, "Door");
    EXPECT_EQ(separately.period[2].key, Key(kFreezer, kTypeTemperature));
    EXPECT_EQ(separately.period[3].name, "Off till ten");
    EXPECT_EQ(separately.period[4].name, "Restarted");
    EXPECT_EQ(once.period, separately.period);
    ASSERT_EQ(separately.minutes.size(), 2U) << "the freezer and the cellar have limits";
    for (const auto& [key, minutes] : separately.minutes) {
        ASSERT_TRUE(once.minutes.contains(key)) << key;
        EXPECT_EQ(once.minutes.at(key).minutesAbove, minutes.minutesAbove) << key;
        EXPECT_EQ(once.minutes.at(key).minutesBelow, minutes.minutesBelow) << key;
    }
    EXPECT_EQ(once.minutes.size(), separately.minutes.size());
    EXPECT_GT(separately.minutes.at(Key(kFreezer, kTypeTemperature)).Total(), 0);
    EXPECT_EQ(Rows(once.sheets), Rows(separately.sheets));
    EXPECT_EQ(once.sheets.size(), separately.sheets.size());
}

TEST_F(OnePassPeriod, AWeekInQuarterHoursGivesWhatTheReadersGive) {
    PeriodSelection week;
    week.period = ReportPeriod::Week;
    week.year = 2026;
    week.week = 10;
    const Reading separately = Separately(week);
    const Reading once = Once(week);
    ASSERT_FALSE(separately.period.empty());
    EXPECT_EQ(once.period, separately.period);
    // Quarter hours: the clock-set-back Thursday holds more slots than hours.
    EXPECT_GT(separately.period[0].lastIndex, 5 * 24);
    EXPECT_EQ(once.minutes.size(), separately.minutes.size());
    for (const auto& [key, minutes] : separately.minutes) {
        ASSERT_TRUE(once.minutes.contains(key)) << key;
        EXPECT_EQ(once.minutes.at(key).Total(), minutes.Total()) << key;
    }
}

TEST_F(OnePassPeriod, MinutesCountedAgainstOtherLimitsAreNotPassedOn) {
    PeriodSelection month;
    month.period = ReportPeriod::Month;
    month.year = 2026;
    month.month = 3;
    auto period = std::make_unique<PeriodData>();
    PeriodOutOfRangeTally tally(context.limitsOf);
    LoadPeriod(*period, month, temp / "QRVDATA", 0, progress,
               [&](int, const HistoryData& day) { tally.AddDay(day); });
    const auto held = tally.SumsIfLimitsHold(context);
    ASSERT_TRUE(held);
    EXPECT_EQ(held->size(), tally.Sums().size());

    // The freezer's high limit moved after the read: its minutes would be
    // those of the old limit.
    table.SensorArray[0].AlarmHigh = -10;
    EXPECT_FALSE(tally.SumsIfLimitsHold(context));
    const PeriodTimesOutOfRange again = PeriodTimeOutOfRange(*period, context);
    EXPECT_LT(again.at(Key(kFreezer, kTypeTemperature)).minutesAbove,
              tally.Sums().at(Key(kFreezer, kTypeTemperature)).minutesAbove);
}

}  // namespace one_pass_test
}  // namespace qrv
