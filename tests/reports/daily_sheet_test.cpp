// The daily minimum and maximum sheet's printed page: the columns stay in
// place in every language, and long notes continue without losing or
// cutting a character.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "reports/printouts/daily_sheet.h"
#include "runtime/encoding.h"
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
        const ReportPage page = DailySheetPage(sheets, 0, 2026, 3, context);
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
    const ReportPage page = DailySheetPage(sheets, 0, 2026, 3, german);
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
        const ReportPage page = DailySheetPage(sheets, 0, 2026, 3, context);
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
    const ReportPage page = DailySheetPage(sheets, 0, 2026, 3, PrintContext{});
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

}  // namespace
}  // namespace qrv
