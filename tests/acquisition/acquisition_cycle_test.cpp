#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "acquisition/alarm_texts.h"
#include "live_fixture.h"

namespace qrv::testing {
namespace {

using acquisition::kNoReadingYet;

const char* const kFourProbes = R"({"lines": [[
    {"type": "DS18B20", "temperature": 4.0},
    {"type": "DS18B20", "temperature": 5.0},
    {"type": "DS18B20", "temperature": 6.0},
    {"type": "DS18B20", "temperature": 7.0}], [], []]})";

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

int Attempts(const RecordingStatusDisplay& display, const std::string& name) {
    int n = 0;
    for (const std::string& call : display.Calls()) {
        n += call == "StatusLine(Probe:   " + name + ", #0066CC)" ? 1 : 0;
    }
    return n;
}

TEST(AcquisitionCycle, ThreeActiveProbesAreEachReadEverySixSecondsAndAnOffProbeNever) {
    LiveFixture f(kFourProbes);
    f.StartSession();
    for (int i = 0; i < 4; ++i) {
        f.AddProbe(1, i, "P" + std::to_string(i));
    }
    f.Probe(3).Status = kStatusOff;
    f.Start();

    std::map<int, std::vector<double>> reads;
    std::array<int, 4> seen{};
    f.RunFor(61.0, [&] {
        for (int i = 0; i < 4; ++i) {
            const int count = f.Probe(i).NewValueCount;
            if (count != seen[static_cast<std::size_t>(i)]) {
                reads[i].push_back(f.clock.Timer());
                seen[static_cast<std::size_t>(i)] = count;
            }
        }
    });
    for (int i = 0; i < 3; ++i) {
        ASSERT_GE(reads[i].size(), 9U) << i;
        for (std::size_t r = 1; r < reads[i].size(); ++r) {
            EXPECT_NEAR(reads[i][r] - reads[i][r - 1], 6.0, 0.1) << "probe " << i << " read " << r;
        }
        EXPECT_NEAR(f.Probe(i).Value, 4.0 + i, 0.1);
    }
    EXPECT_TRUE(reads[3].empty());
    EXPECT_EQ(f.Probe(3).Value, kNoReadingYet);
    EXPECT_EQ(Attempts(f.display, "P3"), 0);
    EXPECT_EQ(f.display.Snapshot().acquisitionColor, acquisition::kIndicatorDone);
}

