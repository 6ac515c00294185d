#include "runtime/clock.h"

#include <gtest/gtest.h>

#include <thread>

#include "runtime/date_strings.h"

namespace qrv {
namespace {

TEST(VirtualClock, DelayAdvancesAcrossMidnightAndMonthEnds) {
    VirtualClock clock({2024, 2, 28, 23, 59, 59, 500});
    clock.Delay(0.5);
    EXPECT_EQ(clock.Now(), (LocalDateTime{2024, 2, 29, 0, 0, 0, 0}));
    clock.Delay(86400.0);
    EXPECT_EQ(clock.Now(), (LocalDateTime{2024, 3, 1, 0, 0, 0, 0}));
    EXPECT_DOUBLE_EQ(clock.Timer(), 86400.5);
}

TEST(VirtualClock, SetNowKeepsTimerMonotonic) {
    VirtualClock clock;
    clock.Delay(10);
    clock.SetNow({2026, 12, 31, 23, 0, 0, 0});
    EXPECT_DOUBLE_EQ(clock.Timer(), 10.0);
    clock.Delay(3600);
    EXPECT_EQ(clock.Now(), (LocalDateTime{2027, 1, 1, 0, 0, 0, 0}));
}

TEST(VirtualClock, WaitUntilWakesWhenAnotherThreadAdvances) {
    VirtualClock clock;
    bool reached = false;
    std::thread waiter([&] { reached = clock.WaitUntil(5.0); });
    clock.Advance(2.0);
    clock.Advance(3.0);
    waiter.join();
    EXPECT_TRUE(reached);

    std::thread interrupted([&] { reached = clock.WaitUntil(100.0); });
    clock.Interrupt();
    interrupted.join();
    EXPECT_FALSE(reached);
}

TEST(Clocks, SleepUntilEndsAtTheDeadlineOrAtOnceOnAStopRequest) {
    VirtualClock virtualClock;
    std::stop_source stopVirtual;
    bool reached = true;
    std::thread sleeper([&] { reached = virtualClock.SleepUntil(50.0, stopVirtual.get_token()); });
    virtualClock.Advance(10.0);
    stopVirtual.request_stop();
    sleeper.join();
    EXPECT_FALSE(reached);

    RealClock realClock;
    const double start = realClock.Timer();
    EXPECT_TRUE(realClock.SleepUntil(start + 0.02, std::stop_token{}));
    EXPECT_GE(realClock.Timer(), start + 0.02);
    std::stop_source stopReal;
    std::thread realSleeper(
        [&] { reached = realClock.SleepUntil(start + 60.0, stopReal.get_token()); });
    stopReal.request_stop();
    realSleeper.join();
    EXPECT_FALSE(reached);
    EXPECT_LT(realClock.Timer(), start + 30.0);
}

TEST(DateStrings, FileEuroAndTimeTexts) {
    const DateStrings s = MakeDateStrings({2026, 3, 7, 8, 5, 9, 0});
    EXPECT_EQ(s.FileDatumString, "2026-03-07");
    EXPECT_EQ(s.EuroDatumString, "07/03/2026");
    EXPECT_EQ(s.TijdString, "08:05:09");
}

}  // namespace
}  // namespace qrv
