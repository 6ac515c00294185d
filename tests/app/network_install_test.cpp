#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "records/calibration.h"
#include "sensors/rom_text.h"
#include "sim/switch_devices.h"
#include "sim_shell_fixture.h"
#include "station/network_install.h"
#include "support/popup_answers.h"

namespace qrv::testing {
namespace {

constexpr int kRetry = 1;
constexpr int kOff = 2;
constexpr int kDelete = 3;
constexpr std::string_view kLocating = "Locating network probes...";
constexpr std::string_view kMissing = "Unable to find probe named:";

class NetworkInstall : public ::testing::Test, protected SimShellFixture {
  protected:
    explicit NetworkInstall(
        std::shared_ptr<sim::SimulatedNodex> simulated = sim::MakeSampleNetwork())
        : SimShellFixture(std::move(simulated)) {}

    void Install() { shell::DoeInstallNetwork(state, simServices); }

    // The sample network's probes, all named, plus probes that no line holds.
    SensorTable SampleWithAbsent(std::initializer_list<std::pair<const char*, int>> absent) {
        SensorTable table = sim::SampleProbeTable();
        std::uint64_t serial = 0xF00D;
        for (const auto& [name, status] : absent) {
            const int index = table.Append1820ToDataStruct(ToCode(sim::MakeRom(0x28, serial++)), 2);
            table.DefineSensorTypeAndUnits(index);
            table.SensorArray[static_cast<std::size_t>(index)].Name = name;
            table.SensorArray[static_cast<std::size_t>(index)].Status = status;
        }
        return table;
    }