TEST(AcquisitionCycle, AnUnpluggedProbeIsTriedFiveTimesThenPassedByKeepingItsValue) {
    LiveFixture f(kFourProbes);
    f.StartSession();
    f.AddProbe(1, 0, "Cold room");
    f.AddProbe(1, 1, "Freezer");
    f.Start();
    f.RunFor(12.0);
    ASSERT_NEAR(f.Probe(1).Value, 5.0, 0.1);
    const double lastGood = f.Probe(1).Value;

    sim::Rom rom{};
    for (std::size_t i = 0; i < rom.size(); ++i) {
        rom[i] = static_cast<std::uint8_t>(f.Probe(1).Rom[i]);
    }
    f.unit->AddFault({sim::FaultKind::kRemoved, rom, 0, f.clock.Timer()});
    // Run until the cycle is on the freezer again, then watch it fail.
    f.RunFor(0.0);
    while (f.live.Cycle().AcquireSensorIndex() != 1) {
        f.RunFor(1.0);
    }
    f.display.ClearCalls();
    const int opensBefore = f.ports.opens;
    std::vector<int> lostCounts;
    std::vector<int> opensAtFailure;
    int attempts = 0;
    f.RunFor(40.0, [&] {
        const int now = Attempts(f.display, "Freezer");
        if (now != attempts) {
            attempts = now;
            lostCounts.push_back(f.Probe(1).LostCount);
            opensAtFailure.push_back(f.ports.opens - opensBefore);
        }
    });
    ASSERT_GE(lostCounts.size(), 6U);
    // Five consecutive measurement steps on it, the network reset at the
    // fourth; afterwards one try per round.
    EXPECT_EQ(std::vector<int>(lostCounts.begin(), lostCounts.begin() + 5),
              (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(std::vector<int>(opensAtFailure.begin(), opensAtFailure.begin() + 5),
              (std::vector<int>{0, 0, 0, 1, 1}));
    EXPECT_EQ(opensAtFailure.back(), 1);
    EXPECT_DOUBLE_EQ(f.Probe(1).Value, lastGood);
    EXPECT_EQ(f.Probe(1).NewValueCount, 0);
    EXPECT_GT(Attempts(f.display, "Cold room"), 5);

    f.unit->ClearFaults();
    f.RunFor(10.0);
    EXPECT_EQ(f.Probe(1).LostCount, 0);
    EXPECT_GT(f.Probe(1).NewValueCount, 0);
}

TEST(AcquisitionCycle, AnUnpluggedUnitRaisesTheCommunicationAlarmOnceAndEndsItOnce) {
    LiveFixture f(kFourProbes);
    f.StartSession();
    f.AddProbe(1, 0, "Cold room");
    f.Start();
    f.RunFor(10.0);
    const double from = f.clock.Timer();
    f.unit->AddFault({sim::FaultKind::kUnplugged, {}, 0, from, from + 60.0});
    std::vector<int> errorCounts;
    f.RunFor(30.0, [&] { errorCounts.push_back(f.live.Cycle().InterfaceErrorCount()); });
    EXPECT_EQ(f.flags.CommunicationErrorAlarm, 1);
    EXPECT_EQ(Count(f.AlarmFileText(), ": Alarm: network lost"), 1);
    const auto third = std::find(errorCounts.begin(), errorCounts.end(), 100);
    ASSERT_NE(third, errorCounts.end());
    EXPECT_NE(std::find(errorCounts.begin(), third, 2), third);

    f.RunFor(60.0);
    EXPECT_EQ(f.flags.CommunicationErrorAlarm, 0);
    EXPECT_EQ(Count(f.AlarmFileText(), ": Alarm: network lost"), 1);
    EXPECT_EQ(Count(f.AlarmFileText(), ": Network comm-alarm ended."), 1);
    EXPECT_EQ(f.live.Cycle().InterfaceErrorCount(), 0);
    EXPECT_GT(f.Probe(0).NewValueCount, 0);
}

std::uint64_t Errors(LiveFixture& f, BusErrorKind kind) {
    return f.live.Cycle().BusErrors().Totals()[static_cast<std::size_t>(kind)];
}

TEST(AcquisitionCycle, NetworkFailuresAreCountedByKindAndNeverGoDown) {
    LiveFixture f(kFourProbes);
    f.StartSession();
    for (int i = 0; i < 4; ++i) {
        f.AddProbe(1, i, "P" + std::to_string(i));
    }
    f.Start();
    f.RunFor(20.0);
    EXPECT_EQ(f.live.Cycle().BusErrors().Totals(), BusErrorCounts{});

    const auto romOf = [&](int index) {
        sim::Rom rom{};
        for (std::size_t i = 0; i < rom.size(); ++i) {
            rom[i] = static_cast<std::uint8_t>(f.Probe(index).Rom[i]);
        }
        return rom;
    };
    const double from = f.clock.Timer();
    f.unit->AddFault({sim::FaultKind::kCorruptCrc, romOf(1), 0, from});
    f.unit->AddFault({sim::FaultKind::kStuckConversion, romOf(2), 0, from});
    BusErrorCounts last{};
    bool fell = false;
    const auto watch = [&] {
        const BusErrorCounts now = f.live.Cycle().BusErrors().Totals();
        for (std::size_t kind = 0; kind < kBusErrorKinds; ++kind) {
            fell = fell || now[kind] < last[kind];
        }
        last = now;
    };
    f.RunFor(60.0, watch);
    EXPECT_GE(Errors(f, BusErrorKind::kCrcError), 5U);
    EXPECT_GE(Errors(f, BusErrorKind::kBadReading), 5U);
    EXPECT_EQ(Errors(f, BusErrorKind::kUnitSilent), 0U);
    EXPECT_EQ(Errors(f, BusErrorKind::kNetworkLost), 0U);
    // The healthy probe kept being read among the failing ones.
    EXPECT_GT(f.Probe(0).NewValueCount, 0);

    // The unit's own chips answer every reset, so a probe taken off reads
    // as all ones and fails the check like damaged data.
    f.unit->ClearFaults();
    f.RunFor(20.0);
    const BusErrorCounts healthy = f.live.Cycle().BusErrors().Totals();
    f.unit->AddFault({sim::FaultKind::kRemoved, romOf(1), 0, f.clock.Timer()});
    f.RunFor(30.0, watch);
    EXPECT_GT(Errors(f, BusErrorKind::kCrcError),
              healthy[static_cast<std::size_t>(BusErrorKind::kCrcError)]);

    f.unit->ClearFaults();
    const double unplugged = f.clock.Timer();
    f.unit->AddFault({sim::FaultKind::kUnplugged, {}, 0, unplugged, unplugged + 30.0});
    const BusErrorCounts beforeUnplug = f.live.Cycle().BusErrors().Totals();
    f.RunFor(60.0, watch);
    EXPECT_GE(Errors(f, BusErrorKind::kUnitSilent), 3U);
    EXPECT_EQ(Errors(f, BusErrorKind::kNetworkLost), 1U);
    EXPECT_EQ(Errors(f, BusErrorKind::kNoResponse),
              beforeUnplug[static_cast<std::size_t>(BusErrorKind::kNoResponse)]);
    EXPECT_FALSE(fell);
}

// Humidity and switch probes report their failures as faults, not as error
// values: a probe that stops answering must still be tried again and end on
// the probe-lost path, and damaged data must still be read again, with the
// last good value kept meanwhile.
TEST(AcquisitionCycle, FailingHumidityAndSwitchProbesAreRetriedAndKeepTheirValues) {
    LiveFixture f(R"({"lines": [[
        {"type": "DS2438", "humidity": 45.0, "temperature": 21.0},
        {"type": "DS2406", "input": 1}], [], []]})");
    f.StartSession();
    f.AddProbe(1, 0, "Store room");
    f.AddProbe(1, 1, "Door");
    f.Start();
    f.RunFor(12.0);
    ASSERT_NEAR(f.Probe(0).Value, 45.0, 0.5);
    ASSERT_EQ(f.Probe(1).Value, 1.0);
    const double humidity = f.Probe(0).Value;

    const auto romOf = [&](int index) {
        sim::Rom rom{};
        for (std::size_t i = 0; i < rom.size(); ++i) {
            rom[i] = static_cast<std::uint8_t>(f.Probe(index).Rom[i]);
        }
        return rom;
    };
    const BusErrorCounts before = f.live.Cycle().BusErrors().Totals();
    const auto added = [&](BusErrorKind kind) {
        const auto at = static_cast<std::size_t>(kind);
        return f.live.Cycle().BusErrors().Totals()[at] - before[at];
    };
    f.unit->AddFault({sim::FaultKind::kRemoved, romOf(0), 0, f.clock.Timer()});
    f.unit->AddFault({sim::FaultKind::kCorruptCrc, romOf(1), 0, f.clock.Timer()});
    int mostLostHumidity = 0;
    int mostLostSwitch = 0;
    f.RunFor(60.0, [&] {
        mostLostHumidity = std::max(mostLostHumidity, f.Probe(0).LostCount);
        mostLostSwitch = std::max(mostLostSwitch, f.Probe(1).LostCount);
    });
    EXPECT_GE(mostLostHumidity, 5);
    EXPECT_GE(mostLostSwitch, 5);
    EXPECT_GE(added(BusErrorKind::kNoResponse), 5U);
    EXPECT_GE(added(BusErrorKind::kCrcError), 5U);
    EXPECT_EQ(added(BusErrorKind::kBadReading), 0U);
    EXPECT_DOUBLE_EQ(f.Probe(0).Value, humidity);
    EXPECT_EQ(f.Probe(1).Value, 1.0);
    EXPECT_EQ(f.Probe(0).NewValueCount, 0);
    EXPECT_EQ(f.Probe(1).NewValueCount, 0);

    f.unit->ClearFaults();
    f.RunFor(20.0);
    EXPECT_EQ(f.Probe(0).LostCount, 0);
    EXPECT_EQ(f.Probe(1).LostCount, 0);
    EXPECT_GT(f.Probe(0).NewValueCount, 0);
    EXPECT_GT(f.Probe(1).NewValueCount, 0);
}

