#pragma once

#include <memory>
#include <string>
#include <vector>

#include "onewire/nodex_session.h"
#include "onewire/onewire_driver.h"
#include "runtime/clock.h"
#include "sim/network_file.h"
#include "sim/sim_serial_port.h"
#include "support/recording_status_display.h"
#include "support/scripted_dialogs.h"

namespace qrv::testing {

// Every byte both ways, in order, as hex lines "-> C5" / "<- CD", so tests can
// compare whole transcripts. Can also go silent after a number of written
// bytes, like a unit whose cable is pulled mid-transfer.
class RecordingPort final : public SerialPort {
  public:
    RecordingPort(std::unique_ptr<SerialPort> inner, std::vector<std::string>& log,
                  long& writeBudget)
        : inner_(std::move(inner)), log_(log), writeBudget_(writeBudget) {}

    int Open(const SerialSettings& s) override { return inner_->Open(s); }
    int Close() override { return inner_->Close(); }
    bool IsOpen() const override { return inner_->IsOpen(); }
    int SetBaudRate(int baud) override { return inner_->SetBaudRate(baud); }
    int SetRts(bool on) override { return inner_->SetRts(on); }
    int SetDtr(bool on) override { return inner_->SetDtr(on); }
    int GetLineStatus() override { return inner_->GetLineStatus(); }
    bool HasModemLines() const override { return inner_->HasModemLines(); }
    int Write(std::span<const std::uint8_t> bytes) override;
    int Read(std::span<std::uint8_t> bytes, double timeout) override;
    void FlushInput() override { inner_->FlushInput(); }
    int SendBreak(double seconds) override {
        log_.emplace_back("break");
        return inner_->SendBreak(seconds);
    }

  private:
    std::unique_ptr<SerialPort> inner_;
    std::vector<std::string>& log_;
    long& writeBudget_;
};

class RecordingProvider final : public SerialPortProvider {
  public:
    RecordingProvider(PortMap map, SimulatorFactory factory)
        : SerialPortProvider(std::move(map), std::move(factory)) {}
    std::unique_ptr<SerialPort> MakePort(int comNumber) override;

    std::vector<std::string> log;
    long writeBudget = -1;  // bytes until the link goes silent; -1 never
};

// A station side (driver and session) wired to a simulated unit on COM1, on
// virtual time.
struct SimStation {
    explicit SimStation(std::shared_ptr<sim::SimulatedNodex> unit = sim::MakeSampleNetwork());

    // Opens the session and finds the unit's devices; asserts success.
    void Start();
    std::vector<std::string> TakeLog();

    VirtualClock clock;
    sim::SimulatorRegistry registry{clock};
    std::shared_ptr<sim::SimulatedNodex> unit;
    RecordingProvider ports;
    RecordingStatusDisplay display;
    ScriptedDialogs dialogs;
    OneWireDriver driver{ports, clock};
    NodexSession session{driver, ports, clock, &dialogs, nullptr};
};

// The bytes a host sends to select rom by Match ROM, then `then`: a pattern
// for a link fault.
std::vector<std::uint8_t> MatchRomThen(const sim::Rom& rom, std::vector<std::uint8_t> then);

RomCode ToRomCode(const sim::Rom& rom);
sim::Rom ToSimRom(const RomCode& rom);
// Devices of a line (0 = trunk) whose kind is `kind`.
std::vector<sim::Rom> RomsOf(sim::SimulatedNodex& unit, int line, const std::string& kind);

}  // namespace qrv::testing
