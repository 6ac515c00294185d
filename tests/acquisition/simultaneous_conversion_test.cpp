// The measurement step with [acquisition] simultaneous_conversion: a line's
// temperature probes converted together under the strong pull-up, and the
// 85 °C of a failed conversion in both modes.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "live_fixture.h"
#include "sim/temperature_probe.h"

namespace qrv::testing {
namespace {

using acquisition::kNoReadingYet;

// Line 1: powered, parasite, humidity, parasite; line 2: switch, powered;
// line 3: parasite.
const char* const kMixedLines = R"({"lines": [[
    {"type": "DS18B20", "temperature": 4.0},
    {"type": "DS18B20", "temperature": 5.0, "power": "parasite"},
    {"type": "DS2438", "humidity": 60.0, "temperature": 20.0},
    {"type": "DS18S20", "temperature": 6.0, "power": "parasite"}], [
    {"type": "DS2406", "input": 1.0},
    {"type": "DS18B20", "temperature": 7.0}], [
    {"type": "DS18B20", "temperature": -18.0, "power": "parasite"}]]})";

struct Placed {
    int line;
    int device;
};
constexpr std::array<Placed, 7> kMixedProbes{
    {{1, 0}, {1, 1}, {1, 2}, {1, 3}, {2, 0}, {2, 1}, {3, 0}}};
// Their table indexes that are temperature probes.
constexpr std::array<int, 5> kTemperatureIndexes{0, 1, 3, 5, 6};

// Every probe of kMixedLines, temperature probes with a high alarm at 30 °C
// that any 85 taken for a temperature would raise.
void AddMixedProbes(LiveFixture& f) {
    for (const Placed& probe : kMixedProbes) {
        f.AddProbe(probe.line, probe.device, "L" + std::to_string(probe.line));
    }
    for (const int index : kTemperatureIndexes) {
        f.Probe(index).AlarmHigh = f.Probe(index).TripHigh = 30;
    }
}

// The clock times at which each probe's count of new values rose.
struct ReadTimes {
    explicit ReadTimes(LiveFixture& f) : fixture(f) {}
    void Note() {
        const SensorTable table = fixture.table.Copy();
        for (int i = 0; i <= table.GetMax1820Index(); ++i) {
            const int count = table.SensorArray[static_cast<std::size_t>(i)].NewValueCount;
            if (count != seen[i]) {
                at[i].push_back(fixture.clock.Timer());
                seen[i] = count;
            }
        }
    }
    // The longest time any probe went unread, up to `end`; from `start`.
    double LongestGap(int probes, double start, double end) const {
        double longest = 0;
        for (int i = 0; i < probes; ++i) {
            double previous = start;
            const auto found = at.find(i);
            for (const double time : found == at.end() ? std::vector<double>{} : found->second) {
                longest = std::max(longest, time - previous);
                previous = time;
            }
            longest = std::max(longest, end - previous);
        }
        return longest;
    }

    LiveFixture& fixture;
    std::map<int, int> seen;
    std::map<int, std::vector<double>> at;
};

// Runs the started station for the given seconds and gives the longest time
// any of its first `probes` probes went unread.
double LongestGapWhileRunning(LiveFixture& f, int probes, double seconds) {
    ReadTimes reads(f);
    const double start = f.clock.Timer();
    f.RunFor(seconds, [&] { reads.Note(); });
    return reads.LongestGap(probes, start, f.clock.Timer());
}

sim::TemperatureProbe& SimProbe(LiveFixture& f, int index) {
    sim::Rom rom{};
    const RomCode code = f.Probe(index).Rom;
    std::transform(code.begin(), code.end(), rom.begin(),
                   [](std::int16_t byte) { return static_cast<std::uint8_t>(byte); });
    return dynamic_cast<sim::TemperatureProbe&>(*f.unit->Find(rom));
}

