// What the dashboard reads of a running station: the window's big view of a
// probe in the page's language, and the network's failures as acquisition
// counted them.
#include <gtest/gtest.h>

#include "app/shell/web_station_source.h"
#include "live_station.h"

namespace qrv::testing {
namespace {

class WebStationSourceTest : public ::testing::Test, protected LiveStation {
  protected:
    WebStationSourceTest() : LiveStation(kThreeProbeNetwork, {2026, 3, 9, 14, 0, 30, 0}) {
        AddProbe(1, 0, "Cold room");
        AddProbe(1, 1, "Office");
        AddProbe(1, 2, "Door");
    }
    shell::WebStationSource source{state, monitoring, clock, log};
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

}  // namespace
}  // namespace qrv::testing