TEST(AcquisitionCycle, StoresAreRequestedAtEachSamplingMinuteAndNoneWhilePaused) {
    LiveFixture f(kFourProbes, {2026, 1, 5, 23, 40, 0, 0});
    f.StartSession();
    f.AddProbe(1, 0, "Cold room");
    SystemSettings settings;
    settings.KeuzeSampleTime = 15;
    f.settings.Replace(settings);
    FeedSubscription events = f.feed.Subscribe();
    f.Start();
    std::vector<std::string> stores;
    const auto consume = [&] {
        const std::vector<LiveEvent> due = events.Drain().events;
        if (std::any_of(due.begin(), due.end(), [](const LiveEvent& event) {
                return event.kind == LiveEventKind::kStoreDue;
            })) {
            const LocalDateTime now = f.clock.Now();
            f.lastSampleTime = now.hour * 60 + now.minute;
            stores.push_back(std::to_string(now.day) + " " + std::to_string(f.lastSampleTime));
        }
    };
    f.RunFor(40 * 60.0, consume);
    EXPECT_EQ(stores, (std::vector<std::string>{"5 1425", "6 0", "6 15"}));

    f.live.Cycle().StopNetworkTimer();
    f.RunFor(30 * 60.0, consume);
    EXPECT_EQ(stores.size(), 3U);
    EXPECT_EQ(f.flags.AsyncWatchdogTimer, 0);  // paused ticks still reset it
}

