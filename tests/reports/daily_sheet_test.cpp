// The daily minimum and maximum sheet's printed page: the columns stay in
// place in every language, and long notes continue without losing or
// cutting a character.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "acquisition/alarm_texts.h"
#include "records/audit_line.h"
#include "records/audit_trail.h"
#include "reports/printouts/daily_sheet.h"
#include "runtime/encoding.h"
#include "sensors/rom_text.h"
#include "sensors/sensor_table.h"
#include "support/temp_dir.h"
#include "text/texts.h"

namespace qrv {
namespace {

constexpr std::size_t kAlarmColumn = 58;

std::vector<ProbeSheet> OneSheet(std::vector<std::string> alarms,
                                 std::vector<std::string> acknowledgements) {
    ProbeSheet sheet;
    sheet.key = "0123456789ABCDEF";
    sheet.name = "Kühlraum";
    sheet.units = "°C";
    sheet.limits = std::pair{2, 8};
    SheetDay stored;
    stored.day = 1;
    stored.hasValues = true;
    stored.min = -1.5;
    stored.minMinute = 75;
    stored.max = 9.3;
    stored.maxMinute = 1439;
    stored.storedMinutes = 1440;
    stored.outOfRange = records::TimeOutOfRange{30, 5};
    stored.alarms = std::move(alarms);
    stored.acknowledgements = std::move(acknowledgements);
    SheetDay missing;
    missing.day = 2;
    sheet.days = {stored, missing};
    return {sheet};
}

TEST(DailySheetPage, KeepsItsColumnsInEveryLanguage) {
    const auto sheets = OneSheet({"12:10 High Alarm: 9.3°C"}, {"12:40 anna"});
    for (int taal = 0; taal < 4; ++taal) {
        SCOPED_TRACE(taal);
        PrintContext context;
        context.taal = taal;
        const ReportPage page = DailySheetPages(sheets, 2026, 3, context).at(0);
        ASSERT_EQ(page.columnHeader.size(), 2U);
        ASSERT_EQ(page.body.size(), 3U) << "the day, its acknowledgement, the day without values";
        for (const std::string& line : page.columnHeader) {
            EXPECT_GE(Utf8Length(line), kAlarmColumn);
        }
        const std::string figures = " 1    -1.5 01:15     9.3 23:59     30     5";
        EXPECT_EQ(Utf8Left(page.body[0], kAlarmColumn),
                  figures + std::string(kAlarmColumn - figures.size(), ' '));
        EXPECT_EQ(page.body[1], std::string(kAlarmColumn, ' ') +
                                    text::Plain(text::Key::TXT_SHEET_ACK, taal) + " 12:40 anna");
        EXPECT_EQ(Utf8Length(Utf8Left(page.body[2], kAlarmColumn)), kAlarmColumn);
        EXPECT_EQ(page.body[0].substr(Utf8Left(page.body[0], kAlarmColumn).size(), 5), "12:10");
        EXPECT_TRUE(page.body[0].ends_with(" ______")) << "room for the initials";
        EXPECT_NE(page.details[1].find("Kühlraum"), std::string::npos);
    }
    PrintContext german;
    german.taal = 1;
    german.trailHead = "QRVAudit.txt: 3 lines, last line SHA-256 ab12";
    const ReportPage page = DailySheetPages(sheets, 2026, 3, german).at(0);
    ASSERT_GE(page.details.size(), 2u);
    EXPECT_EQ(page.details.end()[-2], "Prüfpfad beim Drucken:");
    EXPECT_EQ(page.details.back(), german.trailHead) << "the trail's head anchors it on paper";
    EXPECT_EQ(page.pageLine, "Seite 1 von 1");
    EXPECT_NE(page.columnHeader[1].find("Kürzel"), std::string::npos);
    EXPECT_NE(page.body[2].find("keine Werte gespeichert"), std::string::npos);
}

TEST(DailySheetPage, DaysStillToComeAreNotPrintedAsMissing) {
    const auto sheets = OneSheet({}, {});
    const std::string noValues = text::Plain(text::Key::TXT_SHEET_NO_VALUES, 0);
    const auto secondDay = [&](const std::string& printedOn) {
        PrintContext context;
        context.printed.FileDatumString = printedOn;
        const ReportPage page = DailySheetPages(sheets, 2026, 3, context).at(0);
        EXPECT_NE(page.body[0].find("-1.5"), std::string::npos) << "a stored day stays";
        return page.body.back();
    };
    EXPECT_EQ(secondDay("2026-03-01"), " 2") << "printed on the 1st: the 2nd is still to come";
    EXPECT_EQ(secondDay("2026-01-20"), " 2") << "the whole month is still to come";
    EXPECT_NE(secondDay("2026-03-02").find(noValues), std::string::npos)
        << "the day of printing has begun";
    EXPECT_NE(secondDay("2026-04-01").find(noValues), std::string::npos);
    EXPECT_NE(secondDay("2027-01-01").find(noValues), std::string::npos);
}

TEST(DailySheetPage, ContinuesLongNotesWholeCharacters) {
    std::string note = "12:40 ";
    for (int i = 0; i < 20; ++i) {
        note += "ä°";
    }
    note += " end";
    const auto sheets = OneSheet({"12:10 High Alarm: 9.3°C"}, {note});
    const ReportPage page = DailySheetPages(sheets, 2026, 3, PrintContext{}).at(0);
    ASSERT_EQ(page.body.size(), 4U) << "the acknowledgement continues on a second row";
    std::string continued;
    for (std::size_t i = 1; i < 3; ++i) {
        const std::string& row = page.body[i];
        ASSERT_EQ(row.substr(0, kAlarmColumn), std::string(kAlarmColumn, ' '));
        EXPECT_LE(Utf8Length(row.substr(kAlarmColumn)), 46U);
        EXPECT_EQ(Utf8ToCp1252(row).find('?'), std::string::npos) << "a character cut in two";
        continued += row.substr(kAlarmColumn);
    }
    EXPECT_EQ(continued, "ack " + note);
}

// A month of days with values, `notes` alarm lines on each of the days given.
ProbeSheet MonthWithNotes(std::vector<std::pair<int, int>> notesOnDay) {
    ProbeSheet sheet = OneSheet({}, {}).front();
    sheet.days.clear();
    for (int d = 1; d <= 31; ++d) {
        SheetDay day;
        day.day = d;
        day.hasValues = true;
        day.storedMinutes = 1440;
        for (const auto& [on, notes] : notesOnDay) {
            for (int i = 0; on == d && i < notes; ++i) {
                day.alarms.push_back(fmt::format("{:02}:00 High Alarm: 9.{}°C", i % 24, i));
            }
        }
        sheet.days.push_back(std::move(day));
    }
    return sheet;
}

// The day each body row belongs to (0 for continuation rows).
std::vector<int> RowDays(const ReportPage& page) {
    std::vector<int> days;
    for (const std::string& row : page.body) {
        days.push_back(row.starts_with("  ") ? 0 : std::stoi(row.substr(0, 2)));
    }
    return days;
}

TEST(DailySheetPages, ContinueOnPagesOfOneSizeKeepingEveryDayWhole) {
    const auto pagesOf = [](std::vector<ProbeSheet> sheets) {
        return DailySheetPages(sheets, 2026, 3, PrintContext{});
    };
    EXPECT_EQ(pagesOf({MonthWithNotes({})}).size(), 1U) << "a quiet month fits one page";

    ProbeSheet busy = MonthWithNotes({{5, 10}, {20, 12}});
    busy.name = "Kühlraum";
    ProbeSheet other = MonthWithNotes({{2, kSheetRowsPerPage + 5}});
    other.name = "Lager";
    const std::vector<ReportPage> pages = pagesOf({busy, other});
    ASSERT_GE(pages.size(), 4U);
    std::vector<std::string> seen;  // probe name with each day, in print order
    for (std::size_t p = 0; p < pages.size(); ++p) {
        SCOPED_TRACE(p);
        const ReportPage& page = pages[p];
        EXPECT_EQ(page.pageLine, fmt::format("Page {} of {}", p + 1, pages.size()));
        EXPECT_EQ(page.bodyRoom, kSheetRowsPerPage) << "every page sized alike";
        EXPECT_LE(page.body.size(), kSheetRowsPerPage);
        EXPECT_EQ(page.title, pages[0].title);
        EXPECT_EQ(page.columnHeader, pages[0].columnHeader);
        const std::string name =
            page.details[1].find("Kühlraum") != std::string::npos
                ? "Kühlraum"
                : (page.details[1].find("Lager") != std::string::npos ? "Lager" : "");
        ASSERT_FALSE(name.empty()) << "the probe named on every page";
        const std::vector<int> days = RowDays(page);
        for (std::size_t r = 0; r < days.size(); ++r) {
            if (days[r] != 0) {
                seen.push_back(name + " " + std::to_string(days[r]));
            } else if (r == 0) {
                EXPECT_EQ(name, "Lager") << "only a day longer than a page continues";
            }
        }
        // A day that does not fit the rest of a page starts the next one.
        if (p + 1 < pages.size() && pages[p + 1].details[1] == page.details[1] &&
            !pages[p + 1].body.front().starts_with("  ")) {
            const int next = RowDays(pages[p + 1]).front();
            const std::size_t nextRows = next == 5 ? 10 : (next == 20 ? 12 : 1);
            EXPECT_GT(page.body.size() + nextRows, kSheetRowsPerPage) << "room was left";
        }
    }
    std::vector<std::string> expected;
    for (const char* name : {"Kühlraum", "Lager"}) {
        for (int d = 1; d <= 31; ++d) {
            expected.push_back(std::string(name) + " " + std::to_string(d));
        }
    }
    EXPECT_EQ(seen, expected) << "every day of both probes, once and in order";
}

// Day files whose blocks the test gives: the reader fills the day from them.
class SheetCoverage : public ::testing::Test {
  protected:
    int StoredMinutesOf(const std::vector<int>& minutes) {
        testing::WriteBytes(directory / "2026-03-04.qrd", "");
        const SensorTable table;
        const SheetSources sources{directory.path(), directory / "QRVAlarm.txt", table,
                                   [&](HistoryData& day, const std::string&) {
                                       ClearHistoSensorStructure(day);
                                       day.HistoryMaxIndex = 0;
                                       HistoEntry& entry = day.HistoSensor[0];
                                       entry.ProbeKey = MakeProbeKey(
                                           RomCode{0x28, 1, 2, 3, 0, 0, 0, 0x10}, kTypeTemperature);
                                       entry.ProbeName.utf8 = "Fridge";
                                       for (const int minute : minutes) {
                                           entry.AddValue(minute, 4.0);
                                       }
                                   }};
        const std::vector<ProbeSheet> sheets = LoadDailySheets(sources, 2026, 3, "");
        EXPECT_EQ(sheets.size(), 1U);
        return sheets.empty() ? -1 : sheets[0].days[3].storedMinutes;
    }
    static std::vector<int> Every(int step, int from, int to) {
        std::vector<int> minutes;
        for (int m = from; m < to; m += step) {
            minutes.push_back(m);
        }
        return minutes;
    }

