// The probe settings printout: every setting of a probe, names whole, in
// fixed columns that no language moves.
#include <gtest/gtest.h>

#include <memory>

#include "reports/printouts/settings_pages.h"
#include "reports/text_columns.h"
#include "text/texts.h"

namespace qrv {
namespace {

const PrintContext kPrinted{0, "Cold store", {"2026-02-03", "03/02/2026", "14:05:07"}};

SensorRecord Probe(std::string name, int type, std::string units) {
    SensorRecord record;
    record.Line = 1;
    record.Name = std::move(name);
    record.SensorType = type;
    record.Units = std::move(units);
    return record;
}

// A station whose thresholds file was read and holds none.
const records::TimeAlarmBook kNoTimeAlarms;

// A 27-character name, the longest a probe may have.
const std::string kLongest = "Back door of the loading ba";

TEST(ProbeSettingsRows, FixedColumnsWithTheWholeName) {
    ASSERT_EQ(kLongest.size(), static_cast<std::size_t>(kMaxNameLength));
    SensorRecord freezer = Probe(kLongest, kTypeTemperature, "°C");
    freezer.AlarmHigh = -15;
    freezer.AlarmLow = -25;
    freezer.AlarmDelay = 150;  // whole minutes, truncated
    freezer.TripHigh = -18;
    freezer.TripLow = -22;
    freezer.TripDelay = 60;
    const std::string row = ProbeSettingsRow(freezer, 0);
    EXPECT_EQ(row, kLongest + "  On   -15°C  -25°C    2 min   -18°C  -22°C    1 min ");
    EXPECT_EQ(CharacterCount(row), 80U);

    SensorRecord door = Probe("Door", kTypeSwitch, "  ");
    door.Status = kStatusInhibit;
    door.AlarmHigh = 1;
    door.AlarmDelay = 59;
    door.TripHigh = 5;
    EXPECT_EQ(ProbeSettingsRow(door, 0),
              "Door" + std::string(24, ' ') + "Inh.  Open            0 min" + std::string(25, ' '));

    SensorRecord cellar = Probe("Cave à vin été", kTypeHumidity, " %");
    cellar.Status = 9;
    const std::string cellarRow = ProbeSettingsRow(cellar, 0);
    EXPECT_EQ(CharacterCount(cellarRow), 80U);
    EXPECT_EQ(TakeCharacters(cellarRow, 34), "Cave à vin été" + std::string(14, ' ') + "????  ");

    // The headers stand over their columns in every language.
    auto table = std::make_unique<SensorTable>();
    table->SensorArray[0] = freezer;
    for (int taal = 0; taal < 4; ++taal) {
        const ReportPage page =
            ProbeSettingsPrintout(*table, {}, &kNoTimeAlarms, {2026, 2, 3, 0, 0, 0, 0}, taal)
                .Page(0, PrintContext{taal, "", {}});
        ASSERT_EQ(page.columnHeader.size(), 2U);
        const auto column = [](const std::string& header, std::size_t from) {
            return CharacterCount(header.substr(0, header.find_first_not_of(' ', from)));
        };
        EXPECT_EQ(column(page.columnHeader[0], 8), 28U) << taal;  // status
        EXPECT_EQ(column(page.columnHeader[1], 0), 34U) << taal;  // alarm high
        EXPECT_EQ(TakeCharacters(page.body[0], 28), kLongest + " ");
    }
}

TEST(ProbeSettingsRows, ChoicesTimeAlarmAndWeekdayWindowsFollowTheFirstRow) {
    SensorRecord record = Probe("Vaccines", kTypeTemperature, "°C");
    record.SmsEnable = 1;
    record.RelayEnable = 0;
    record.AlarmTimes.fill(AlarmWindow{28, 72});  // 07:00 to 18:00
    record.AlarmTimes[5] = {0, 0};                // Saturday: never
    record.AlarmTimes[6] = {0, 0};
    records::TimeAlarm thresholds{record.Rom, 60, std::nullopt};

    const auto rows = ProbeSettingsRows(record, &thresholds, 0);
    ASSERT_EQ(rows.size(), 3U);
    EXPECT_EQ(rows[1],
              "  SMS: Yes   Relay: No   Time out of range in 24 h: more than 60 min above");
    EXPECT_EQ(rows[2], "  Alarm times: Mo-Fr 07:00-18:00, Sa-Su no alarm");

    thresholds.minutesBelow = 30;
    const auto both = ProbeSettingsRows(record, &thresholds, 0);
    ASSERT_EQ(both.size(), 4U);
    EXPECT_EQ(both[1],
              "  SMS: Yes   Relay: No   Time out of range in 24 h: more than 60 min above,");
    EXPECT_EQ(both[2], "      more than 30 min below");
    EXPECT_EQ(ProbeSettingsRows(record, nullptr, 0)[1],
              "  SMS: Yes   Relay: No   Time out of range in 24 h: no alarm");
    // Thresholds whose file could not be read are not printed as none.
    auto table = std::make_unique<SensorTable>();
    table->SensorArray[0] = record;
    const ReportPage unread =
        ProbeSettingsPrintout(*table, {}, nullptr, {2026, 2, 3, 0, 0, 0, 0}, 0).Page(0, kPrinted);
    ASSERT_EQ(unread.body.size(), 4U);
    EXPECT_EQ(unread.body[1], "  SMS: Yes   Relay: No");
    EXPECT_EQ(unread.body[2],
              "      Time out of range in 24 h: not known, the file could not be read");
    thresholds.minutesAbove.reset();
    const auto german = ProbeSettingsRows(record, &thresholds, 1);
    ASSERT_EQ(german.size(), 4U) << "the time alarm moves to a row of its own";
    EXPECT_EQ(german[1], "  SMS: Ja   Relais: Nein");
    EXPECT_EQ(german[2], "      Zeit außerhalb der Grenzen in 24 Std.: mehr als 30 Min. darunter");
    EXPECT_EQ(german[3], "  Alarmzeiten: Mo-Fr 07:00-18:00, Sa-So kein Alarm");

    // Seven different windows take two rows; the second is indented deeper
    // and no row passes the first row's width.
    for (int day = 0; day < 7; ++day) {
        record.AlarmTimes[static_cast<std::size_t>(day)] = {day, 90 + day};
    }
    for (int taal = 0; taal < 4; ++taal) {
        const auto wrapped = ProbeSettingsRows(record, nullptr, taal);
        ASSERT_EQ(wrapped.size(), 4U) << taal;
        for (const std::string& row : wrapped) {
            EXPECT_LE(CharacterCount(row), 80U) << row;
        }
        EXPECT_TRUE(wrapped[2].ends_with(",")) << wrapped[2];
        EXPECT_TRUE(wrapped[3].starts_with("      ")) << wrapped[3];
    }
    const auto english = ProbeSettingsRows(record, nullptr, 0);
    EXPECT_TRUE(english[2].starts_with("  Alarm times: Mo 00:00-22:30, Tu 00:15-22:45,"));
    EXPECT_NE(english[3].find("Su 01:30-24:00"), std::string::npos) << english[3];
    EXPECT_NE(ProbeSettingsRows(record, nullptr, 1)[3].find("So 01:30-24:00"), std::string::npos);
    EXPECT_NE(ProbeSettingsRows(record, nullptr, 2)[2].find("Heures d'alarme : Lu 00:00-22:30"),
              std::string::npos);
}

TEST(ProbeSettingsPages, FiftyRowsAPageAndAProbeNeverSplit) {
    auto table = std::make_unique<SensorTable>();
    for (int i = 0; i < 17; ++i) {
        table->SensorArray[static_cast<std::size_t>(i)] = Probe("P" + std::to_string(i), 48, "°C");
    }
    const LocalDateTime today{2026, 2, 3, 14, 5, 7, 0};
    const ProbeSettingsPrintout printout(*table, {}, &kNoTimeAlarms, today, 0);
    // Three rows a probe: 16 probes (48 rows) on the first page.
    ASSERT_EQ(printout.PageCount(), 2);
    const ReportPage first = printout.Page(0, kPrinted);
    const ReportPage second = printout.Page(1, kPrinted);
    EXPECT_EQ(first.body.size(), 48U);
    ASSERT_EQ(second.body.size(), 3U);
    EXPECT_TRUE(second.body[0].starts_with("P16 "));
    EXPECT_EQ(second.pageLine, "Page  2");
    EXPECT_EQ(first.title, "Probes");
    EXPECT_EQ(ProbeSettingsPrintout(SensorTable{}, {}, &kNoTimeAlarms, today, 0).PageCount(), 0);
}

// The calibrations follow the probe pages: one row of correction,
// certificate and next due per probe, one of its record.
TEST(ProbeSettingsPages, CalibrationsFollowOnPagesOfTheirOwn) {
    auto table = std::make_unique<SensorTable>();
    for (int i = 0; i < 17; ++i) {
        table->SensorArray[static_cast<std::size_t>(i)] = Probe("P" + std::to_string(i), 48, "°C");
        table->SensorArray[static_cast<std::size_t>(i)].Rom = {
            0x28, static_cast<std::int16_t>(i + 1), 0, 0, 0, 0, 0, 0x11};
    }
    table->SensorArray[7].Name = kLongest;
    records::Calibration offset;
    offset.rom = table->SensorArray[7].Rom;
    offset.offset = -0.4;
    offset.date = "2025-03-01";
    offset.instrument = "RT-1";
    offset.certificate = "CAL-2025/0117-with-a-long-suffix";
    offset.nextDue = "2026-02-20";
    offset.who = "anna";
    records::Calibration gain = *records::TwoPointCalibration(0.0, 0.4, 100.0, 100.8);
    gain.rom = table->SensorArray[2].Rom;
    gain.nextDue = "2026-03-01";
    records::Calibration gone = offset;
    gone.rom = {0x28, 0x7F, 0, 0, 0, 0, 0, 0x22};
    gone.nextDue = "2027-01-01";
    records::CalibrationBook book;
    for (const auto& c : {offset, gone, gain}) {
        book.Set(c);
    }
    const LocalDateTime today{2026, 2, 3, 14, 5, 7, 0};

    const std::vector<std::string> rows = CalibrationRows(*table, book, today, 0);
    ASSERT_EQ(rows.size(), 6U) << "two rows a probe, in the order of the table";
    EXPECT_EQ(rows[0], "P2" + std::string(26, ' ') +
                           "x0.99602 -0.398                         2026-03-01 due soon");
    EXPECT_EQ(rows[2].substr(0, 68), kLongest + " offset -0.40          CAL-2025/0117-wit ");
    EXPECT_EQ(rows[2].substr(68), "2026-02-20 due soon");
    EXPECT_EQ(rows[3], std::string(28, ' ') + "2025-03-01, RT-1, anna");
    EXPECT_TRUE(rows[4].starts_with("(not in the probe table)    offset -0.40"));
    EXPECT_TRUE(rows[4].ends_with("2027-01-01 ")) << "not due: nothing after the date";
    for (int taal = 0; taal < 4; ++taal) {
        EXPECT_EQ(
            CalibrationRows(*table, book, today, taal)[4].find(')'),
            CharacterCount(std::string(text::Plain(text::Key::TXT_PRNT_CALIB_NOT_IN_TABLE, taal))) -
                1)
            << "the note whole, in every language";
    }
    EXPECT_NE(CalibrationRows(*table, book, {2026, 2, 20, 0, 0, 0, 0}, 3)[2].find("VERLOPEN"),
              std::string::npos);

    const ProbeSettingsPrintout printout(*table, book, {}, today, 0);
    ASSERT_EQ(printout.PageCount(), 3);
    const ReportPage calibrations = printout.Page(2, kPrinted);
    EXPECT_EQ(calibrations.title, "Calibrations");
    EXPECT_EQ(calibrations.pageLine, "Page  3");
    EXPECT_EQ(calibrations.body, rows);
    EXPECT_EQ(calibrations.columnHeader[0].find("Correction"), 28U);
    EXPECT_EQ(calibrations.columnHeader[0].find("Certificate"), 50U);
    EXPECT_EQ(calibrations.columnHeader[0].find("Next due"), 68U);
    EXPECT_EQ(ProbeSettingsPrintout(*table, {}, &kNoTimeAlarms, today, 0).PageCount(), 2);
    EXPECT_EQ(CalibrationPageCount(50), 1);
    EXPECT_EQ(CalibrationPageCount(51), 2);
}

}  // namespace
}  // namespace qrv