TEST(AcquisitionCycle, AfterAStopTheTimerThreadLeavesSessionAndTableAlone) {
    LiveFixture f(kFourProbes);
    f.StartSession();
    f.AddProbe(1, 0, "Cold room");
    f.Start();
    f.RunFor(7.0);
    f.live.Cycle().StopNetworkTimer();
    EXPECT_EQ(f.display.Snapshot().statusLine, "");
    const auto bytes = f.unit->BytesFromHost();
    const int reads = f.Probe(0).NewValueCount;
    f.flags.AsyncWatchdogTimer = 50;
    f.RunFor(20.0);
    EXPECT_EQ(f.unit->BytesFromHost(), bytes);
    EXPECT_EQ(f.Probe(0).NewValueCount, reads);
    EXPECT_EQ(f.flags.AsyncWatchdogTimer, 0);

    f.live.Cycle().StartNetworkTimer();
    EXPECT_EQ(f.Probe(0).NewValueCount, 0);
    f.RunFor(10.0);
    EXPECT_GT(f.Probe(0).NewValueCount, 0);
}

TEST(AcquisitionCycle, WithOnlyAnOffProbeTheStatusLineSaysNoProbes) {
    LiveFixture f(kFourProbes);
    f.StartSession();
    f.AddProbe(1, 0, "Cold room");
    f.Probe(0).Status = kStatusOff;
    f.Start();
    EXPECT_EQ(f.live.Cycle().AcquireSensorIndex(), -1);
    f.RunFor(3.0);
    EXPECT_EQ(f.display.Snapshot().statusLine, "No probes");
    EXPECT_EQ(f.Probe(0).NewValueCount, 0);
}

// The relay's switches since a moment, as (on, time).
std::vector<std::pair<bool, double>> RelaySince(const sim::SimulatedNodex& unit, double since) {
    std::vector<std::pair<bool, double>> relay;
    for (const sim::OutputEvent& event : unit.OutputHistory()) {
        if (event.output == sim::UnitOutput::kRelay && event.time > since) {
            relay.emplace_back(event.on, event.time);
        }
    }
    return relay;
}

