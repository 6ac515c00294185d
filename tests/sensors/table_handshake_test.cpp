#include "sensors/table_handshake.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "sensors/sensor_table.h"

namespace qrv {
namespace {

TEST(TableHandshake, TakesDoNotNestAndEitherReleaseFrees) {
    VirtualClock clock;
    TableHandshake handshake(clock);
    handshake.WaitForMainMemoryUse();
    handshake.WaitForMainMemoryUse();
    EXPECT_EQ(handshake.SharedMemoryOwner(), TableHandshake::kMainSide);
    EXPECT_DOUBLE_EQ(clock.Timer(), 0.0);
    handshake.ReleaseAsyncMemoryUse();  // the releases are interchangeable
    EXPECT_EQ(handshake.SharedMemoryOwner(), TableHandshake::kNobody);
    handshake.WaitForAsyncMemoryUse();
    EXPECT_EQ(handshake.SharedMemoryOwner(), TableHandshake::kAsyncSide);
    EXPECT_DOUBLE_EQ(clock.Timer(), 0.0);
}

TEST(TableHandshake, AStuckOwnerIsTakenOverAfterAboutOneSecond) {
    VirtualClock clock;
    TableHandshake handshake(clock);
    handshake.WaitForAsyncMemoryUse();
    handshake.WaitForMainMemoryUse();  // the acquisition side never lets go
    EXPECT_EQ(handshake.SharedMemoryOwner(), TableHandshake::kMainSide);
    EXPECT_NEAR(clock.Timer(), 1.01, 1e-9);  // 101 waits of 10 ms
}

// The two threads of the station taking turns for real: each side takes the
// table, works on the shared fields and gives it back, many times over. Run
// under ThreadSanitizer in CI.
TEST(TableHandshake, TwoThreadsTakingTurns) {
    RealClock clock;
    TableHandshake handshake(clock);
    SensorTable table;
    table.Append1820ToDataStruct({0x28, 1, 2, 3, 4, 5, 6, 7}, 1);
    std::atomic<int> overlaps{0};
    std::atomic<int> inside{0};
    constexpr int kRounds = 300;

    std::thread acquisition([&] {
        for (int i = 0; i < kRounds; ++i) {
            handshake.WaitForAsyncMemoryUse();
            if (inside.fetch_add(1) != 0) {
                ++overlaps;
            }
            table.SensorArray[0].Value = i * 0.1;
            ++table.SensorArray[0].NewValueCount;
            inside.fetch_sub(1);
            handshake.ReleaseAsyncMemoryUse();
        }
    });
    int seen = 0;
    for (int i = 0; i < kRounds; ++i) {
        handshake.WaitForMainMemoryUse();
        if (inside.fetch_add(1) != 0) {
            ++overlaps;
        }
        seen += table.SensorArray[0].NewValueCount;
        table.SensorArray[0].NewValueCount = 0;
        inside.fetch_sub(1);
        handshake.ReleaseMainMemoryUse();
    }
    acquisition.join();
    seen += table.SensorArray[0].NewValueCount;
    EXPECT_EQ(overlaps.load(), 0) << "neither side waited a whole second, so no take-over";
    EXPECT_EQ(seen, kRounds) << "no reading was counted twice or lost";
}

}  // namespace
}  // namespace qrv
