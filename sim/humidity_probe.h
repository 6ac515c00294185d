#pragma once

#include "sim_device.h"
#include "value_model.h"

namespace qrv::sim {

// A DS2438 (family 0x26) with a ratiometric humidity sensor on its VAD input.
// Page 0 holds the configuration (bit 3 AD chooses VDD or VAD for Convert V),
// temperature, voltage, current and threshold; every page is reached through
// its scratchpad (Recall, Read, Write, Copy). The sensor output follows the
// humidity model: VAD = VDD * (0.16 + 0.0062 * RH * (1.0546 - 0.00216 * T)).
class HumidityProbe final : public SimDevice {
  public:
    HumidityProbe(const Rom& rom, ValueModel humidity, ValueModel temperature,
                  ValueModel vdd = ValueModel(5.0));

    std::string Kind() const override { return "DS2438"; }
    void PowerOn() override;

    // Replaces the humidity model by a direct model of the VAD input.
    void SetVad(ValueModel vad) {
        vad_ = std::move(vad);
        useVad_ = true;
    }
    void SetVdd(ValueModel vdd) { vdd_ = std::move(vdd); }
    void SetConversionStuck(bool stuck) { stuck_ = stuck; }
    std::uint8_t Config() const { return pages_[0][0]; }
    int PageCopies() const { return copies_; }

    double VadAt(double now) const;

  protected:
    void OnSelected(bool byMatch, double now) override;
    void OnByte(std::uint8_t byte, double now) override;
    bool IdleBit(double now) override;

  private:
    enum class Step { kCommand, kPage, kWrite, kPolling, kIgnore };
    void Finish(double now);

    ValueModel humidity_;
    ValueModel temperature_;
    ValueModel vdd_;
    ValueModel vad_;
    bool useVad_ = false;
    std::array<std::array<std::uint8_t, 8>, 8> pages_{};
    std::array<std::array<std::uint8_t, 8>, 8> scratch_{};
    Step step_ = Step::kIgnore;
    std::uint8_t command_ = 0;
    std::size_t page_ = 0;
    std::size_t writeIndex_ = 0;
    double busyUntil_ = 0;
    bool temperaturePending_ = false;
    bool voltagePending_ = false;
    bool stuck_ = false;
    int copies_ = 0;
};

}  // namespace qrv::sim