TEST(AcquisitionCycle, TheRelayTestReturnsAtOnceAndATimerEndsItFiveSecondsLater) {
    LiveFixture f(kFourProbes);
    f.StartSession();
    f.AddProbe(1, 0, "Cold room");
    f.Start();
    f.RunFor(4.0);
    const double before = f.clock.Timer();
    ASSERT_TRUE(f.live.Cycle().StartRelayTest());
    // Only the bus traffic of the switch passes, no wait for the relay.
    EXPECT_LT(f.clock.Timer() - before, 0.5);
    EXPECT_TRUE(f.unit->RelayOn());
    EXPECT_TRUE(f.live.Cycle().RelayTestRunning());
    EXPECT_FALSE(f.live.Cycle().StartRelayTest()) << "one test at a time";
    const int reads = f.Probe(0).NewValueCount;
    f.RunFor(4.9);
    EXPECT_TRUE(f.unit->RelayOn());
    EXPECT_EQ(f.Probe(0).NewValueCount, reads) << "acquisition paused during the test";
    f.RunFor(0.2);
    const auto relay = RelaySince(*f.unit, before - 1e-9);
    ASSERT_EQ(relay.size(), 2U);
    EXPECT_TRUE(relay[0].first);
    EXPECT_FALSE(relay[1].first);
    EXPECT_NEAR(relay[1].second - relay[0].second, 5.0, 0.1);
    EXPECT_FALSE(f.live.Cycle().RelayTestRunning());
    EXPECT_EQ(f.live.Cycle().NetWorkSuspended(), 0);
    f.RunFor(4.0);
    EXPECT_GT(f.Probe(0).NewValueCount, reads) << "acquisition resumed";

    f.live.Cycle().SuspendNetworkAsyncTimer();
    ASSERT_TRUE(f.live.Cycle().StartRelayTest());
    f.RunFor(6.0);
    EXPECT_FALSE(f.unit->RelayOn());
    EXPECT_EQ(f.live.Cycle().NetWorkSuspended(), 1) << "a pause stays a pause";
}

TEST(AcquisitionCycle, StoppingTheNetworkDuringTheRelayTestEndsItAndStaysStopped) {
    LiveFixture f(kFourProbes);
    f.StartSession();
    f.AddProbe(1, 0, "Cold room");
    f.Start();
    f.RunFor(4.0);
    const double before = f.clock.Timer();
    ASSERT_TRUE(f.live.Cycle().StartRelayTest());
    f.RunFor(2.0);
    f.live.Cycle().StopNetworkTimer();
    EXPECT_FALSE(f.unit->RelayOn());
    EXPECT_FALSE(f.live.Cycle().RelayTestRunning());
    EXPECT_EQ(f.live.Cycle().NetWorkSuspended(), 1) << "the timer's end must not resume it";
    f.RunFor(10.0);
    EXPECT_EQ(f.live.Cycle().NetWorkSuspended(), 1);
    EXPECT_EQ(RelaySince(*f.unit, before - 1e-9).size(), 2U);
}

TEST(AcquisitionCycle, WithAlarmsDisabledEveryAlarmStepClearsStatesAndOutputs) {
    LiveFixture f(kFourProbes);
    f.StartSession();
    f.AddProbe(1, 0, "Cold room");
    f.Probe(0).AlarmHigh = 0;
    f.Probe(0).AlarmDelay = 0;
    f.Probe(0).RelayEnable = 1;
    f.Start();
    f.RunFor(4.0);
    ASSERT_EQ(f.Probe(0).AlarmState, kAlarmHigh);
    ASSERT_TRUE(f.unit->RelayOn());
    ASSERT_TRUE(f.unit->RedLampOn());
    f.flags.AlarmUserStatus = 0;

    SystemSettings disabled = f.settings.Snapshot();
    disabled.GeneralAlarmEnable = 0;
    f.settings.Replace(disabled);
    f.RunFor(6.0);
    EXPECT_EQ(f.Probe(0).AlarmState, kAlarmNone);
    EXPECT_EQ(f.Probe(0).AlarmDelayCount, 0);
    EXPECT_EQ(f.flags.SensorAlarm, 0);
    EXPECT_EQ(f.flags.AlarmUserStatus, 1);
    EXPECT_FALSE(f.unit->RelayOn());
    EXPECT_FALSE(f.unit->RedLampOn());
    EXPECT_FALSE(f.display.Snapshot().alarmBannerShown);
    // The vanished alarm is not written to the alarm file.
    EXPECT_EQ(Count(f.AlarmFileText(), "Value OK:"), 0);
}