TEST(SimultaneousConversion, MixedLinesAreReadWholeEveryFewSecondsParasiteProbesIncluded) {
    LiveFixture f(kMixedLines);
    f.StartSession();
    AddMixedProbes(f);
    // A probe the installation found but nobody has confirmed yet.
    f.Probe(6).Line = 103;
    f.live.Cycle().SetSimultaneousConversion(true);
    f.Start();
    // Three lines, one per measurement step of two seconds.
    EXPECT_LE(LongestGapWhileRunning(f, 7, 60.0), 6.5);
    EXPECT_NEAR(f.Probe(0).Value, 4.0, 0.1);
    EXPECT_NEAR(f.Probe(1).Value, 5.0, 0.1);
    EXPECT_NEAR(f.Probe(2).Value, 60.0, 3.0);
    EXPECT_NEAR(f.Probe(3).Value, 6.0, 0.2);
    EXPECT_EQ(f.Probe(4).Value, 1.0);
    EXPECT_NEAR(f.Probe(5).Value, 7.0, 0.1);
    // Below 10 °C the station's own correction moves it by almost half a degree.
    EXPECT_NEAR(f.Probe(6).Value, -18.0, 0.5);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(f.Probe(i).LostCount, 0) << i;
    }
}

TEST(SimultaneousConversion, OneProbeATickLeavesParasiteProbesUnreadButNeverAt85) {
    LiveFixture f(kMixedLines);
    f.StartSession();
    AddMixedProbes(f);
    f.Start();
    f.RunFor(90.0, [&] {
        for (const int i : kTemperatureIndexes) {
            ASSERT_LT(f.Probe(i).Value, 30.0) << i;
            ASSERT_NE(f.Probe(i).AlarmState, kAlarmHigh) << i;
            ASSERT_NE(f.Probe(i).AlarmState, kPreAlarmHigh) << i;
        }
    });
    EXPECT_NEAR(f.Probe(0).Value, 4.0, 0.1);
    EXPECT_EQ(f.Probe(1).Value, kNoReadingYet);
    EXPECT_GT(f.Probe(1).LostCount, 0);
    EXPECT_EQ(f.Probe(6).Value, kNoReadingYet);
}

// A probe whose conversion fails once (a brown-out) in either mode: no
// value of 85, no delay counted towards an alarm, read well afterwards.
void ExpectA85RetriedAndNeverAlarmed(bool simultaneous) {
    LiveFixture f(kMixedLines);
    f.StartSession();
    AddMixedProbes(f);
    f.Probe(5).Name = "Cold store";
    f.live.Cycle().SetSimultaneousConversion(simultaneous);
    f.Start();
    // One probe a tick passes the unreadable parasite probes five times each.
    for (int second = 0; second < 200 && f.Probe(5).NewValueCount == 0; ++second) {
        f.RunFor(1.0);
    }
    ASSERT_NEAR(f.Probe(5).Value, 7.0, 0.1);
    const int countBefore = f.Probe(5).NewValueCount;
    sim::TemperatureProbe& probe = SimProbe(f, 5);
    f.unit->WithLock([&](sim::SimulatedNodex&) { probe.FailNextConversions(1); });
    f.RunFor(120.0, [&] {
        ASSERT_LT(f.Probe(5).Value, 30.0);
        ASSERT_EQ(f.Probe(5).AlarmDelayCount, 0);
        ASSERT_EQ(f.Probe(5).AlarmState, kAlarmNone);
    });
    EXPECT_NEAR(f.Probe(5).Value, 7.0, 0.1);
    EXPECT_EQ(f.Probe(5).LostCount, 0);
    EXPECT_GT(f.Probe(5).NewValueCount, simultaneous ? 0 : countBefore);
    // (In the one-probe mode the parasite probes are lost, and say so.)
    EXPECT_EQ(f.AlarmFileText().find("Cold store"), std::string::npos) << f.AlarmFileText();
}

TEST(SimultaneousConversion, A85IsRetriedAndNeverAlarmedReadingOneProbeATick) {
    ExpectA85RetriedAndNeverAlarmed(false);
}

TEST(SimultaneousConversion, A85IsRetriedAndNeverAlarmedReadingWholeLines) {
    ExpectA85RetriedAndNeverAlarmed(true);
}

