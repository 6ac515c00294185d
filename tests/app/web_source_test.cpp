// What the dashboard reads of a running station: the window's big view of a
// probe in the page's language, the network's failures as acquisition
// counted them, and the alarms on time out of range that stand.
#include <gtest/gtest.h>

#include "live_station.h"
#include "sensors/rom_text.h"
#include "station/web_station_source.h"
#include "support/temp_dir.h"

namespace qrv::testing {
namespace {

class WebStationSourceTest : public ::testing::Test, protected LiveStation {
  protected:
    WebStationSourceTest() : LiveStation(kThreeProbeNetwork, {2026, 3, 9, 14, 0, 30, 0}) {
        AddProbe(1, 0, "Cold room");
        AddProbe(1, 1, "Office");
        AddProbe(1, 2, "Door");
    }
    shell::WebStationSource source{state, monitoring, clock};
};

TEST_F(WebStationSourceTest, TheProbeViewSpeaksThePagesLanguageAndGoesBlankWithTheNetwork) {
    Install();
    RunFor(20.0);
    std::optional<SensorRecord> record = source.Probe(Probe(0).Rom);
    ASSERT_TRUE(record);
    EXPECT_EQ(source.ProbeView(*record, 0).state, "Probe is active");
    EXPECT_NE(source.ProbeView(*record, 0).value.find("4.0"), std::string::npos);

    record->AlarmState = kAlarmHigh;
    const web::ProbeViewTexts german = source.ProbeView(*record, 1);
    EXPECT_EQ(german.state, "Alarm: Temperatur zu hoch.");
    EXPECT_EQ(german.colour, 0xFF0000U);
    EXPECT_EQ(source.ProbeView(*record, 3).state, "Alarm: temperatuur te hoog.");

    state.CommunicationErrorAlarm = 1;
    EXPECT_EQ(source.ProbeView(*record, 0).state, " ");
    EXPECT_FALSE(source.Probe(RomCode{0x28, 1, 2, 3, 4, 5, 6, 7}));
}

TEST_F(WebStationSourceTest, BusErrorsAreTheAcquisitionsCountsSinceTheStart) {
    Install();
    RunFor(10.0);
    EXPECT_EQ(source.BusErrors(), BusErrorCounts{});
    const double from = clock.Timer();
    unit->AddFault({sim::FaultKind::kUnplugged, {}, 0, from, from + 30.0});
    RunFor(20.0);
    const BusErrorCounts counts = source.BusErrors();
    EXPECT_GE(counts[static_cast<std::size_t>(BusErrorKind::kUnitSilent)], 3U);
    EXPECT_EQ(counts[static_cast<std::size_t>(BusErrorKind::kNetworkLost)], 1U);
}

TEST_F(WebStationSourceTest, EveryLiveTableCarriesTheTimeAlarmsThatStandNow) {
    // The cold room at 4 °C above a limit of 2 °C; only its time may alarm.
    SensorRecord& coldRoom = Probe(0);
    coldRoom.AlarmHigh = 2;
    coldRoom.TripHigh = 50;
    coldRoom.AlarmDelay = 7200;
    coldRoom.TripDelay = 7200;
    WriteBytes(
        dir / "QRVTimeAlarms.json",
        R"({"time_alarms": [{"rom": ")" + RomToHex(coldRoom.Rom) + R"(", "minutes_above": 2}]})");
    Install();
    RunFor(60.0);
    EXPECT_FALSE(source.Snapshot(0).probes[0].timeAlarm) << "not yet past the threshold";
    RunFor(150.0);
    // A page opened now, or one that lost events, learns it from the table
    // it is given.
    const web::LiveSnapshot later = source.Snapshot(2);
    ASSERT_EQ(later.probes.size(), 3U);
    ASSERT_TRUE(later.probes[0].timeAlarm);
    EXPECT_EQ(later.probes[0].timeAlarm->side, "high");
    EXPECT_GE(later.probes[0].timeAlarm->minutes, 2);
    EXPECT_FALSE(later.probes[1].timeAlarm);
    RunFor(120.0);
    EXPECT_GT(source.Snapshot(0).probes[0].timeAlarm->minutes, later.probes[0].timeAlarm->minutes)
        << "the minutes go on counting while it stands";
}

}  // namespace
}  // namespace qrv::testing
