// quorvanel-onewire against the simulated unit, on virtual time.
#include <gtest/gtest.h>

#include <fmt/format.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "onewire_tool.h"
#include "sim/network_file.h"
#include "sim_station.h"

namespace qrv::tools {
namespace {

struct ToolRun {
    int status = 0;
    std::vector<std::string> out;
    std::string err;
};

std::vector<std::string> ReadLines(std::FILE* file) {
    std::rewind(file);
    std::vector<std::string> lines;
    std::string line;
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line += static_cast<char>(c);
        }
    }
    return lines;
}

class OneWireTool : public ::testing::Test {
  protected:
    ToolRun Run(const std::vector<std::string>& args) {
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        ToolRun run;
        run.status = RunOneWireTool(args, out, err, clock, registry);
        run.out = ReadLines(out);
        for (const auto& line : ReadLines(err)) {
            run.err += line + "\n";
        }
        std::fclose(out);
        std::fclose(err);
        return run;
    }

    VirtualClock clock;
    sim::SimulatorRegistry registry{clock};
};

TEST_F(OneWireTool, ScanListsTrunkAndLinesWithTheStationsReadings) {
    const ToolRun run = Run({"--device", "simulator", "scan"});
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(run.out.size(), 4u + 3 * 7);
    auto unit = registry.Unit("simulator");
    EXPECT_EQ(run.out[0],
              "0 " + sim::RomToHex(unit->Ds2406Rom()) + " DS2406 (unit: relay, orange lamp)");
    EXPECT_TRUE(run.out[1].ends_with("DS2409 (unit: coupler of line 1)"));
    std::map<std::string, std::string> byRom;
    for (const auto& line : run.out) {
        byRom[line.substr(2, 16)] = line;
    }
    for (const auto& [line, device] : unit->Devices()) {
        const std::string rom = sim::RomToHex(device->GetRom());
        ASSERT_TRUE(byRom.contains(rom)) << rom;
        EXPECT_EQ(byRom[rom][0], static_cast<char>('0' + line));
    }
    // Line 3 of the sample: a humidity probe at 80 %RH and an open contact.
    EXPECT_NE(
        std::find_if(run.out.begin(), run.out.end(),
                     [](const std::string& l) {
                         return l.starts_with("3 26") &&
                                l.ends_with("80.0 %RH  (VDD 4.90 V, VAD 3.19 V, 30.00 \u00B0C)");
                     }),
        run.out.end());
    EXPECT_NE(std::find_if(run.out.begin(), run.out.end(),
                           [](const std::string& l) {
                               return l.starts_with("2 12") && l.ends_with("0 (closed)");
                           }),
              run.out.end());
}

TEST_F(OneWireTool, ReadsOneProbeByRomAndReportsAMissingOne) {
    auto unit = registry.Unit("simulator");
    std::string rom;
    for (const auto& [line, device] : unit->Devices()) {
        if (line == 2 && device->Kind() == "DS18S20") {
            rom = sim::RomToHex(device->GetRom());
        }
    }
    ToolRun run = Run({"--device", "simulator", "read", rom});
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(run.out.size(), 1u);
    EXPECT_EQ(run.out[0], "2 " + rom + " DS18S20  " +
                              fmt::format("{:.2f} \u00B0C", 37 * 0.9937065 + 0.274926) +
                              "  (chip 37.0000 \u00B0C)");
    run = Run({"--device", "simulator", "read", "2800000000000000"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("not found"), std::string::npos);
}

std::string UnitFile(const std::string& name, const std::string& json) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("qrv-onewire-" + name + "-" + std::to_string(::getpid()) + ".json");
    std::ofstream(path) << json;
    return path.string();
}