TEST(SimultaneousConversion, AProbeLostInARoundCountsItsFailuresAndRaisesTheLostAlarm) {
    LiveFixture f(kMixedLines);
    f.StartSession();
    AddMixedProbes(f);
    f.live.Cycle().SetSimultaneousConversion(true);
    f.Start();
    f.RunFor(10.0);
    const double lastGood = f.Probe(3).Value;
    ASSERT_NEAR(lastGood, 6.0, 0.2);
    sim::Rom rom{};
    std::transform(f.Probe(3).Rom.begin(), f.Probe(3).Rom.end(), rom.begin(),
                   [](std::int16_t byte) { return static_cast<std::uint8_t>(byte); });
    f.unit->AddFault({sim::FaultKind::kRemoved, rom, 0, f.clock.Timer()});
    const int opensBefore = f.ports.opens;
    std::vector<int> lostCounts;
    f.RunFor(400.0, [&] {
        const int lost = f.Probe(3).LostCount;
        if (lostCounts.empty() || lostCounts.back() != lost) {
            lostCounts.push_back(lost);
        }
    });
    ASSERT_GE(lostCounts.size(), 5u);
    EXPECT_EQ(std::vector<int>(lostCounts.begin(), lostCounts.begin() + 5),
              (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(f.ports.opens - opensBefore, 1) << "one network reset, at the fourth failure";
    EXPECT_EQ(f.Probe(3).AlarmState, kAlarmLost);
    EXPECT_DOUBLE_EQ(f.Probe(3).Value, lastGood);
    // The others on its line go on being read.
    EXPECT_EQ(f.Probe(1).LostCount, 0);
    EXPECT_GT(f.Probe(1).NewValueCount, 50);
}

// Writes the configuration byte of the DS18B20 at `index` into its EEPROM,
// while acquisition is stopped.
void SetResolution(LiveFixture& f, int index, std::uint8_t config) {
    f.live.Cycle().StopNetworkTimer();
    f.session.SelectLine(f.Probe(index).Line);
    std::vector<std::uint8_t> select{0x55};
    for (const std::int16_t byte : f.Probe(index).Rom) {
        select.push_back(static_cast<std::uint8_t>(byte));
    }
    std::vector<std::uint8_t> write = select;
    write.insert(write.end(), {0x4E, 0x4B, 0x46, config});
    std::vector<std::uint8_t> copy = select;
    copy.push_back(0x48);
    ASSERT_EQ(f.driver.OwBlockIO(f.session.Handle(), write), static_cast<int>(write.size()));
    ASSERT_EQ(f.driver.OwBlockIO(f.session.Handle(), copy), static_cast<int>(copy.size()));
    f.clock.Advance(0.02);
    f.live.Cycle().ResumeNetworkAsyncTimer();
}

TEST(SimultaneousConversion, TheWaitFollowsEachProbesResolutionAndARaisedOneCostsOneRound) {
    LiveFixture f(kMixedLines);
    f.StartSession();
    AddMixedProbes(f);
    f.live.Cycle().SetSimultaneousConversion(true);
    f.Start();
    f.RunFor(10.0);
    SetResolution(f, 5, 0x1F);
    f.RunFor(20.0);
    ASSERT_EQ(f.Probe(5).LostCount, 0);
    // At 9 bits its line's round waits 94 ms instead of 750: raised to 12
    // bits behind the station's back, the first round finds the conversion
    // unfinished, and the next one waits as long as 12 bits need.
    SetResolution(f, 5, 0x7F);
    std::vector<int> lostCounts;
    f.RunFor(30.0, [&] {
        if (lostCounts.empty() || lostCounts.back() != f.Probe(5).LostCount) {
            lostCounts.push_back(f.Probe(5).LostCount);
        }
    });
    EXPECT_EQ(lostCounts, (std::vector<int>{0, 1, 0}));
    EXPECT_NEAR(f.Probe(5).Value, 7.0, 0.1);
}

std::string HundredProbes() {
    std::string text = R"({"lines": [)";
    for (int line = 0; line < 3; ++line) {
        text += line == 0 ? "[" : ", [";
        const int count = line == 0 ? 34 : 33;
        for (int i = 0; i < count; ++i) {
            text += std::string(i == 0 ? "" : ", ") + R"({"type": "DS18B20", "temperature": )" +
                    std::to_string(line * 10 + i % 7) +
                    (i % 2 == 0 ? R"(, "power": "parasite"})" : "}");
        }
        text += "]";
    }
    return text + "]}";
}

TEST(SimultaneousConversion, AHundredProbesOnThreeLinesAreEachReadAtLeastEveryTenSeconds) {
    LiveFixture f(HundredProbes());
    f.StartSession();
    for (int line = 1; line <= 3; ++line) {
        for (int i = 0; i < (line == 1 ? 34 : 33); ++i) {
            f.AddProbe(line, i, "P");
        }
    }
    f.live.Cycle().SetSimultaneousConversion(true);
    f.Start();
    EXPECT_LE(LongestGapWhileRunning(f, 100, 60.0), 10.0);
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(f.Probe(i).LostCount, 0) << i;
    }
}

}  // namespace
}  // namespace qrv::testing