std::vector<LiveEventKind> Kinds(const std::vector<LiveEvent>& events, bool withReadings) {
    std::vector<LiveEventKind> kinds;
    for (const LiveEvent& event : events) {
        if (withReadings || event.kind != LiveEventKind::kReading) {
            kinds.push_back(event.kind);
        }
    }
    return kinds;
}

TEST(AcquisitionCycle, PublishesEachGoodReadingTheUnitLostAndBackAndEachPause) {
    LiveFixture f(kFourProbes);
    f.StartSession();
    f.AddProbe(1, 0, "Cold room");
    f.AddProbe(1, 1, "Cellar");
    f.Probe(1).AlarmHigh = 0;
    f.Probe(1).AlarmDelay = 0;
    f.Probe(1).Value = 5.0;  // as the installation's scan read it
    FeedSubscription events = f.feed.Subscribe();
    f.Start();
    f.RunFor(8.0);
    std::vector<LiveEvent> published = events.Drain().events;
    ASSERT_GE(published.size(), 4U);
    EXPECT_EQ(published[0].kind, LiveEventKind::kAlarmChanged);
    EXPECT_EQ(published[0].name, "Cellar");
    EXPECT_EQ(published[0].newAlarm, kAlarmHigh);
    EXPECT_EQ(published[1].kind, LiveEventKind::kAcquisitionResumed);
    int readings = 0;
    for (const LiveEvent& event : published) {
        if (event.kind == LiveEventKind::kReading) {
            const int index = readings++ % 2;
            EXPECT_EQ(event.index, index);
            EXPECT_EQ(event.name, index == 0 ? "Cold room" : "Cellar");
            EXPECT_EQ(event.rom, f.Probe(index).Rom);
            EXPECT_NEAR(event.value, 4.0 + index, 0.1);
        }
    }
    EXPECT_EQ(readings, 4) << "one reading every two seconds";
    // Stamped when it happened: the last reading within the last two seconds.
    EXPECT_EQ(published.back().time.minute, f.clock.Now().minute);
    EXPECT_GE(published.back().time.second, f.clock.Now().second - 2);

    const double from = f.clock.Timer();
    f.unit->AddFault({sim::FaultKind::kUnplugged, {}, 0, from, from + 30.0});
    f.RunFor(60.0);
    const std::vector<LiveEventKind> lostAndBack{LiveEventKind::kNetworkLost,
                                                 LiveEventKind::kNetworkBack};
    EXPECT_EQ(Kinds(events.Drain().events, false), lostAndBack);

    // A failed reading publishes nothing; a stop, the relay test and a start
    // each pause or resume once.
    for (int index = 0; index < 2; ++index) {
        sim::Rom rom{};
        for (std::size_t i = 0; i < rom.size(); ++i) {
            rom[i] = static_cast<std::uint8_t>(f.Probe(index).Rom[i]);
        }
        f.unit->AddFault({sim::FaultKind::kRemoved, rom, 0, f.clock.Timer()});
    }
    f.RunFor(2.0);
    EXPECT_EQ(Kinds(events.Drain().events, true), std::vector<LiveEventKind>{});
    f.live.Cycle().StartRelayTest();
    f.RunFor(5.5);
    f.live.Cycle().StopNetworkTimer();
    f.live.Cycle().StopNetworkTimer();
    f.live.Cycle().StartRelayTest();
    f.RunFor(5.5);
    f.live.Cycle().StartNetworkTimer();
    EXPECT_EQ(Kinds(events.Drain().events, true),
              (std::vector<LiveEventKind>{
                  LiveEventKind::kAcquisitionPaused, LiveEventKind::kAcquisitionResumed,
                  LiveEventKind::kAcquisitionPaused, LiveEventKind::kAcquisitionResumed}));
}

}  // namespace
}  // namespace qrv::testing
