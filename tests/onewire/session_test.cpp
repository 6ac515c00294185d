// The session functions through the real driver and the simulated unit.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "onewire/port_check.h"
#include "onewire/tracing_port.h"
#include "onewire/unit_outputs.h"
#include "sim_station.h"

namespace qrv::testing {
namespace {

using sim::MakeRom;
using sim::Rom;

class CollectingLog final : public EventLog {
  public:
    void LogMessageToDisk(std::string_view message) override { lines.emplace_back(message); }
    std::vector<std::string> lines;
};

std::vector<bool> Lines(sim::SimulatedNodex& unit) {
    return {unit.LineConnected(1), unit.LineConnected(2), unit.LineConnected(3)};
}

TEST(Session, ZoekNodexNumbersFindsTheUnitsDevicesInSearchOrder) {
    SimStation station;
    station.Start();
    EXPECT_EQ(ToSimRom(station.session.Nodex2406Rom), station.unit->Ds2406Rom());
    std::vector<Rom> couplers = RomsOf(*station.unit, 0, "DS2409");
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(ToSimRom(station.session.Nodex2409Rom[i]), couplers[i]);
    }
}

TEST(Session, AFourthCouplerIsIgnoredAndLogged) {
    std::vector<Rom> couplers{MakeRom(0x1F, 1), MakeRom(0x1F, 2), MakeRom(0x1F, 3),
                              MakeRom(0x1F, 4)};
    SimStation station(std::make_shared<sim::SimulatedNodex>(MakeRom(0x12, 9), couplers));
    CollectingLog log;
    NodexSession session(station.driver, station.ports, station.clock, nullptr, &log);
    ASSERT_EQ(session.StartOneWireSession(), SessionStatus::kOk);
    ASSERT_EQ(session.ZoekNodexNumbers(), SessionStatus::kOk);
    std::sort(couplers.begin(), couplers.end(), sim::SearchOrderLess);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(ToSimRom(session.Nodex2409Rom[i]), couplers[i]);
    }
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_NE(log.lines[0].find(sim::RomToHex(couplers[3])), std::string::npos);
}

TEST(Session, ATrunkWithoutCouplersStillSucceedsWithEmptyEntries) {
    SimStation station(std::make_shared<sim::SimulatedNodex>(MakeRom(0x12, 5), std::vector<Rom>{}));
    station.session.Nodex2409Rom[1].fill(7);
    station.Start();
    for (const RomCode& rom : station.session.Nodex2409Rom) {
        EXPECT_EQ(rom, RomCode{});
    }
    // Switching a line that has no coupler selects nothing else instead.
    EXPECT_EQ(station.session.SelectLine(2), SessionStatus::kCouplerNotSelected);
}

TEST(Session, ZoekNodexNumbersKeepsTheOldDs2406WhenNoneAnswersAndFailsWithoutPresence) {
    SimStation station;
    station.Start();
    const RomCode ds2406 = station.session.Nodex2406Rom;
    station.unit->AddFault({sim::FaultKind::kShort, {}, 0, 0, 1e9});
    EXPECT_EQ(station.session.ZoekNodexNumbers(), SessionStatus::kNoPresence);
    EXPECT_EQ(station.session.Nodex2406Rom, ds2406);
    EXPECT_EQ(station.session.Nodex2409Rom[0], RomCode{});
}

TEST(Session, SelectLineTakesModuloAndBounds) {
    SimStation station;
    station.Start();
    EXPECT_EQ(station.session.SelectLine(102), SessionStatus::kOk);
    EXPECT_EQ(Lines(*station.unit), (std::vector<bool>{false, true, false}));
    EXPECT_EQ(station.session.SelectLine(7), SessionStatus::kOk);
    EXPECT_EQ(Lines(*station.unit), (std::vector<bool>{false, false, true}));
    EXPECT_EQ(station.session.SelectLine(255), SessionStatus::kOk);
    EXPECT_EQ(Lines(*station.unit), (std::vector<bool>{true, true, true}));
    EXPECT_EQ(station.session.SelectLine(-5), SessionStatus::kOk);
    EXPECT_EQ(Lines(*station.unit), (std::vector<bool>{false, false, false}));
    EXPECT_EQ(station.session.SelectLine(1), SessionStatus::kOk);
    EXPECT_EQ(Lines(*station.unit), (std::vector<bool>{true, false, false}));
}