TEST_F(OneWireTool, ReadsProbesOnTheTrunkAndFailsWhenAReadingFails) {
    const std::string good = sim::RomToHex(sim::MakeRom(0x28, 0x0102030405));
    const std::string damaged = sim::RomToHex(sim::MakeRom(0x28, 0xA1A2A3A4A5));
    const std::string file = UnitFile("trunk", fmt::format(R"({{
        "trunk": [{{"type": "DS18B20", "rom": "{}", "temperature": 7.25}},
                  {{"type": "DS18B20", "rom": "{}", "temperature": 3.0}}],
        "lines": [[], [], []],
        "faults": [{{"kind": "corrupt-crc", "rom": "{}"}}]
    }})",
                                                           good, damaged, damaged));
    const std::string port = "simulator:" + file;
    ToolRun run = Run({"--device", port, "read", good});
    EXPECT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(run.out.size(), 1u);
    EXPECT_TRUE(run.out[0].starts_with("0 " + good + " DS18B20  ")) << run.out[0];
    EXPECT_TRUE(run.out[0].ends_with("(chip 7.2500 \u00B0C)")) << run.out[0];

    run = Run({"--device", port, "scan"});
    EXPECT_EQ(run.status, 3);
    EXPECT_NE(run.err.find("1 reading failed"), std::string::npos) << run.err;
    std::filesystem::remove(file);
}

TEST_F(OneWireTool, AUnitThatGoesAwayDuringTheScanGivesItsOwnStatus) {
    auto unit = registry.Unit("simulator");
    // The power check takes about 2.3 s; the scan runs for several more.
    const double start = clock.Timer();
    unit->AddFault({sim::FaultKind::kUnplugged, {}, 0, start + 4.0, 1e9});
    const ToolRun run = Run({"--device", "simulator", "scan"});
    EXPECT_EQ(run.status, 4) << run.err;
    EXPECT_NE(run.err.find("stopped answering"), std::string::npos) << run.err;
}

// The line each listed device is on, by ROM, as the listing says and as the
// unit has it.
void ExpectEveryDeviceOnItsOwnLine(sim::SimulatedNodex& unit, const std::vector<std::string>& out,
                                   std::set<int>& listedLines) {
    std::map<std::string, int> trueLines;
    for (const auto& [line, device] : unit.Devices()) {
        trueLines[sim::RomToHex(device->GetRom())] = line;
    }
    for (const std::string& listed : out) {
        ASSERT_GE(listed.size(), 18u) << listed;
        const std::string rom = listed.substr(2, 16);
        ASSERT_TRUE(trueLines.contains(rom)) << listed;
        EXPECT_EQ(listed[0] - '0', trueLines[rom]) << listed;
        listedLines.insert(listed[0] - '0');
    }
}

TEST_F(OneWireTool, ALineWhoseSwitchFailsIsNotSearchedAndNothingIsListedUnderAWrongLine) {
    for (int coupler = 1; coupler <= 3; ++coupler) {
        SCOPED_TRACE(coupler);
        sim::SimulatorRegistry fresh{clock};
        auto unit = sim::MakeSampleNetwork();
        const std::string name = "simulator:coupler" + std::to_string(coupler);
        fresh.Install(name, unit);
        std::vector<sim::Rom> couplers;
        for (const auto& [line, device] : unit->Devices()) {
            if (line == 0 && device->Kind() == "DS2409") {
                couplers.push_back(device->GetRom());
            }
        }
        sim::LinkFault drop;
        drop.after =
            testing::MatchRomThen(couplers.at(static_cast<std::size_t>(coupler - 1)), {0xA5});
        unit->AddLinkFault(drop);

        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        const int status = RunOneWireTool({"--device", name, "scan"}, out, err, clock, fresh);
        const std::vector<std::string> listed = ReadLines(out);
        std::string errors;
        for (const auto& line : ReadLines(err)) {
            errors += line + "\n";
        }
        std::fclose(out);
        std::fclose(err);

        EXPECT_EQ(status, 3) << errors;
        EXPECT_NE(errors.find(fmt::format("line {} could not be switched on", coupler)),
                  std::string::npos)
            << errors;
        std::set<int> listedLines;
        ExpectEveryDeviceOnItsOwnLine(*unit, listed, listedLines);
        EXPECT_FALSE(listedLines.contains(coupler));
        EXPECT_TRUE(listedLines.contains(0));
    }
}

TEST_F(OneWireTool, ALinkCutDuringTheSearchOfALineLeavesTheRestOfItUnlisted) {
    // The drop begins with the first search after line 1 was switched on
    // and lasts into the switch of line 2, as on a loose adapter.
    auto unit = registry.Unit("simulator");
    std::vector<sim::Rom> couplers;
    for (const auto& [line, device] : unit->Devices()) {
        if (line == 0 && device->Kind() == "DS2409") {
            couplers.push_back(device->GetRom());
        }
    }
    sim::LinkFault drop;
    drop.after = testing::MatchRomThen(couplers[0], {0xA5, 0xFF, 0xE3, 0xC5, 0xE1, 0xF0});
    unit->AddLinkFault(drop);
    const ToolRun run = Run({"--device", "simulator", "scan"});
    EXPECT_EQ(run.status, 3) << run.err;
    std::set<int> listedLines;
    ExpectEveryDeviceOnItsOwnLine(*unit, run.out, listedLines);
    EXPECT_TRUE(listedLines.contains(3)) << run.err;
}

