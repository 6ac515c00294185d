// Calibrations: the arithmetic of one and two points, the due dates, and the
// file they are kept in.
#include <gtest/gtest.h>

#include "records/calibration.h"
#include "runtime/text_file.h"
#include "support/temp_dir.h"

namespace qrv::records {
namespace {

constexpr RomCode kFridge{0x28, 0x2C, 0x1B, 0x0A, 0, 0, 0, 0x5E};
constexpr RomCode kFreezer{0x10, 0x01, 0x02, 0x03, 0, 0, 0, 0x11};

Calibration Offset(const RomCode& rom, double offset, std::string nextDue = "2027-03-01") {
    Calibration c;
    c.rom = rom;
    c.offset = offset;
    c.date = "2026-03-01";
    c.instrument = "Reference thermometer RT-1";
    c.certificate = "CAL-2026/0117";
    c.nextDue = std::move(nextDue);
    c.who = "anna";
    return c;
}

TEST(CalibrationArithmetic, TwoPointsGiveGainAndOffsetThroughBoth) {
    const auto c = TwoPointCalibration(0.0, 0.4, 100.0, 100.8);
    ASSERT_TRUE(c);
    EXPECT_NEAR(Corrected(*c, 0.4), 0.0, 1e-9);
    EXPECT_NEAR(Corrected(*c, 100.8), 100.0, 1e-9);
    EXPECT_NEAR(Corrected(*c, 50.6), 50.0, 1e-9);
    ASSERT_TRUE(c->points);
    EXPECT_EQ((*c->points)[3], 100.8);

    EXPECT_FALSE(TwoPointCalibration(0.0, 4.0, 8.0, 4.5)) << "readings too close for a gain";
    EXPECT_FALSE(TwoPointCalibration(0.0, 100.0, 100.0, 0.0)) << "points swapped";
}

TEST(CalibrationArithmetic, FailedReadingsAreNeverCorrected) {
    const Calibration c = Offset(kFridge, 0.5);
    EXPECT_EQ(Corrected(c, -999.0), -999.0);
    EXPECT_EQ(Corrected(c, -300.0), -300.0);
    EXPECT_DOUBLE_EQ(Corrected(c, -20.0), -19.5);
}

TEST(CalibrationArithmetic, ANewCalibrationReplacesTheOldOneInsteadOfStacking) {
    SharedCalibrations shared;
    EXPECT_EQ(shared.Apply(kFridge, 4.0), 4.0);
    CalibrationBook book;
    book.Set(Offset(kFridge, -0.4));
    book.Set(Offset(kFridge, -0.2));
    book.Set(Offset(kFreezer, 1.0));
    shared.Replace(book);
    EXPECT_DOUBLE_EQ(shared.Apply(kFridge, 4.0), 3.8);
    EXPECT_DOUBLE_EQ(shared.Apply(kFreezer, -20.0), -19.0);
    EXPECT_EQ(shared.Get()->entries.size(), 2u);
    EXPECT_TRUE(book.Remove(kFridge));
    EXPECT_FALSE(book.Remove(kFridge));
}

TEST(CalibrationDueDates, DueSoonWithinThirtyDaysOverdueFromTheDueDate) {
    const LocalDateTime today{2026, 12, 8, 12, 0, 0, 0};
    EXPECT_EQ(DueState(Offset(kFridge, 0, "2027-01-08"), today), CalibrationDue::kNotDue);
    EXPECT_EQ(DueState(Offset(kFridge, 0, "2027-01-07"), today), CalibrationDue::kDueSoon);
    EXPECT_EQ(DueState(Offset(kFridge, 0, "2026-12-09"), today), CalibrationDue::kDueSoon);
    EXPECT_EQ(DueState(Offset(kFridge, 0, "2026-12-08"), today), CalibrationDue::kOverdue);
    EXPECT_EQ(DueState(Offset(kFridge, 0, "2025-02-28"), today), CalibrationDue::kOverdue);
    EXPECT_EQ(DueState(Offset(kFridge, 0, ""), today), CalibrationDue::kNotDue);
    EXPECT_EQ(DueState(Offset(kFridge, 0, "2026-02-30"), today), CalibrationDue::kNotDue);
}

TEST(CalibrationFile, ReadsBackWhatWasWrittenAndRefusesDamage) {
    testing::TempDir temp;
    const auto path = temp / "QRVCalibration.json";
    EXPECT_TRUE(ReadCalibrationFile(path).error.empty()) << "no file yet is no error";

    CalibrationBook book;
    book.Set(Offset(kFridge, -0.4));
    auto twoPoint = TwoPointCalibration(0.0, 0.3, 50.0, 50.1);
    ASSERT_TRUE(twoPoint);
    twoPoint->rom = kFreezer;
    twoPoint->instrument = "Bath \"B2\", Kühlraum";
    book.Set(*twoPoint);
    ASSERT_TRUE(WriteCalibrationFile(path, book));
    const CalibrationFileResult read = ReadCalibrationFile(path);
    EXPECT_TRUE(read.error.empty()) << read.error;
    EXPECT_EQ(read.book.entries, book.entries);

    for (const std::string& damaged :
         {std::string("{\"calibrations\": [{\"rom\": \"28\"}]}"),
          std::string("{\"calibrations\": [{\"rom\": \"282C1B0A0000005E\", \"gain\": -1, "
                      "\"offset\": 0}]}"),
          testing::ReadBytes(path).substr(0, 60)}) {
        ASSERT_EQ(WriteFileAtomically(path, damaged), kFileOk);
        const CalibrationFileResult refused = ReadCalibrationFile(path);
        EXPECT_FALSE(refused.error.empty()) << damaged;
        EXPECT_TRUE(refused.book.entries.empty());
    }
}

}  // namespace
}  // namespace qrv::records
