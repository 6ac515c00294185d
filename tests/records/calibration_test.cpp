// Calibrations: the arithmetic of one and two points, the due dates, and the
// file they are kept in.
#include <gtest/gtest.h>

#include <cmath>

#include "records/calibration.h"
#include "records/calibration_request.h"
#include "runtime/text_file.h"
#include "sensors/sensor_table.h"
#include "support/temp_dir.h"

namespace qrv::records {
namespace {

constexpr RomCode kFridge{0x28, 0x2C, 0x1B, 0x0A, 0, 0, 0, 0x5E};
// The day the requests are judged on.
constexpr LocalDateTime kToday{2026, 3, 14, 10, 0, 0, 0};
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

// What a user asks for as a calibration is judged the same from the command
// line and the probe editor, and put into the file without losing what
// another program wrote there meanwhile.
CalibrationRequest OffsetRequest(double offset) {
    CalibrationRequest request;
    request.offset = offset;
    request.date = "2026-03-01";
    request.instrument = "RT-1";
    request.certificate = "C-17";
    request.nextDue = "2027-03-01";
    request.who = "anna";
    return request;
}

CalibrationProblem ProblemOf(const CalibrationRequest& request) {
    return MakeCalibration(kFridge, request, kToday).problem;
}

TEST(CalibrationRequestCheck, ASoundRequestGivesTheCalibrationWithItsRecord) {
    const CalibrationOutcome offset = MakeCalibration(kFridge, OffsetRequest(-0.4), kToday);
    ASSERT_TRUE(offset.calibration);
    EXPECT_EQ(offset.calibration->rom, kFridge);
    EXPECT_DOUBLE_EQ(Corrected(*offset.calibration, 4.4), 4.0);
    EXPECT_EQ(offset.calibration->who, "anna");
    EXPECT_EQ(offset.calibration->certificate, "C-17");

    CalibrationRequest points = OffsetRequest(0.0);
    points.offset.reset();
    points.points = std::array{0.0, 0.4, 100.0, 100.8};
    const CalibrationOutcome twoPoint = MakeCalibration(kFridge, points, kToday);
    ASSERT_TRUE(twoPoint.calibration);
    EXPECT_NEAR(Corrected(*twoPoint.calibration, 100.8), 100.0, 1e-9);
    EXPECT_EQ(twoPoint.calibration->rom, kFridge);
}

TEST(CalibrationRequestCheck, RefusesWhatAnInspectorCouldNotAccept) {
    CalibrationRequest both = OffsetRequest(1.0);
    both.points = std::array{0.0, 0.0, 9.0, 9.0};
    EXPECT_EQ(ProblemOf(both), CalibrationProblem::kNoSingleCorrection);
    CalibrationRequest neither = OffsetRequest(1.0);
    neither.offset.reset();
    EXPECT_EQ(ProblemOf(neither), CalibrationProblem::kNoSingleCorrection);

    EXPECT_EQ(ProblemOf(OffsetRequest(1000.5)), CalibrationProblem::kValueOutOfRange);
    EXPECT_EQ(ProblemOf(OffsetRequest(std::nan(""))), CalibrationProblem::kValueOutOfRange);
    CalibrationRequest farPoint = neither;
    farPoint.points = std::array{0.0, 0.4, 1e6, 100.8};
    EXPECT_EQ(ProblemOf(farPoint), CalibrationProblem::kValueOutOfRange);
    CalibrationRequest closePoints = neither;
    closePoints.points = std::array{0.0, 4.0, 8.0, 4.5};
    EXPECT_EQ(ProblemOf(closePoints), CalibrationProblem::kUnsoundPoints);

    for (std::string CalibrationRequest::*field :
         {&CalibrationRequest::date, &CalibrationRequest::instrument,
          &CalibrationRequest::certificate, &CalibrationRequest::nextDue}) {
        CalibrationRequest missing = OffsetRequest(1.0);
        missing.*field = "";
        EXPECT_EQ(ProblemOf(missing), CalibrationProblem::kMissingRecord);
    }
    for (const char* bad : {"2026-02-30", "2026-3-011", "01/03/2026", "2026-13-01", "2026-03-1x"}) {
        CalibrationRequest request = OffsetRequest(1.0);
        request.date = bad;
        EXPECT_EQ(ProblemOf(request), CalibrationProblem::kBadDate) << bad;
    }
    for (const char* bad : {"-026-01-01", "0026-01-01", "+026-01-01", "1899-12-31"}) {
        CalibrationRequest request = OffsetRequest(1.0);
        request.date = bad;
        EXPECT_EQ(ProblemOf(request), CalibrationProblem::kBadDate) << bad;
    }
    CalibrationRequest tomorrow = OffsetRequest(1.0);
    tomorrow.date = "2026-03-15";
    EXPECT_EQ(ProblemOf(tomorrow), CalibrationProblem::kDateInTheFuture);
    CalibrationRequest today = OffsetRequest(1.0);
    today.date = "2026-03-14";
    EXPECT_EQ(ProblemOf(today), CalibrationProblem::kNone);

    for (std::string CalibrationRequest::*field :
         {&CalibrationRequest::instrument, &CalibrationRequest::certificate,
          &CalibrationRequest::who}) {
        for (const char* forged : {"RT-1\tC-99", "RT-1\r\nforged", "RT\x1b[2J", "RT\xc2\x9b"}) {
            CalibrationRequest unclean = OffsetRequest(1.0);
            unclean.*field = forged;
            EXPECT_EQ(ProblemOf(unclean), CalibrationProblem::kControlCharacter) << forged;
        }
    }
    CalibrationRequest accented = OffsetRequest(1.0);
    accented.instrument = "Thermomètre étalon Nr. 4 °C";
    EXPECT_EQ(ProblemOf(accented), CalibrationProblem::kNone);

    CalibrationRequest sameDay = OffsetRequest(1.0);
    sameDay.nextDue = sameDay.date;
    EXPECT_EQ(ProblemOf(sameDay), CalibrationProblem::kNextDueNotAfterDate);
    CalibrationRequest leapDay = OffsetRequest(1.0);
    leapDay.nextDue = "2028-02-29";
    EXPECT_EQ(ProblemOf(leapDay), CalibrationProblem::kNone);
}

TEST(CalibrationFileUpdate, KeepsWhatAnotherProgramWroteAndLeavesADamagedFileAlone) {
    testing::TempDir dir;
    const auto file = dir / "QRVCalibration.json";
    const auto freezer = MakeCalibration(kFreezer, OffsetRequest(1.0), kToday).calibration;
    CalibrationBook elsewhere;
    elsewhere.Set(*freezer);
    ASSERT_TRUE(WriteCalibrationFile(file, elsewhere));

    const auto fridge = MakeCalibration(kFridge, OffsetRequest(-0.4), kToday).calibration;
    const CalibrationUpdate set = UpdateCalibrationFile(file, kFridge, fridge);
    EXPECT_TRUE(set.changed);
    EXPECT_TRUE(set.error.empty());
    EXPECT_TRUE(set.before.empty());
    EXPECT_NE(set.after.find("offset -0.400"), std::string::npos) << set.after;
    EXPECT_EQ(ReadCalibrationFile(file).book, set.book);
    ASSERT_EQ(set.book.entries.size(), 2u);
    EXPECT_NE(set.book.Find(kFreezer), nullptr) << "the other probe's calibration stays";

    const CalibrationUpdate cleared = UpdateCalibrationFile(file, kFridge, std::nullopt);
    EXPECT_TRUE(cleared.changed);
    EXPECT_EQ(cleared.before, set.after);
    EXPECT_TRUE(cleared.after.empty());
    const std::string afterClear = testing::ReadBytes(file);
    const CalibrationUpdate again = UpdateCalibrationFile(file, kFridge, std::nullopt);
    EXPECT_FALSE(again.changed) << "nothing left to clear";
    EXPECT_TRUE(again.error.empty());
    EXPECT_EQ(testing::ReadBytes(file), afterClear);

    testing::WriteBytes(file, "{\"calibrations\": [ {\"rom\": \"zz\"");
    const CalibrationUpdate damaged = UpdateCalibrationFile(file, kFridge, fridge);
    EXPECT_FALSE(damaged.changed);
    EXPECT_FALSE(damaged.error.empty());
    EXPECT_EQ(testing::ReadBytes(file), "{\"calibrations\": [ {\"rom\": \"zz\"");
}

TEST(ScanReadings, AreCorrectedFromTheRawReadingAsTheAcquisitionDoes) {
    SensorTable table;
    for (const RomCode& rom : {kFridge, kFreezer}) {
        const int index = table.Append1820ToDataStruct(rom, 1);
        table.DefineSensorTypeAndUnits(index);
        SensorRecord& record = table.SensorArray[static_cast<std::size_t>(index)];
        record.FoundOnNetwork = 1;
        record.RawValue = 4.4;
        record.Value = 4.4;
    }
    table.SensorArray[1].RawValue = -999.0;
    table.SensorArray[1].Value = -999.0;
    CalibrationBook book;
    book.Set(*MakeCalibration(kFridge, OffsetRequest(-0.4), kToday).calibration);
    book.Set(*MakeCalibration(kFreezer, OffsetRequest(2.0), kToday).calibration);
    CorrectScanReadings(table, book);
    CorrectScanReadings(table, book);
    EXPECT_DOUBLE_EQ(table.SensorArray[0].Value, 4.0) << "corrected once, however often";
    EXPECT_DOUBLE_EQ(table.SensorArray[0].RawValue, 4.4);
    EXPECT_EQ(table.SensorArray[1].Value, -999.0) << "a failed reading stays one";
}

}  // namespace
}  // namespace qrv::records
