#include <gtest/gtest.h>

#include "sim/humidity_probe.h"
#include "sim/temperature_probe.h"
#include "sim_shell_fixture.h"
#include "station/identification.h"
#include "station/network_install.h"
#include "support/popup_answers.h"

namespace qrv::testing {
namespace {

constexpr int kContinue = 1;
constexpr int kStop = 2;

class Identification : public ::testing::Test, protected SimShellFixture {
  protected:
    Identification() {
        WriteStationSensorFile(sim::SampleProbeTable());
        shell::DoeInstallNetwork(state, simServices);
        EXPECT_EQ(state.NetWorkInstalled, 1);
    }

    void Identify() { shell::Identify(state, simServices); }

    // What the user does first: every network cable off the unit.
    void UnplugAllCables() {
        for (const auto& [line, device] : unit->Devices()) {
            if (line > 0) {
                cabled.emplace_back(line, device->GetRom());
            }
        }
        for (const auto& [line, rom] : cabled) {
            ASSERT_TRUE(unit->DisconnectDevice(rom));
        }
    }
    void PlugCablesBackIn() {
        for (const auto& [line, rom] : cabled) {
            ASSERT_TRUE(unit->ConnectDevice(rom, line));
        }
    }
    std::vector<std::string> Messages() const {
        std::vector<std::string> messages;
        for (const auto& popup : dialogs.Popups()) {
            messages.push_back(popup.message.substr(0, popup.message.find('\n')));
        }
        return messages;
    }

    std::vector<std::pair<int, sim::Rom>> cabled;
};

TEST_F(Identification, TwoProbesPluggedInOneAfterTheOtherAreNamedThenInstalled) {
    UnplugAllCables();
    const sim::Rom first = sim::MakeRom(0x28, 0xA1);
    const sim::Rom second = sim::MakeRom(0x26, 0xB2);
    unit->AddLineDevice(1, std::make_unique<sim::TemperatureProbe>(
                               first, sim::TemperatureProbe::Model::kDs18b20, -2.5));
    unit->AddLineDevice(1, std::make_unique<sim::HumidityProbe>(second, 55.0, 20.0, 5.0));
    ASSERT_TRUE(unit->DisconnectDevice(second));

    for (int answer : {kContinue, kContinue, kContinue, kSave, kContinue, kSave, kStop}) {
        dialogs.QueueButton(answer);
    }
    using View = ScriptedProbeEditorView;
    probeEditor.QueueOpening({[&](View&, ProbeEditor&) {
                                  // The user swaps the probe while naming this one.
                                  unit->DisconnectDevice(first);
                                  unit->ConnectDevice(second, 1);
                              },
                              View::Type("Walk-in"), View::Press(&ProbeEditor::Leave)});
    probeEditor.QueueOpening({[&](View&, ProbeEditor&) {
                                  unit->DisconnectDevice(second);
                                  PlugCablesBackIn();
                                  // Both now hang where they will be used.
                                  unit->ConnectDevice(first, 2);
                                  unit->ConnectDevice(second, 3);
                              },
                              View::Type("Walk-in humidity"), View::Press(&ProbeEditor::Leave)});

    Identify();

    EXPECT_EQ(Messages(), (std::vector<std::string>{
                              "Identify probes?",
                              "Each probe has to be identified separately before "
                              "initialization.",
                              "Please connect the first probe to the interface unit.",
                              "Do you want to save the new settings?",
                              "Change probe to continue identifying process.",
                              "Do you want to save the new settings?",
                              "Change probe to continue identifying process.",
                              "Please reconnect all network cables to the interface unit."}));
    ASSERT_EQ(probeEditor.openings.size(), 2u);
    EXPECT_TRUE(probeEditor.openings[0].newProbeLine);
    EXPECT_FALSE(probeEditor.openings[0].navigation);
    EXPECT_EQ(probeEditor.openings[1].display.typeText, "Humidity probe");
    EXPECT_EQ(probeEditor.unfinished, 0);
    EXPECT_EQ(dialogs.UnexpectedPopups(), 0);

    // The installation that ends the identification found both where they
    // hang now, and nothing is missing or new.
    ASSERT_EQ(state.sensors.Lock()->GetMax1820Index(), 16);
    const SensorRecord& walkIn = state.sensors.Lock()->SensorArray[15];
    EXPECT_EQ(walkIn.Name, "Walk-in");
    EXPECT_EQ(walkIn.Line, 2);
    EXPECT_EQ(state.sensors.Lock()->SensorArray[16].Name, "Walk-in humidity");
    EXPECT_EQ(state.sensors.Lock()->SensorArray[16].Line, 3);
    EXPECT_EQ(state.NetWorkInstalled, 1);
    EXPECT_EQ(networkTimer.starts, 2);
    EXPECT_EQ(ReadStationSensorFile().SensorArray[16].Name, "Walk-in humidity");
}

TEST_F(Identification, NoProbePluggedInAsksRetryOrStop) {
    UnplugAllCables();
    for (int answer : {kContinue, kContinue, kContinue, 1, kStop}) {
        dialogs.QueueButton(answer);
    }
    // The cables stay off: the installation then asks about every probe.
    constexpr int kOff = 2;
    for (int probe = 0; probe < 15; ++probe) {
        dialogs.QueueButton(kOff);
    }
    Identify();
    const auto messages = Messages();
    ASSERT_EQ(messages.size(), 6u + 15u);
    EXPECT_EQ(messages[3], "No probe found: retry or stop?");
    EXPECT_EQ(messages[4], "No probe found: retry or stop?");
    EXPECT_EQ(dialogs.Popups()[3].buttons, (std::vector<std::string>{"__Retry", "__Stop"}));
    EXPECT_TRUE(probeEditor.openings.empty());
    EXPECT_EQ(QuestionsContaining("Unable to find probe named").size(), 15u);
    EXPECT_EQ(dialogs.UnexpectedPopups(), 0);
}

TEST_F(Identification, StopBeforeUnpluggingResumesMonitoringAndAsksForNoProbe) {
    dialogs.QueueButton(kContinue);
    dialogs.QueueButton(kStop);
    Identify();
    EXPECT_EQ(Messages(),
              (std::vector<std::string>{"Identify probes?",
                                        "Each probe has to be identified separately before "
                                        "initialization."}));
    EXPECT_EQ(dialogs.UnexpectedPopups(), 0);
    EXPECT_TRUE(probeEditor.openings.empty());
    EXPECT_EQ(networkTimer.stops, 2);
    EXPECT_EQ(networkTimer.starts, 2) << "monitoring resumed without a new installation";
    EXPECT_EQ(state.NetWorkInstalled, 1);
    EXPECT_EQ(state.DisplayTimerEnable, 1);
}

TEST_F(Identification, OnlyInNormalModeWithAnInstalledNetworkAndAfterContinue) {
    dialogs.QueueButton(kStop);
    Identify();
    EXPECT_EQ(networkTimer.stops, 1) << "Stop ends the command before monitoring halts";

    state.NetWorkInstalled = 0;
    Identify();
    EXPECT_EQ(dialogs.Popups().back().message,
              "The network is inactive.\nPlease initialize network before proceeding.");
    EXPECT_EQ(display.Snapshot().beeps, 1);

    state.WantedUserMode = kModeOffLine;
    Identify();
    EXPECT_EQ(dialogs.Popups().back().message,
              "This action is not possible in the current mode.\n");
    EXPECT_EQ(dialogs.Popups().size(), 3u);
}

}  // namespace
}  // namespace qrv::testing