    testing::TempDir directory;
};

TEST_F(SheetCoverage, CountsTheMinutesTheStoredBlocksStandFor) {
    EXPECT_EQ(StoredMinutesOf(Every(5, 0, 1440)), 1440) << "a whole day";
    EXPECT_EQ(StoredMinutesOf(Every(1, 0, 1440)), 1440);
    std::vector<int> gap = Every(10, 0, 480);
    for (const int m : Every(10, 720, 1440)) {
        gap.push_back(m);
    }
    EXPECT_EQ(StoredMinutesOf(gap), 1200) << "four hours without blocks";
    EXPECT_EQ(StoredMinutesOf(Every(5, 600, 1440)), 840) << "a station started at 10:00";
    EXPECT_EQ(StoredMinutesOf(Every(5, 2, 1440)), 1440)
        << "blocks a little after the sampling minutes: the day before's last one reaches in";
    EXPECT_EQ(StoredMinutesOf(Every(5, 5, 1440)), 1435) << "the block of midnight missing";

    std::vector<int> restarts = Every(5, 0, 1440);
    restarts.insert(restarts.begin() + 50, 252);  // a block between 04:10 and 04:15
    EXPECT_EQ(StoredMinutesOf(restarts), 1440) << "a block off the sampling minutes adds nothing";

    std::vector<int> faster = Every(1, 0, 720);
    for (const int m : Every(5, 720, 1440)) {
        faster.push_back(m);
    }
    EXPECT_EQ(StoredMinutesOf(faster), 1440) << "every minute until noon, every five after";

    std::vector<int> setBack = Every(1, 0, 1440);
    for (const int m : Every(1, 120, 180)) {
        setBack.push_back(m);  // the clock set back an hour at 03:00
    }
    EXPECT_EQ(StoredMinutesOf(setBack), 1440) << "an hour stored twice counts once";
}

// A probe renamed in mid-month keeps the alarm lines of its old name, and a
// probe that took the old name later does not get them.
TEST(DailySheetAlarms, FollowTheProbeThroughARename) {
    testing::TempDir directory;
    const KeyChars dairy = MakeProbeKey(RomCode{0x28, 1, 2, 3, 0, 0, 0, 0x10}, kTypeTemperature);
    const KeyChars fridge = MakeProbeKey(RomCode{0x28, 4, 5, 6, 0, 0, 0, 0x20}, kTypeTemperature);
    // The first probe is "Fridge" until the 10th, renamed "Dairy" that day;
    // the second is installed on the 12th under the free name "Fridge".
    const std::map<int, std::vector<std::pair<KeyChars, std::string>>> names{
        {3, {{dairy, "Fridge"}}},
        {10, {{dairy, "Dairy"}}},
        {12, {{dairy, "Dairy"}, {fridge, "Fridge"}}},
        {15, {{dairy, "Dairy"}, {fridge, "Fridge"}}}};
    for (const auto& [day, probes] : names) {
        testing::WriteBytes(directory / fmt::format("2026-03-{:02}.qrd", day), "");
    }
    const std::string degrees = Utf8ToCp1252("°C");
    testing::WriteBytes(directory / "QRVAlarm.txt",
                        "2026-03-03 08:00: High Alarm:  Fridge     9.1" + degrees + "\r\n" +
                            "2026-03-10 07:00: High Alarm:  Fridge     9.2" + degrees + "\r\n" +
                            "2026-03-10 16:00: Low Alarm:  Dairy     1.0" + degrees + "\r\n" +
                            "2026-03-15 09:00: High Alarm:  Dairy     9.5" + degrees + "\r\n" +
                            "2026-03-15 10:00: High Alarm:  Fridge    12.0" + degrees + "\r\n");
    const SensorTable table;
    const SheetSources sources{
        directory.path(), directory / "QRVAlarm.txt", table,
        [&](HistoryData& history, const std::string& file) {
            ClearHistoSensorStructure(history);
            const int day = std::stoi(file.substr(file.size() - 6, 2));
            for (const auto& [key, name] : names.at(day)) {
                HistoEntry& entry =
                    history.HistoSensor[static_cast<std::size_t>(++history.HistoryMaxIndex)];
                entry.ProbeKey = key;
                entry.ProbeName.utf8 = name;
                entry.AddValue(600, 4.0);
            }
        }};
    const std::vector<ProbeSheet> sheets = LoadDailySheets(sources, 2026, 3, "");
    ASSERT_EQ(sheets.size(), 2U);
    const ProbeSheet& renamed = sheets[0];
    const ProbeSheet& newcomer = sheets[1];
    EXPECT_EQ(renamed.name, "Dairy");
    EXPECT_EQ(renamed.days[2].alarms, std::vector<std::string>{"08:00 High Alarm: 9.1°C"})
        << "a line of its old name, before the rename";
    EXPECT_EQ(renamed.days[9].alarms,
              (std::vector<std::string>{"07:00 High Alarm: 9.2°C", "16:00 Low Alarm: 1.0°C"}))
        << "the day of the rename: both names";
    EXPECT_EQ(renamed.days[14].alarms, std::vector<std::string>{"09:00 High Alarm: 9.5°C"})
        << "the newcomer's line under the old name is not the renamed probe's";
    EXPECT_EQ(newcomer.days[14].alarms, std::vector<std::string>{"10:00 High Alarm: 12.0°C"});
    for (const int day : {3, 10}) {
        EXPECT_TRUE(newcomer.days[static_cast<std::size_t>(day - 1)].alarms.empty())
            << "day " << day << ": the name was another probe's then";
    }
}

// Every line the station writes about a probe, in the form it writes it,
// reaches that probe's sheet, and none reaches a probe whose name begins
// the other's.
TEST(DailySheetAlarms, EveryProbeLineFormReachesItsProbeOnly) {
    testing::TempDir directory;
    struct Probe {
        KeyChars key;
        int type;
        std::string name;
    };
    const std::vector<Probe> probes{
        {MakeProbeKey(RomCode{0x28, 1, 0, 0, 0, 0, 0, 0x10}, kTypeTemperature), kTypeTemperature,
         "Freezer"},
        {MakeProbeKey(RomCode{0x28, 2, 0, 0, 0, 0, 0, 0x20}, kTypeTemperature), kTypeTemperature,
         "Freezer 2"},
        {MakeProbeKey(RomCode{0x12, 3, 0, 0, 0, 0, 0, 0x30}, kTypeSwitch), kTypeSwitch, "Door"},
        {MakeProbeKey(RomCode{0x12, 4, 0, 0, 0, 0, 0, 0x40}, kTypeSwitch), kTypeSwitch,
         "Door Open"}};
    testing::WriteBytes(directory / "2026-03-04.qrd", "");
    // The lines as the station writes them, in English but for one German
    // line of a language chosen since.
    const auto linesOf = [](const Probe& probe) {
        SensorRecord record;
        record.Name = probe.name;
        record.SensorType = probe.type;
        record.Units = probe.type == kTypeSwitch ? "  " : "°C";
        record.Value = probe.type == kTypeSwitch ? (probe.name == "Door" ? 0.0 : 1.0) : -4.46;
        using namespace acquisition;
        return std::vector<std::string>{
            ProbeAlarmMessage(kPreAlarmHigh, record, 0),
            ProbeAlarmMessage(kAlarmHigh, record, 0),
            ProbeAlarmMessage(kAlarmLost, record, 0),
            ProbeAlarmMessage(kAlarmEndedMessage, record, 0),
            TimeAlarmMessage(kTimeAlarmHigh, probe.name, 61, 0),
            TimeAlarmMessage(kTimeAlarmEnded, probe.name, 12, 0),
            ClearedAlarmMessage(AlarmClearReason::kNetworkStopped, record),
            ClearedTimeAlarmMessage(AlarmClearReason::kAlarmsDisabled, probe.name),
            ProbeAlarmMessage(kAlarmLost, record, 1),
        };
    };
    std::string file;
    int minute = 0;
    for (const Probe& probe : probes) {
        for (const std::string& message : linesOf(probe)) {
            file += fmt::format("2026-03-04 {:02}:{:02}: {}\r\n", minute / 60, minute % 60,
                                Utf8ToCp1252(message));
            ++minute;
        }
        file += fmt::format("2026-03-04 {:02}:{:02}: Acknowledged by anna\r\n", minute / 60,
                            minute % 60);
        ++minute;
    }
    testing::WriteBytes(directory / "QRVAlarm.txt", file);
    const std::string before = file;

    const SensorTable table;
    const SheetSources sources{
        directory.path(), directory / "QRVAlarm.txt", table,
        [&](HistoryData& history, const std::string&) {
            ClearHistoSensorStructure(history);
            for (const Probe& probe : probes) {
                HistoEntry& entry =
                    history.HistoSensor[static_cast<std::size_t>(++history.HistoryMaxIndex)];
                entry.ProbeKey = probe.key;
                entry.ProbeType = probe.type;
                entry.ProbeName.utf8 = probe.name;
                entry.AddValue(600, 1.0);
            }
        }};
    const std::vector<ProbeSheet> sheets = LoadDailySheets(sources, 2026, 3, "");
    ASSERT_EQ(sheets.size(), probes.size());
    const std::vector<std::vector<std::string>> expected{
        {"00:00 Pre-High Alarm: -4.5°C", "00:01 High Alarm: -4.5°C", "00:02 Probe lost",
         "00:03 Value OK: -4.5°C", "00:04 Time High Alarm: 61 min in 24 h",
         "00:05 Time OK: 12 min in 24 h", "00:06 Alarm cleared, network stopped:",
         "00:07 Time alarm cleared, alarms disabled:", "00:08 Fühler verloren"},
        {"00:10 Pre-High Alarm: -4.5°C", "00:11 High Alarm: -4.5°C", "00:12 Probe lost",
         "00:13 Value OK: -4.5°C", "00:14 Time High Alarm: 61 min in 24 h",
         "00:15 Time OK: 12 min in 24 h", "00:16 Alarm cleared, network stopped:",
         "00:17 Time alarm cleared, alarms disabled:", "00:18 Fühler verloren"},
        {"00:20 Pre-High Alarm: Closed", "00:21 High Alarm: Closed", "00:22 Probe lost",
         "00:23 Value OK: Closed", "00:24 Time High Alarm: 61 min in 24 h",
         "00:25 Time OK: 12 min in 24 h", "00:26 Alarm cleared, network stopped:",
         "00:27 Time alarm cleared, alarms disabled:", "00:28 Fühler verloren"},
        {"00:30 Pre-High Alarm: Open", "00:31 High Alarm: Open", "00:32 Probe lost",
         "00:33 Value OK: Open", "00:34 Time High Alarm: 61 min in 24 h",
         "00:35 Time OK: 12 min in 24 h", "00:36 Alarm cleared, network stopped:",
         "00:37 Time alarm cleared, alarms disabled:", "00:38 Fühler verloren"}};
    for (std::size_t p = 0; p < probes.size(); ++p) {
        SCOPED_TRACE(probes[p].name);
        const SheetDay& day = sheets[p].days[3];
        EXPECT_EQ(day.alarms, expected[p]);
        EXPECT_EQ(day.acknowledgements.size(), 4U) << "the station's, beside its alarms";
    }
    EXPECT_EQ(testing::ReadBytes(directory / "QRVAlarm.txt"), before) << "only read";
}

// A trail that exists but cannot be read leaves the minutes out of range to
// today's limits, and the sheet says so on every page, as the reports do;
// a station without a trail says nothing.
TEST(DailySheetTrail, ATrailThatCannotBeReadIsNamedOnEveryPage) {
    testing::TempDir directory;
    testing::WriteBytes(directory / "2026-03-04.qrd", "");
    const SensorTable table;
    const SheetSources sources{
        directory.path(), directory / "QRVAlarm.txt", table,
        [&](HistoryData& history, const std::string&) {
            ClearHistoSensorStructure(history);
            history.HistoryMaxIndex = 0;
            HistoEntry& entry = history.HistoSensor[0];
            entry.ProbeKey = MakeProbeKey(RomCode{0x28, 1, 2, 3, 0, 0, 0, 0x10}, kTypeTemperature);
            entry.ProbeName.utf8 = "Fridge";
            entry.AddValue(600, 4.0);
        }};
    const auto noticeLines = [&](int taal) {
        const std::vector<ProbeSheet> sheets = LoadDailySheets(sources, 2026, 3, "");
        EXPECT_EQ(sheets.size(), 1U);
        ProbeSheet sheet = sheets.at(0);
        sheet.days[5].alarms.assign(kSheetRowsPerPage, "10:00 High Alarm: 9.0°C");
        PrintContext context;
        context.taal = taal;
        const std::string notice = text::Plain(text::Key::TXT_SHEET_TRAIL_UNREADABLE, taal);
        std::vector<int> perPage;
        for (const ReportPage& page : DailySheetPages({sheet}, 2026, 3, context)) {
            perPage.push_back(
                static_cast<int>(std::count(page.details.begin(), page.details.end(), notice)));
        }
        return perPage;
    };
    EXPECT_EQ(noticeLines(0), (std::vector<int>{0, 0, 0})) << "no trail begun: nothing to say";

    // A directory in the trail's place cannot be read as a file.
    std::filesystem::create_directories(directory.path() / records::kAuditTrailFileName);
    for (int taal = 0; taal < 4; ++taal) {
        SCOPED_TRACE(taal);
        EXPECT_EQ(noticeLines(taal), (std::vector<int>{1, 1, 1}));
    }
    const std::vector<ProbeSheet> sheets = LoadDailySheets(sources, 2026, 3, "");
    ASSERT_EQ(sheets.size(), 1U);
    EXPECT_NE(sheets[0].trailNote.find("cannot be read"), std::string::npos);
}

// A high limit raised from 8 to 12 on the 10th at 09:00: the excursions to
// 9.0 before it stay on the sheet beside their alarm lines.
TEST(DailySheetLimits, AreThoseInForceWhenEachValueWasStored) {
    testing::TempDir directory;
    constexpr RomCode kRom{0x28, 1, 2, 3, 0, 0, 0, 0x10};
    SensorTable table;
    const int i = table.Append1820ToDataStruct(kRom, 1);
    SensorRecord& record = table.SensorArray[static_cast<std::size_t>(i)];
    record.Name = "Fridge";
    record.AlarmLow = 2;
    record.AlarmHigh = 12;
    table.DefineSensorTypeAndUnits(i);
    testing::WriteBytes(
        directory / "QRVAudit.txt",
        records::FormatAuditLine({{2026, 3, 10, 9, 0, 30},
                                  "anna",
                                  "probe " + SerialNumberHex(kRom) + " Fridge: AlarmHigh",
                                  "8",
                                  "12",
                                  ""},
                                 records::kTrailStart) +
            "\r\n");
    // 9.0 from 08:00 to 09:00 and from 10:00 to 11:00 of each day.
    for (const int day : {5, 10, 12}) {
        testing::WriteBytes(directory / fmt::format("2026-03-{:02}.qrd", day), "");
    }
    const SheetSources sources{directory.path(), directory / "QRVAlarm.txt", table,
                               [&](HistoryData& history, const std::string&) {
                                   ClearHistoSensorStructure(history);
                                   history.HistoryMaxIndex = 0;
                                   HistoEntry& entry = history.HistoSensor[0];
                                   entry.ProbeKey = MakeProbeKey(kRom, kTypeTemperature);
                                   entry.ProbeName.utf8 = "Fridge";
                                   for (int m = 0; m < 1440; m += 10) {
                                       const bool high =
                                           (m >= 480 && m < 540) || (m >= 600 && m < 660);
                                       entry.AddValue(m, high ? 9.0 : 5.0);
                                   }
                               }};
    const std::vector<ProbeSheet> sheets = LoadDailySheets(sources, 2026, 3, "");
    ASSERT_EQ(sheets.size(), 1U);
    const auto above = [&](int day) {
        const auto& row = sheets[0].days[static_cast<std::size_t>(day - 1)];
        return row.outOfRange ? row.outOfRange->minutesAbove : -1;
    };
    EXPECT_EQ(above(5), 120) << "both hours, under the limit of 8";
    EXPECT_EQ(above(10), 60) << "the hour before the change only";
    EXPECT_EQ(above(12), 0) << "under the raised limit";
    EXPECT_EQ(sheets[0].limits, (std::pair{2, 12})) << "the heading shows the limits now";
}

TEST(DailySheetPages, ADayWithAGapShowsItsCoverageUnderItsFigures) {
    ProbeSheet sheet = MonthWithNotes({{4, 2}});
    sheet.days.resize(28);  // February: one page with the two rows of coverage
    sheet.days[3].storedMinutes = 20 * 60 + 10;
    sheet.days[6].storedMinutes = 4 * 60;
    for (int taal = 0; taal < 4; ++taal) {
        SCOPED_TRACE(taal);
        PrintContext context;
        context.taal = taal;
        const std::vector<ReportPage> pages = DailySheetPages({sheet}, 2026, 2, context);
        ASSERT_EQ(pages.size(), 1U);
        const std::vector<std::string>& body = pages[0].body;
        const std::string stored = text::Plain(text::Key::TXT_SHEET_STORED, taal);
        std::size_t withCoverage = 0;
        for (const std::string& row : body) {
            withCoverage += row.find(stored) != std::string::npos ? 1 : 0;
        }
        EXPECT_EQ(withCoverage, 2U) << "the whole days say nothing";
        const auto rowOf = [&](int day) {
            for (std::size_t r = 0; r < body.size(); ++r) {
                if (body[r].starts_with(fmt::format("{:2} ", day))) {
                    return r;
                }
            }
            return body.size();
        };
        ASSERT_LT(rowOf(4) + 1, body.size());
        const std::string& fourth = body[rowOf(4) + 1];
        EXPECT_EQ(Utf8Left(fourth, kAlarmColumn).find(stored + " 20 h 10 min"), 4U)
            << "under the figures, beside the day's second alarm";
        EXPECT_NE(fourth.find("High Alarm: 9.1"), std::string::npos);
        ASSERT_LT(rowOf(7) + 1, body.size());
        EXPECT_EQ(body[rowOf(7) + 1], "    " + stored + " 4 h 0 min");
        EXPECT_EQ(rowOf(8), rowOf(7) + 2);
    }
}

}  // namespace
}  // namespace qrv
