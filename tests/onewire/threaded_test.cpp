// The acquisition thread and the user-interface thread take turns at one
// session, as the station does; run under ThreadSanitizer in CI.
#include <gtest/gtest.h>

#include <mutex>
#include <thread>

#include "onewire/families.h"
#include "onewire/unit_outputs.h"
#include "sim_station.h"

namespace qrv::testing {
namespace {

TEST(SessionThreads, TwoThreadsTakingTurnsReadConsistentValues) {
    SimStation station;
    station.Start();
    const RomCode humidity = ToRomCode(RomsOf(*station.unit, 3, "DS2438").at(0));
    const RomCode contact = ToRomCode(RomsOf(*station.unit, 2, "DS2406").at(0));
    std::mutex turn;
    std::vector<double> humidityValues;
    std::vector<double> contactValues;
    std::vector<OutputResult> heartbeats;

    std::thread acquisition([&] {
        for (int i = 0; i < 5; ++i) {
            std::lock_guard lock(turn);
            heartbeats.push_back(OranjeLedOn(station.session));
            heartbeats.push_back(OranjeLedOff(station.session));
            humidityValues.push_back(ReadProbe(station.session, 3, humidity).value);
        }
    });
    for (int i = 0; i < 5; ++i) {
        std::lock_guard lock(turn);
        contactValues.push_back(ReadProbe(station.session, 2, contact).value);
    }
    acquisition.join();

    EXPECT_EQ(heartbeats, std::vector<OutputResult>(10, OutputResult::kDone));
    for (const double value : humidityValues) {
        EXPECT_NEAR(value, 80.0, 0.4);  // one 10 mV step of VAD
    }
    EXPECT_EQ(contactValues, std::vector<double>(5, 0.0));
    EXPECT_FALSE(station.unit->OrangeLampOn());
}

}  // namespace
}  // namespace qrv::testing
