#include "sim_station.h"

#include <gtest/gtest.h>

#include "onewire/tracing_port.h"
#include "support/sim_probes.h"

namespace qrv::testing {

int RecordingPort::Write(std::span<const std::uint8_t> bytes) {
    if (writeBudget_ >= 0) {
        const auto allowed = std::min<long>(writeBudget_, static_cast<long>(bytes.size()));
        writeBudget_ -= allowed;
        if (allowed > 0) {
            inner_->Write(bytes.first(static_cast<std::size_t>(allowed)));
        }
        log_.push_back("-> " + HexBytes(bytes));
        return static_cast<int>(bytes.size());
    }
    log_.push_back("-> " + HexBytes(bytes));
    return inner_->Write(bytes);
}

int RecordingPort::Read(std::span<std::uint8_t> bytes, double timeout) {
    const int n = inner_->Read(bytes, timeout);
    if (n > 0) {
        log_.push_back("<- " + HexBytes(bytes.first(static_cast<std::size_t>(n))));
    } else {
        log_.emplace_back("<- (nothing)");
    }
    return n;
}

std::unique_ptr<SerialPort> RecordingProvider::MakePort(int comNumber) {
    auto inner = SerialPortProvider::MakePort(comNumber);
    if (!inner) {
        return nullptr;
    }
    return std::make_unique<RecordingPort>(std::move(inner), log, writeBudget);
}

SimStation::SimStation(std::shared_ptr<sim::SimulatedNodex> unitIn)
    : unit(std::move(unitIn)), ports(SimulatorOnCom1(), registry.Factory()) {
    registry.Install("simulator:test", unit);
    session.SerialPort = 1;
}

void SimStation::Start() {
    ASSERT_EQ(session.StartOneWireSession(), SessionStatus::kOk);
    ASSERT_EQ(session.ZoekNodexNumbers(), SessionStatus::kOk);
}

std::vector<std::string> SimStation::TakeLog() {
    std::vector<std::string> taken;
    taken.swap(ports.log);
    return taken;
}

std::vector<std::uint8_t> MatchRomThen(const sim::Rom& rom, std::vector<std::uint8_t> then) {
    // Sized first: g++ 12 at -O3 warns falsely (-Warray-bounds) when a
    // one-byte vector is extended.
    std::vector<std::uint8_t> bytes(1 + rom.size() + then.size(), 0x55);
    std::copy(rom.begin(), rom.end(), bytes.begin() + 1);
    std::copy(then.begin(), then.end(), bytes.begin() + 1 + static_cast<long>(rom.size()));
    return bytes;
}

RomCode ToRomCode(const sim::Rom& rom) {
    RomCode code{};
    for (std::size_t i = 0; i < rom.size(); ++i) {
        code[i] = rom[i];
    }
    return code;
}

sim::Rom ToSimRom(const RomCode& rom) {
    sim::Rom out{};
    for (std::size_t i = 0; i < rom.size(); ++i) {
        out[i] = static_cast<std::uint8_t>(rom[i]);
    }
    return out;
}

std::vector<sim::Rom> RomsOf(sim::SimulatedNodex& unit, int line, const std::string& kind) {
    std::vector<sim::Rom> roms;
    for (const auto& [deviceLine, device] : unit.Devices()) {
        if (deviceLine == line && device->Kind() == kind) {
            roms.push_back(device->GetRom());
        }
    }
    return roms;
}

}  // namespace qrv::testing
