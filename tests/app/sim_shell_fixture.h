#pragma once

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "sensors/families.h"
#include "sensors/sensor_file.h"
#include "shell_fixture.h"
#include "sim/network_file.h"
#include "sim/sample_probe_table.h"

namespace qrv::testing {

inline RomCode ToCode(const sim::Rom& rom) {
    RomCode code{};
    std::copy(rom.begin(), rom.end(), code.begin());
    return code;
}

// A station in normal mode whose COM1 leads to a simulated unit, on the
// virtual clock, with the scripted popups and editor of ShellFixture. The
// sim names are the station's own parts, kept for the tests that use them.
struct SimShellFixture : ShellFixture {
    explicit SimShellFixture(
        std::shared_ptr<sim::SimulatedNodex> simulated = sim::MakeSampleNetwork())
        : ShellFixture(true), unit(std::move(simulated)) {
        simulators.Install("simulator:test", unit);
        SystemSettings settings = state.settings;
        settings.SerialPort = 1;
        state.settingsOwner.Replace(settings);
        state.WantedUserMode = kModeNormal;
    }

    void WriteStationSensorFile(const SensorTable& table) {
        ScriptedDialogs quiet;
        ASSERT_EQ(
            WriteSensorFile(state.paths.SnsFileName(kModeNormal), table, clock, quiet, log, 0), 0);
    }

    // The ROMs of the probes on a line (0 = trunk) of the unit, in search order.
    std::vector<RomCode> ProbesOnLine(int line) {
        std::vector<RomCode> roms;
        for (const auto& [deviceLine, device] : unit->Devices()) {
            const RomCode rom = ToCode(device->GetRom());
            if (deviceLine == line && IsProbeFamily(rom[0])) {
                roms.push_back(rom);
            }
        }
        return roms;
    }

    // How often the status line said this.
    int StatusLineCount(std::string_view text) {
        const std::string call = "StatusLine(" + std::string(text) + ", #0066CC)";
        const auto calls = display.Calls();
        return static_cast<int>(std::count(calls.begin(), calls.end(), call));
    }

    std::vector<std::string> QuestionsContaining(std::string_view part) {
        std::vector<std::string> found;
        for (const auto& popup : dialogs.Popups()) {
            if (popup.message.find(part) != std::string::npos) {
                found.push_back(popup.message);
            }
        }
        return found;
    }

    std::shared_ptr<sim::SimulatedNodex> unit;
    NodexSession& simSession{session};
    const shell::ShellServices& simServices{services};
};

}  // namespace qrv::testing
