#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "byte_counters.h"

namespace qrv::sim {

// What the bridge sees of the 1-Wire bus: resets and time slots.
class SimBus {
  public:
    enum class ResetOutcome { kPresence, kNone, kShort };
    virtual ~SimBus() = default;
    virtual ResetOutcome BusReset(double now) = 0;
    // The wired-AND of the master's bit and every device's answer.
    virtual bool BusSlot(bool masterBit, double now) = 0;
    // A byte's eight slots (least significant bit first, one every
    // slotSeconds from now): the wired-AND, bit by bit.
    virtual std::uint8_t BusByte(std::uint8_t masterByte, double now, double slotSeconds);
    // Called before every byte-sized group of slots, so that couplers that
    // switched during the previous byte take effect.
    virtual void BeginByte() = 0;
    // The bridge's strong pull-up came on or went off at `now`.
    virtual void StrongPullUp(bool on, double now) = 0;
};

// The DS2480B serial 1-Wire line driver at the level of serial bytes: command
// and data modes, the 0xE3 escape, resets, single bits, the search
// accelerator, configuration parameters and the baud-rate change.
class Ds2480bChip {
  public:
    explicit Ds2480bChip(SimBus& bus) : bus_(bus) { MasterReset(); }

    struct Result {
        // The chip answers a byte with one byte at most.
        std::optional<std::uint8_t> reply;
        double busSeconds = 0;  // time the byte kept the bus busy
        ByteClass kind = ByteClass::kIgnored;
    };

    // Power-on or break: command mode at 9600 baud, default parameters, and
    // the next byte only calibrates the timing.
    void MasterReset();
    Result Receive(std::uint8_t byte, double now);

    // The host flushed the bytes it had written, which on a serial line drops
    // nothing after a drain but on a pseudo-terminal can lose the last ones.
    // Only the end of a completed accelerated search pass is certain enough
    // to restore; true when it was.
    bool HostFlushedOutput();

    // The baud rate the chip talks at (from its RBR parameter).
    int BaudRate() const;
    // Configuration value codes (0..7) by parameter number (1..7).
    int Parameter(int number) const { return parameters_[static_cast<std::size_t>(number)]; }
    bool InDataMode() const { return mode_ == Mode::kData || mode_ == Mode::kDataAfterEscape; }
    bool SearchAcceleratorOn() const { return accelerator_; }
    // An infinite strong pull-up holds the bus until F1h.
    bool PullingUp() const { return pullingUp_; }

    // Bus timing at the current speed and parameters, in seconds.
    double SlotSeconds() const;
    static constexpr double kResetSeconds = 0.001096;

  private:
    enum class Mode { kAwaitCalibration, kCommand, kData, kDataAfterEscape };

    ByteClass ClassOf(std::uint8_t byte) const;
    static ByteClass CommandClass(std::uint8_t byte);
    void Command(std::uint8_t byte, double now, Result& result);
    void DataByte(std::uint8_t byte, double now, Result& result);
    std::uint8_t SearchByte(std::uint8_t byte, double& now);
    void SetSpeed(std::uint8_t command) { speed_ = (command >> 2) & 3; }
    void SingleBit(std::uint8_t byte, double now, Result& result);
    void EndPullUp(double now);

    SimBus& bus_;
    Mode mode_ = Mode::kAwaitCalibration;
    bool accelerator_ = false;
    int searchBytes_ = 0;
    int speed_ = 0;
    bool pullingUp_ = false;
    std::array<int, 8> parameters_{};
};

}  // namespace qrv::sim