TEST(Session, CouplerNumbersOutsideOneToThreeAreClamped) {
    SimStation station;
    station.Start();
    EXPECT_EQ(station.session.SwitchInternal2409Mux(9, 1), SessionStatus::kOk);
    EXPECT_TRUE(station.unit->LineConnected(3));
    EXPECT_EQ(station.session.SwitchInternal2409Mux(0, 1), SessionStatus::kOk);
    EXPECT_TRUE(station.unit->LineConnected(1));
    EXPECT_EQ(station.session.SwitchInternal2409Mux(-4, 0), SessionStatus::kOk);
    EXPECT_FALSE(station.unit->LineConnected(1));
}

// Match ROM as it goes out in data mode (E3 doubled) and as it comes back.
std::string MatchRomOut(const Rom& rom) {
    std::string text = "55";
    for (const std::uint8_t byte : rom) {
        text += byte == 0xE3 ? " E3 E3" : " " + HexBytes(std::span(&byte, 1));
    }
    return text;
}

std::string MatchRomBack(const Rom& rom) {
    return HexBytes(MatchRomThen(rom, {}));
}

TEST(CouplerSwitch, CountsOnlyWhenTheCouplerSendsTheCommandBackAfterIt) {
    SimStation station;
    station.Start();
    const Rom coupler = RomsOf(*station.unit, 0, "DS2409").at(1);
    station.TakeLog();
    EXPECT_EQ(station.session.SwitchInternal2409Mux(2, 1), SessionStatus::kOk);
    EXPECT_EQ(station.TakeLog(),
              (std::vector<std::string>{"-> C5 E1 " + MatchRomOut(coupler),
                                        "<- CD " + MatchRomBack(coupler), "-> A5 FF", "<- A5 A5"}));
    EXPECT_TRUE(station.unit->LineConnected(2));
    EXPECT_EQ(station.session.SwitchInternal2409Mux(2, 0), SessionStatus::kOk);
    EXPECT_EQ(station.TakeLog(),
              (std::vector<std::string>{"-> E3 C5 E1 " + MatchRomOut(coupler),
                                        "<- CD " + MatchRomBack(coupler), "-> 66 FF", "<- 66 66"}));
    EXPECT_FALSE(station.unit->LineConnected(2));

    // A ROM that no coupler has: the trunk answers the reset and the command
    // reads back as written, but no confirmation follows.
    const Rom nobody = MakeRom(0x1F, 0x4242);
    station.session.Nodex2409Rom[1] = ToRomCode(nobody);
    EXPECT_EQ(station.session.SwitchInternal2409Mux(2, 1), SessionStatus::kLineOnNotConfirmed);
    EXPECT_EQ(station.TakeLog(),
              (std::vector<std::string>{"-> E3 C5 E1 " + MatchRomOut(nobody),
                                        "<- CD " + MatchRomBack(nobody), "-> A5 FF", "<- A5 FF"}));
    EXPECT_EQ(station.session.SwitchInternal2409Mux(2, 0), SessionStatus::kLineOffNotConfirmed);
}

