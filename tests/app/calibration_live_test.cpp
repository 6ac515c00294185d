// A calibrated probe on a running station: its correction applied exactly
// once, on the way to the table, so the rows, the alarm, the result file and
// the feed all carry the same corrected value and the raw one stays at hand;
// a calibration coming due shows on the status line.
#include <gtest/gtest.h>

#include <algorithm>

#include "live_station.h"
#include "records/calibration.h"
#include "records/calibration_request.h"
#include "support/temp_dir.h"

namespace qrv::testing {
namespace {

TEST(CalibratedProbe, IsCorrectedOnceForRowsAlarmStoreAndFeed) {
    LiveStation station(kThreeProbeNetwork, {2026, 3, 9, 14, 0, 30, 0});
    const int coldRoom = station.AddProbe(1, 0, "Cold room");
    SensorRecord& probe = station.Probe(coldRoom);
    probe.AlarmHigh = 7;  // the raw 4.0 is below it, 7.5 above, twice corrected 11.0
    probe.AlarmDelay = 10;
    records::Calibration calibration;
    calibration.rom = probe.Rom;
    calibration.offset = 3.5;
    calibration.nextDue = "2026-04-08";  // 30 days on
    records::CalibrationBook book;
    book.Set(calibration);
    station.state.calibrations.Replace(book);
    FeedSubscription feed = station.monitoring.Feed().Subscribe(4096);

    station.Install();
    station.RunFor(6 * 60.0);

    // The simulated probe reads about 4.0, with the noise of a real one.
    EXPECT_NEAR(station.Probe(coldRoom).Value - station.Probe(coldRoom).RawValue, 3.5, 1e-9);
    EXPECT_NEAR(station.Probe(coldRoom).RawValue, 4.0, 0.2);
    EXPECT_EQ(station.Probe(coldRoom).AlarmState, kAlarmHigh);
    EXPECT_EQ(Count(station.AlarmText(), "Cold room     7.5"), 1) << station.AlarmText();
    ASSERT_FALSE(station.resultsTable.rows.empty());
    EXPECT_EQ(station.resultsTable.rows[0].cells[1].substr(0, 6), "   7.5");
    const std::string day = station.DayFile(station.clock.Now());
    EXPECT_GT(Count(day, "     7.5  Cold room"), 1);
    EXPECT_EQ(Count(day, "4.0  Cold room"), 0);
    EXPECT_EQ(Count(day, "11.0  Cold room"), 0);
    int readings = 0;
    for (const LiveEvent& event : feed.Drain().events) {
        if (event.kind == LiveEventKind::kReading && event.index == coldRoom) {
            EXPECT_NEAR(event.value, 7.5, 0.2);
            ++readings;
        }
    }
    EXPECT_GT(readings, 10);
    const auto calls = station.display.Calls();
    EXPECT_TRUE(std::any_of(calls.begin(), calls.end(), [](const std::string& call) {
        return call.find("Cold room   (calibration due soon)") != std::string::npos;
    }));
}

// A calibration set from the command line reaches a running station
// without a new installation; a file damaged meanwhile changes nothing.
TEST(CalibratedProbe, ACalibrationSetFromTheCommandLineAppliesWithinSeconds) {
    LiveStation station(kThreeProbeNetwork, {2026, 3, 9, 14, 0, 30, 0});
    const int coldRoom = station.AddProbe(1, 0, "Cold room");
    station.Install();
    station.RunFor(20.0);
    EXPECT_EQ(station.Probe(coldRoom).Value, station.Probe(coldRoom).RawValue);

    const auto file = station.dir.path() / records::kCalibrationFileName;
    records::Calibration calibration;
    calibration.offset = 2.0;
    ASSERT_TRUE(
        records::UpdateCalibrationFile(file, station.Probe(coldRoom).Rom, calibration).changed);
    station.RunFor(10.0);
    EXPECT_NEAR(station.Probe(coldRoom).Value - station.Probe(coldRoom).RawValue, 2.0, 1e-9);
    EXPECT_EQ(Count(station.LogText(), "Calibrations reread from QRVCalibration.json"), 1);

    WriteBytes(file, "{ half written");
    station.RunFor(10.0);
    EXPECT_NEAR(station.Probe(coldRoom).Value - station.Probe(coldRoom).RawValue, 2.0, 1e-9)
        << "the calibration in use is kept";
    EXPECT_EQ(Count(station.LogText(), "Calibrations not reread"), 1) << "logged once";
}

}  // namespace
}  // namespace qrv::testing
