#pragma once

#include <functional>

#include "sim_device.h"
#include "value_model.h"

namespace qrv::sim {

// DS2406 dual addressable switch (family 0x12): status memory byte 7 holds the
// two PIO flip-flops (bit 5 A, bit 6 B; 0 = output transistor on). In the
// unit PIO-A drives the alarm relay and PIO-B the orange lamp; out on a line
// the sensed level of PIO-A is a switch contact.
class Ds2406Switch final : public SimDevice {
  public:
    Ds2406Switch(const Rom& rom, ValueModel inputA = ValueModel(1.0));

    std::string Kind() const override { return "DS2406"; }
    void PowerOn() override;

    bool OutputAOn() const { return (status7_ & 0x20) == 0; }
    bool OutputBOn() const { return (status7_ & 0x40) == 0; }
    std::uint8_t Status7() const { return status7_; }
    void SetInputA(ValueModel input) { inputA_ = std::move(input); }
    // Called after every change of the flip-flops.
    void SetOutputListener(std::function<void()> listener) { listener_ = std::move(listener); }

  protected:
    void OnSelected(bool byMatch, double now) override;
    void OnByte(std::uint8_t byte, double now) override;
    void OnQueueDrained(double now) override;
    bool InAlarm(double now) override;

  private:
    enum class Step {
        kCommand,
        kWriteStatus,
        kAfterWrite,
        kReadStatus,
        kChannelControl,
        kChannel,
        kIgnore
    };
    bool LevelA(double now) const;
    std::uint8_t InfoByte(double now) const;
    bool LevelB() const;
    std::uint8_t ReadChannelByte(double now) const;
    void WriteChannelByte(std::uint8_t byte);
    int CrcBlockBytes() const;
    void QueueChannelByte(double now);
    void ChannelByteDone(std::uint8_t byte, double now);
    void QueueInvertedCrc(std::uint16_t crc);

    ValueModel inputA_;
    std::uint8_t status7_ = 0x7F;
    std::array<std::uint8_t, 8> statusMemory_{};
    std::function<void()> listener_;
    Step step_ = Step::kIgnore;
    std::array<std::uint8_t, 4> header_{};
    std::size_t headerLength_ = 0;
    bool latchA_ = false;
    bool latchB_ = false;
    bool lastLevelA_ = true;
    bool lastLevelB_ = true;
    // Channel Access: control byte 1, direction, CRC state of the block.
    std::uint8_t ccb1_ = 0;
    bool channelRead_ = true;
    std::uint16_t channelCrc_ = 0;
    int blockBytes_ = 0;
};

// What a coupler sees of the branch on its main output.
struct BranchHooks {
    // Resets the branch's devices; whether any answered with presence (a
    // shorted branch, held low, looks the same).
    std::function<bool(double now)> reset;
    // Whether the branch is held low (shorted).
    std::function<bool(double now)> low;
};

// DS2409 MicroLAN coupler (family 0x1F): connects the trunk to its main
// output (a network line) and drives the open-drain control output on which
// the unit's red lamp hangs. The auxiliary output has nothing on it.
class Ds2409Coupler final : public SimDevice {
  public:
    explicit Ds2409Coupler(const Rom& rom) : SimDevice(rom) { PowerOn(); }

    std::string Kind() const override { return "DS2409"; }
    void PowerOn() override;

    bool MainOn() const { return main_; }
    bool AuxOn() const { return aux_; }
    // Whether the control output's transistor conducts.
    bool ControlConducts() const;
    void SetChangeListener(std::function<void()> listener) { listener_ = std::move(listener); }
    void SetBranchHooks(BranchHooks hooks) { branch_ = std::move(hooks); }

  protected:
    void OnSelected(bool byMatch, double now) override;
    void OnByte(std::uint8_t byte, double now) override;
    void OnQueueDrained(double now) override;

  private:
    enum class Step { kCommand, kControlByte, kSmartOn, kSmartOnConnect, kIgnore };
    std::uint8_t StatusByte(double now) const;
    void Changed();

    bool main_ = false;
    bool aux_ = false;
    bool manual_ = false;
    bool controlData_ = false;
    bool associationAux_ = false;
    Step step_ = Step::kIgnore;
    std::uint8_t smartCommand_ = 0;
    std::function<void()> listener_;
    BranchHooks branch_;
};

// DS2405 addressable switch (family 0x05): Match ROM toggles its output; read
// slots then give the level of its pin. A search that ends on it does not
// toggle it.
class Ds2405Switch final : public SimDevice {
  public:
    explicit Ds2405Switch(const Rom& rom) : SimDevice(rom) {}
    std::string Kind() const override { return "DS2405"; }
    void PowerOn() override;
    bool TransistorOn() const { return on_; }
    int Toggles() const { return toggles_; }

  protected:
    void OnSelected(bool byMatch, double now) override;
    // The datasheet: Skip ROM causes no activity on a DS2405, so no toggle.
    void OnSkipped(double) override {}
    void OnByte(std::uint8_t, double) override {}
    bool IdleBit(double) override { return !on_; }
    bool InAlarm(double) override { return on_; }

  private:
    bool on_ = false;
    int toggles_ = 0;
};

// Any other device: answers the ROM layer only.
class PlainDevice final : public SimDevice {
  public:
    explicit PlainDevice(const Rom& rom) : SimDevice(rom) {}
    std::string Kind() const override { return "other"; }

  protected:
    void OnSelected(bool, double) override {}
    void OnByte(std::uint8_t, double) override {}
};

}  // namespace qrv::sim