TEST(CouplerSwitch, SelectLineRetriesOnceAfterAResynchronisationAndReportsTheFirstFailure) {
    SimStation station;
    station.Start();
    const int handle = station.session.Handle();
    station.session.Nodex2409Rom[1] = ToRomCode(MakeRom(0x1F, 0x4242));
    const BridgeStats before = station.driver.LinkStats(handle);
    station.TakeLog();
    EXPECT_EQ(station.session.SelectLine(2), SessionStatus::kLineOnNotConfirmed);
    const auto log = station.TakeLog();
    const auto unconfirmed = std::count(log.begin(), log.end(), "<- A5 FF");
    EXPECT_EQ(unconfirmed, 2) << "the first try and one retry";
    const auto firstTry = std::find(log.begin(), log.end(), "<- A5 FF");
    const auto resync = std::find(firstTry, log.end(), "break");
    EXPECT_NE(resync, log.end()) << "the retry comes after a resynchronisation";
    EXPECT_EQ(std::find(resync, log.end(), "<- A5 FF") + 1, log.end()) << "and nothing after";
    EXPECT_EQ(station.driver.LinkStats(handle).resyncs, before.resyncs + 1);

    // An off command that fails does not stop the others: the wanted line is
    // on, so that a probe there can still be read by its ROM, but the result
    // says the lines are not as wanted.
    EXPECT_EQ(station.session.SelectLine(1), SessionStatus::kLineOffNotConfirmed);
    EXPECT_EQ(Lines(*station.unit), (std::vector<bool>{true, false, false}));
    EXPECT_EQ(station.session.SelectLine(3), SessionStatus::kLineOffNotConfirmed);
    EXPECT_EQ(Lines(*station.unit), (std::vector<bool>{false, false, true}));
}

TEST(CouplerSwitch, ALinkBackInTimeForTheRetrySwitchesTheLineALongerSilenceFailsIt) {
    SimStation station;
    station.Start();
    const int handle = station.session.Handle();
    const std::vector<Rom> couplers = RomsOf(*station.unit, 0, "DS2409");
    // The confirmation of line 2's switch is lost; the link is back within 0.05 s.
    sim::LinkFault drop;
    drop.after = MatchRomThen(couplers.at(1), {0xA5});
    drop.seconds = 0.05;
    station.unit->AddLinkFault(drop);
    const BridgeStats before = station.driver.LinkStats(handle);
    EXPECT_EQ(station.session.SelectLine(2), SessionStatus::kOk);
    EXPECT_EQ(Lines(*station.unit), (std::vector<bool>{false, true, false}));
    EXPECT_EQ(station.driver.LinkStats(handle).failedExchanges, before.failedExchanges + 1);
    EXPECT_GE(station.driver.LinkStats(handle).resyncs, before.resyncs + 1);

    // Silent for 0.4 s after line 1 is switched off: longer than the retry.
    drop.after = MatchRomThen(couplers.at(0), {0x66});
    drop.seconds = 0.4;
    station.unit->AddLinkFault(drop);
    EXPECT_NE(station.session.SelectLine(3), SessionStatus::kOk);
    station.clock.Advance(0.4);
    EXPECT_EQ(station.session.SelectLine(3), SessionStatus::kOk);
    EXPECT_EQ(Lines(*station.unit), (std::vector<bool>{false, false, true}));
}

TEST(Session, FlushOwSessionsGivesUpAfterThirtyRetriesOnABusyPort) {
    SimStation station;
    const int other = station.driver.OwStartSession(1);
    ASSERT_GT(other, 0);
    const double before = station.clock.Timer();
    EXPECT_EQ(station.session.FlushOwSessions(), SessionStatus::kPortBusy);
    EXPECT_NEAR(station.clock.Timer() - before, 3.0, 0.05);
    station.driver.OwEndSession(other);
    EXPECT_EQ(station.session.FlushOwSessions(), SessionStatus::kOk);
    EXPECT_EQ(station.session.StopOneWireSession(),
              SessionStatus::kNothingToEnd);  // nothing left to end
}

TEST(Session, CableTimingIsWrittenAndAFailedWriteShowsThePopup) {
    SimStation station;
    station.Start();
    station.session.SetBannerTitle("QRV banner");
    EXPECT_EQ(station.session.Zet2480TimingToLongCable(), SessionStatus::kOk);
    EXPECT_EQ(station.unit->BridgeParameter(1), 3);
    EXPECT_EQ(station.unit->BridgeParameter(4), 2);
    EXPECT_EQ(station.unit->BridgeParameter(5), 5);
    EXPECT_TRUE(station.dialogs.Popups().empty());

    // The read goes through, then the line goes silent before the write.
    station.ports.writeBudget = 3;
    EXPECT_EQ(station.session.SetCableTiming2480(1), SessionStatus::kTimingNotWritten);
    ASSERT_EQ(station.dialogs.Popups().size(), 1u);
    EXPECT_EQ(station.dialogs.Popups()[0].title, "QRV banner");
    EXPECT_EQ(station.dialogs.Popups()[0].message, kTimingErrorText);

    // A failed read is silent and counts as success.
    station.ports.writeBudget = 0;
    EXPECT_EQ(station.session.SetCableTiming2480(1), SessionStatus::kOk);
    EXPECT_EQ(station.dialogs.Popups().size(), 1u);
}