TEST_F(OneWireTool, SaysWhyADeviceCannotBeOpenedAndStartsTheTraceAfresh) {
    ToolRun run = Run({"--device", "/nonexistent/ttyQRV", "scan"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("cannot open /nonexistent/ttyQRV: no such device"), std::string::npos)
        << run.err;
    const std::string plain = UnitFile("plain", "{}");
    run = Run({"--device", plain, "scan"});
    EXPECT_NE(run.err.find(": not a terminal"), std::string::npos) << run.err;

    const std::string trace = UnitFile("trace", "old contents\n");
    ASSERT_EQ(Run({"--device", "simulator", "--trace", trace, "relay", "off"}).status, 0);
    std::ifstream in(trace);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str().find("old contents"), std::string::npos);
    EXPECT_NE(text.str().find("-> C1"), std::string::npos);
    std::filesystem::remove(plain);
    std::filesystem::remove(trace);
}

TEST_F(OneWireTool, DrivesTheOutputsAndKeepsTheOtherOutputAsTheUnitHasIt) {
    // Each run's power check switches the unit off and on, so it starts with
    // both DS2406 outputs off; switching one must not switch the other on.
    auto unit = registry.Unit("simulator");
    ASSERT_EQ(Run({"--device", "simulator", "relay", "on"}).status, 0);
    EXPECT_TRUE(unit->RelayOn());
    EXPECT_FALSE(unit->OrangeLampOn());
    ASSERT_EQ(Run({"--device", "simulator", "lamp", "orange", "on"}).status, 0);
    EXPECT_FALSE(unit->RelayOn());
    EXPECT_TRUE(unit->OrangeLampOn());
    ASSERT_EQ(Run({"--device", "simulator", "lamp", "red", "off"}).status, 0);
    EXPECT_FALSE(unit->RedLampOn());
    const ToolRun run = Run({"--device", "simulator", "lamp", "red", "on"});
    EXPECT_EQ(run.out, std::vector<std::string>{"lamp red on"});
    EXPECT_TRUE(unit->RedLampOn());
}

TEST_F(OneWireTool, PortsComeFromTheStationsPortMapAndTheTraceIsWritten) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("qrv-onewire-tool-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "ports.conf") << "COM3=simulator\n";
    const auto trace = dir / "trace.txt";
    const ToolRun run = Run(
        {"--port", "COM3", "--station", dir.string(), "--trace", trace.string(), "relay", "off"});
    EXPECT_EQ(run.status, 0) << run.err;
    std::ifstream in(trace);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("-> C1"), std::string::npos);
    EXPECT_NE(text.str().find("<- 00 CD"), std::string::npos);
    std::filesystem::remove_all(dir);
}

TEST_F(OneWireTool, RefusesBadUsageAndReportsAUnitThatDoesNotAnswer) {
    EXPECT_EQ(Run({"scan"}).status, 2);
    const ToolRun help = Run({"--help"});
    EXPECT_EQ(help.status, 0);
    ASSERT_FALSE(help.out.empty());
    EXPECT_EQ(help.out.front().rfind("usage: quorvanel-onewire", 0), 0u);
    EXPECT_EQ(Run({"--device", "simulator"}).status, 2);
    EXPECT_EQ(Run({"--device", "simulator", "--port", "COM1", "scan"}).status, 2);
    EXPECT_EQ(Run({"--port", "COM9", "scan"}).status, 2);
    EXPECT_EQ(Run({"--device", "simulator", "lamp", "blue", "on"}).status, 2);
    EXPECT_EQ(Run({"--device", "simulator", "read", "12345"}).status, 2);
    registry.Unit("simulator")->AddFault({sim::FaultKind::kUnplugged, {}, 0, 0, 1e9});
    const ToolRun run = Run({"--device", "simulator", "scan"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("CTS off"), std::string::npos);
}

}  // namespace
}  // namespace qrv::tools