    std::vector<std::string> MissingQuestions() { return QuestionsContaining(kMissing); }
};

TEST_F(NetworkInstall, EmptyTableAppendsEveryProbeAsNewAndNamesEachInTheEditor) {
    probeEditor.autoNamePrefix = "Probe ";
    for (int i = 0; i < 15; ++i) {
        dialogs.QueueButton(kSave);
    }

    Install();

    ASSERT_EQ(state.sensors.Lock()->GetMax1820Index(), 14) << "five probes on each of three lines";
    for (int line = 1; line <= 3; ++line) {
        for (const RomCode& rom : ProbesOnLine(line)) {
            const int index = state.sensors.Lock()->Find1820inDataStruct(rom);
            ASSERT_GE(index, 0) << RomToHex(rom);
            const SensorRecord& record =
                state.sensors.Lock()->SensorArray[static_cast<std::size_t>(index)];
            EXPECT_EQ(record.Line, 100 + line) << "new probes keep their mark until reloaded";
            EXPECT_EQ(record.FoundOnNetwork, 1);
            EXPECT_FALSE(IsErrorValue(record.Value)) << record.Name << " " << record.Value;
        }
    }
    ASSERT_EQ(probeEditor.openings.size(), 15u);
    for (const auto& opening : probeEditor.openings) {
        EXPECT_TRUE(opening.newProbeLine);
        EXPECT_FALSE(opening.navigation);
        EXPECT_EQ(opening.values.name, "") << "a new probe's blank name shows as an empty box";
    }
    EXPECT_EQ(probeEditor.unfinished, 0);
    EXPECT_EQ(dialogs.UnexpectedPopups(), 0);
    EXPECT_EQ(StatusLineCount("New probe found..."), 15);
    EXPECT_EQ(StatusLineCount(kLocating), 1) << "nothing was missing: one pass";

    const SensorTable stored = ReadStationSensorFile();
    ASSERT_EQ(stored.GetMax1820Index(), 14);
    EXPECT_EQ(stored.SensorArray[0].Name, "Probe 1");
    EXPECT_EQ(stored.SensorArray[14].Name, "Probe 15");
    EXPECT_LE(stored.SensorArray[7].Line, 3) << "the file never holds the new-probe mark";

    EXPECT_EQ(state.NetWorkInstalled, 1);
    EXPECT_EQ(monitoring.Stores().LastSampleTime, 0);
    Serve();
    const LocalDateTime now = clock.Now();
    EXPECT_EQ(monitoring.Stores().LastSampleTime, now.hour * 60 + now.minute)
        << "the first block is stored as the station takes its event";
    EXPECT_EQ(networkTimer.stops, 1);
    EXPECT_EQ(networkTimer.starts, 1);
    EXPECT_NE(LogText().find("Network Installed OK"), std::string::npos);
    EXPECT_FALSE(display.Snapshot().installNoticeShown);
    EXPECT_FALSE(display.Snapshot().menuBarDimmed);
    Serve();
    EXPECT_EQ(view.probes.size(), 15u) << "the probe menus list the new names";
}

TEST_F(NetworkInstall, OtherFamiliesOnTheLinesAreNeitherAppendedNorRead) {
    WriteStationSensorFile(sim::SampleProbeTable());

    Install();

    for (int index = 0; index <= state.sensors.Lock()->GetMax1820Index(); ++index) {
        const int family =
            state.sensors.Lock()->SensorArray[static_cast<std::size_t>(index)].Rom[0];
        EXPECT_NE(family, 0x05);
        EXPECT_NE(family, 0x01);
    }
    int toggleSwitches = 0;
    for (const auto& [line, device] : unit->Devices()) {
        if (auto* ds2405 = dynamic_cast<sim::Ds2405Switch*>(device)) {
            ++toggleSwitches;
            EXPECT_EQ(ds2405->Toggles(), 0) << "a DS2405 toggles whenever it is addressed";
        }
    }
    EXPECT_EQ(toggleSwitches, 3);
    EXPECT_TRUE(probeEditor.openings.empty()) << "every probe was known";
    EXPECT_EQ(dialogs.Popups().size(), 0u);
}

TEST_F(NetworkInstall, TheScansReadingsAreCorrectedLikeEveryOtherReading) {
    const SensorTable sample = sim::SampleProbeTable();
    WriteStationSensorFile(sample);
    records::Calibration calibration;
    calibration.rom = sample.SensorArray[0].Rom;
    calibration.offset = 10.0;
    records::CalibrationBook book;
    book.Set(calibration);
    ASSERT_TRUE(records::WriteCalibrationFile(
        state.paths.CurrentDirName / records::kCalibrationFileName, book));

    Install();

    // The first alarm step and the first store come before the acquisition
    // reads the probe again: they must see the corrected value already.
    const SensorRecord calibrated = state.sensors.Lock()->SensorArray[0];
    ASSERT_FALSE(IsErrorValue(calibrated.RawValue));
    EXPECT_DOUBLE_EQ(calibrated.Value, calibrated.RawValue + 10.0);
    const SensorRecord other = state.sensors.Lock()->SensorArray[1];
    EXPECT_EQ(other.Value, other.RawValue);
}

TEST_F(NetworkInstall, MissingActiveProbeCostsASilentSecondPassThenTheQuestion) {
    WriteStationSensorFile(SampleWithAbsent({{"Walk-in", kStatusActive}}));
    dialogs.QueueButton(kOff);

    Install();

    EXPECT_EQ(StatusLineCount(kLocating), 2);
    ASSERT_EQ(MissingQuestions().size(), 1u);
    EXPECT_EQ(MissingQuestions()[0],
              "Unable to find probe named:   Walk-in .\n\nDo you want to RETRY the search, set the "
              "probe to OFF-mode, or delete the probe?\n\n");
    EXPECT_EQ(dialogs.Popups()[0].buttons,
              (std::vector<std::string>{"__Retry", "__Off", "__Delete"}));
    EXPECT_EQ(ReadStationSensorFile().SensorArray[15].Status, kStatusOff);
    EXPECT_EQ(state.NetWorkInstalled, 1);
}

TEST_F(NetworkInstall, MissingProbeThatIsOffCostsNeitherPassNorQuestion) {
    WriteStationSensorFile(SampleWithAbsent({{"Spare", kStatusOff}}));

    Install();

    EXPECT_EQ(StatusLineCount(kLocating), 1);
    EXPECT_TRUE(dialogs.Popups().empty());
    EXPECT_EQ(state.sensors.Lock()->GetMax1820Index(), 15);
}

TEST_F(NetworkInstall, DeleteTwiceShrinksTheTableByTwo) {
    WriteStationSensorFile(
        SampleWithAbsent({{"Gone A", kStatusActive}, {"Gone B", kStatusInhibit}}));
    dialogs.QueueButton(kDelete);
    dialogs.QueueButton(kDelete);

    Install();

    ASSERT_EQ(MissingQuestions().size(), 2u);
    EXPECT_NE(MissingQuestions()[1].find("Gone B"), std::string::npos)
        << "the probe that moved into the deleted slot is asked about too";
    EXPECT_EQ(state.sensors.Lock()->GetMax1820Index(), 14);
    EXPECT_EQ(ReadStationSensorFile().GetMax1820Index(), 14);
    EXPECT_EQ(dialogs.UnexpectedPopups(), 0);
}

TEST_F(NetworkInstall, RetryUndoesTheAnswersGivenEarlierInItsPass) {
    WriteStationSensorFile(
        SampleWithAbsent({{"Gone A", kStatusActive}, {"Gone B", kStatusActive}}));
    dialogs.QueueButton(kOff);
    dialogs.QueueButton(kRetry);
    dialogs.QueueButton(kDelete);
    dialogs.QueueButton(kOff);

    Install();

    const auto questions = MissingQuestions();
    ASSERT_EQ(questions.size(), 4u);
    EXPECT_NE(questions[0].find("Gone A"), std::string::npos);
    EXPECT_NE(questions[1].find("Gone B"), std::string::npos);
    EXPECT_NE(questions[2].find("Gone A"), std::string::npos) << "Off was undone by the retry";
    EXPECT_NE(questions[3].find("Gone B"), std::string::npos);
    EXPECT_EQ(StatusLineCount(kLocating), 3);
    const SensorTable stored = ReadStationSensorFile();
    ASSERT_EQ(stored.GetMax1820Index(), 15);
    EXPECT_EQ(stored.SensorArray[15].Name, "Gone B");
    EXPECT_EQ(stored.SensorArray[15].Status, kStatusOff);
}

TEST_F(NetworkInstall, AProbeMovedToAnotherLineFollowsIt) {
    SensorTable table = sim::SampleProbeTable();
    const RomCode moved = ProbesOnLine(1)[2];
    table.SensorArray[static_cast<std::size_t>(table.Find1820inDataStruct(moved))].Line = 3;
    WriteStationSensorFile(table);

    Install();

    const int index = state.sensors.Lock()->Find1820inDataStruct(moved);
    EXPECT_EQ(state.sensors.Lock()->SensorArray[static_cast<std::size_t>(index)].Line, 1);
    EXPECT_EQ(ReadStationSensorFile().SensorArray[static_cast<std::size_t>(index)].Line, 1);
    EXPECT_TRUE(dialogs.Popups().empty());
}

// The link goes silent for 0.4 s right after the switch of line 2 went out.
void DropAtLineTwo(sim::SimulatedNodex& unit) {
    std::vector<sim::Rom> couplers;
    for (const auto& [line, device] : unit.Devices()) {
        if (line == 0 && device->Kind() == "DS2409") {
            couplers.push_back(device->GetRom());
        }
    }
    sim::LinkFault drop;
    drop.after.assign(1 + 8 + 1, 0x55);
    std::copy(couplers.at(1).begin(), couplers.at(1).end(), drop.after.begin() + 1);
    drop.after.back() = 0xA5;
    unit.AddLinkFault(drop);
}

TEST_F(NetworkInstall, ALineThatCannotBeSwitchedIsNotSearchedAndItsProbesKeepTheirLine) {
    const SensorTable sample = sim::SampleProbeTable();
    WriteStationSensorFile(sample);
    DropAtLineTwo(*unit);

    Install();

    EXPECT_EQ(StatusLineCount("Network line could not be switched on, not searched: 2"), 1);
    EXPECT_NE(LogText().find("Line 2 not searched: its coupler did not confirm the switch"),
              std::string::npos)
        << LogText();
    EXPECT_EQ(StatusLineCount(kLocating), 2) << "its probes were missing: a second pass";
    EXPECT_TRUE(dialogs.Popups().empty()) << "the second pass found them";
    const SensorTable stored = ReadStationSensorFile();
    ASSERT_EQ(stored.GetMax1820Index(), sample.GetMax1820Index());
    for (int line = 1; line <= 3; ++line) {
        for (const RomCode& rom : ProbesOnLine(line)) {
            const int index = stored.Find1820inDataStruct(rom);
            ASSERT_GE(index, 0);
            EXPECT_EQ(stored.SensorArray[static_cast<std::size_t>(index)].Line, line);
        }
    }
}

TEST_F(NetworkInstall, AnUnpluggedUnitAsksRetryOrCancelAndCancelLeavesTheAlarm) {
    WriteStationSensorFile(sim::SampleProbeTable());
    unit->AddFault({sim::FaultKind::kUnplugged});
    dialogs.QueueButton(1);  // Retry
    dialogs.QueueButton(2);  // Cancel

    Install();

    const auto questions = QuestionsContaining("Interface unit not responding.");
    ASSERT_EQ(questions.size(), 2u);
    EXPECT_EQ(dialogs.Popups()[0].buttons, (std::vector<std::string>{"__Retry", "__Cancel"}));
    EXPECT_EQ(state.CommunicationErrorAlarm, 1);
    EXPECT_EQ(state.NetWorkInstalled, 0);
    EXPECT_EQ(networkTimer.starts, 0) << "acquisition stays paused";
    EXPECT_TRUE(display.Snapshot().alarmBannerShown);
    EXPECT_NE(LogText().find("Network Not Installed"), std::string::npos);
    EXPECT_FALSE(display.Snapshot().menuBarDimmed);
}

TEST_F(NetworkInstall, RetryAfterTheUnitIsBackInstalls) {
    WriteStationSensorFile(sim::SampleProbeTable());
    // One attempt takes about 2.5 s (two port checks); the cable is back for
    // the second.
    unit->AddFault({sim::FaultKind::kUnplugged, {}, 0, 0, 2.6});
    dialogs.QueueButton(1);  // Retry

    Install();

    EXPECT_EQ(QuestionsContaining("Interface unit not responding.").size(), 1u);
    EXPECT_EQ(state.CommunicationErrorAlarm, 0);
    EXPECT_EQ(state.NetWorkInstalled, 1);
    EXPECT_EQ(networkTimer.starts, 1);
}

TEST_F(NetworkInstall, ASuccessFromOffLineModeSwitchesToNormalAndDemoModeRefuses) {
    WriteStationSensorFile(sim::SampleProbeTable());
    state.WantedUserMode = kModeOffLine;
    Install();
    EXPECT_EQ(state.WantedUserMode, kModeNormal);
    EXPECT_FALSE(display.Snapshot().modeTextShown);

    state.WantedUserMode = kModeDemo;
    const int stops = networkTimer.stops;
    Install();
    ASSERT_EQ(dialogs.Popups().size(), 1u);
    EXPECT_EQ(dialogs.Popups()[0].message, "This action is not possible in the current mode.\n");
    EXPECT_EQ(networkTimer.stops, stops);
}

TEST_F(NetworkInstall, ReinstallingWhileInstalledFindsThePortAgain) {
    WriteStationSensorFile(sim::SampleProbeTable());
    Install();
    Install();
    EXPECT_EQ(state.NetWorkInstalled, 1);
    EXPECT_TRUE(QuestionsContaining("Interface unit not responding.").empty());
    EXPECT_EQ(networkTimer.starts, 2);
}

// 101 switch probes on the lines: the table keeps 100.
std::shared_ptr<sim::SimulatedNodex> CrowdedNetwork() {
    nlohmann::json lines = nlohmann::json::array(
        {nlohmann::json::array(), nlohmann::json::array(), nlohmann::json::array()});
    for (int i = 0; i < 101; ++i) {
        lines[static_cast<std::size_t>(i % 3)].push_back({{"type", "DS2406"}, {"input", i % 2}});
    }
    return sim::BuildNetwork({{"lines", lines}});
}

class CrowdedInstall : public NetworkInstall {
  protected:
    CrowdedInstall() : NetworkInstall(CrowdedNetwork()) {}
};

TEST_F(CrowdedInstall, TheHundredAndFirstProbeIsLeftOutAndNamedOnce) {
    // A station that knows 100 of them: the 101st has no slot.
    SensorTable table;
    std::vector<RomCode> all;
    for (int line = 1; line <= 3; ++line) {
        for (const RomCode& rom : ProbesOnLine(line)) {
            all.push_back(rom);
        }
    }
    ASSERT_EQ(all.size(), 101u);
    for (std::size_t i = 0; i + 1 < all.size(); ++i) {
        const int index = table.Append1820ToDataStruct(all[i], 1);
        table.DefineSensorTypeAndUnits(index);
        table.SensorArray[static_cast<std::size_t>(index)].Name = "Switch " + std::to_string(i);
    }
    WriteStationSensorFile(table);

    Install();

    EXPECT_EQ(state.sensors.Lock()->GetMax1820Index(), 99);
    EXPECT_EQ(state.sensors.Lock()->Find1820inDataStruct(all.back()), -1);
    ASSERT_EQ(dialogs.Popups().size(), 1u) << "one message, not one per pass";
    EXPECT_NE(dialogs.Popups()[0].message.find(RomToHex(all.back())), std::string::npos);
    EXPECT_NE(LogText().find("Probe table full, probes left out: " + RomToHex(all.back())),
              std::string::npos);
    EXPECT_EQ(state.NetWorkInstalled, 1);
    EXPECT_EQ(ReadStationSensorFile().GetMax1820Index(), 99);
}

// Counts the bus steps and the questions asked while one runs.
class CountingBusWork final : public shell::BusWork {
  public:
    explicit CountingBusWork(const ScriptedDialogs& dialogs) : dialogs_(dialogs) {}
    void Run(const std::function<void()>& step) const override {
        const std::size_t before = dialogs_.Popups().size();
        step();
        ++steps;
        questionsInside += dialogs_.Popups().size() - before;
    }
    mutable int steps = 0;
    mutable std::size_t questionsInside = 0;

  private:
    const ScriptedDialogs& dialogs_;
};

TEST_F(NetworkInstall, EveryBusStepRunsApartFromTheQuestions) {
    WriteStationSensorFile(SampleWithAbsent({{"Gone", kStatusActive}}));
    dialogs.QueueButton(kOff);
    const CountingBusWork bus(dialogs);
    const shell::ShellServices counted{clock,       dialogs,    display,    log,
                                       editor,      simPorts,   simSession, networkTimer,
                                       probeEditor, monitoring, bus};
    shell::DoeInstallNetwork(state, counted);
    EXPECT_EQ(state.NetWorkInstalled, 1);
    ASSERT_EQ(MissingQuestions().size(), 1U);
    EXPECT_EQ(bus.steps, 5) << "start, blinks, scan, session restart, scan";
    EXPECT_EQ(bus.questionsInside, 0U);
}

}  // namespace
}  // namespace qrv::testing