TEST(Session, ResetNetworkFromAsyncRestartsTheSessionAndTheTiming) {
    SimStation station;
    station.Start();
    const int oldHandle = station.session.Handle();
    const double before = station.clock.Timer();
    EXPECT_EQ(station.session.ResetNetworkFromAsync(), SessionStatus::kOk);
    EXPECT_GE(station.clock.Timer() - before, 1.0);
    EXPECT_NE(station.session.Handle(), oldHandle);
    EXPECT_GT(station.session.Handle(), 0);
    EXPECT_EQ(station.unit->BridgeParameter(4), 2);
    EXPECT_EQ(station.session.ResetTheNodex(), 1);
}

// The program log and the tool show a failed step by the number it always
// had; a field report that quotes one must still mean the same step.
TEST(Session, StatusesKeepTheNumbersTheLogShows) {
    using enum SessionStatus;
    const std::vector<std::pair<SessionStatus, int>> numbers{{kOk, 0},
                                                             {kPortRefused, -1000},
                                                             {kPortBusy, -1001},
                                                             {kBridgeSilent, -1002},
                                                             {kNothingToEnd, -1003},
                                                             {kNoPresence, -3},
                                                             {kTimingNotWritten, -1},
                                                             {kCouplerNotSelected, -499},
                                                             {kCouplerNoAnswer, -498},
                                                             {kLineOnNotConfirmed, -1},
                                                             {kLineOffNotConfirmed, -2}};
    for (const auto& [status, number] : numbers) {
        EXPECT_EQ(SessionStatusCode(status), number) << static_cast<int>(status);
    }
}

TEST(Session, StartFailsWithTheSpecifiedCodes) {
    SimStation station;
    station.session.SerialPort = 6;  // mapped to nothing
    EXPECT_EQ(station.session.StartOneWireSession(), SessionStatus::kPortRefused);
    station.session.SerialPort = 1;
    const int other = station.driver.OwStartSession(1);
    EXPECT_EQ(station.session.StartOneWireSession(), SessionStatus::kPortBusy);
    station.driver.OwEndSession(other);
    station.unit->AddFault({sim::FaultKind::kUnpowered, {}, 0, 0, 1e9});
    EXPECT_EQ(station.session.StartOneWireSession(), SessionStatus::kBridgeSilent);
}

TEST(PortCheck, CtsFollowsThePowerLinesOfTheSimulatedUnit) {
    SimStation station;
    EXPECT_EQ(station.session.CheckSerialPortConnection(1), PortCheckResult::kUnitAnswers);
    station.unit->AddFault({sim::FaultKind::kUnplugged, {}, 0, station.clock.Timer(), 1e9});
    EXPECT_EQ(station.session.CheckSerialPortConnection(1), PortCheckResult::kNoUnit);
    station.unit->ClearFaults();
    EXPECT_EQ(station.session.CheckSerialPortConnection(1), PortCheckResult::kUnitAnswers);
    EXPECT_EQ(station.session.CloseSerialPortConnection(), 0);
}

TEST(Session, PowerLossResetsTheUnitsOutputsAndTheNextStartFindsItAgain) {
    SimStation station;
    station.Start();
    ASSERT_EQ(AlarmRelaisOn(station.session), OutputResult::kDone);
    EXPECT_TRUE(station.unit->RelayOn());
    EXPECT_EQ(station.session.StopOneWireSession(), SessionStatus::kOk);
    EXPECT_EQ(station.session.CloseSerialPortConnection(), 0);  // RTS and DTR cleared
    EXPECT_FALSE(station.unit->RelayOn());
    station.Start();
    EXPECT_FALSE(station.unit->RelayOn());
}

}  // namespace
}  // namespace qrv::testing
