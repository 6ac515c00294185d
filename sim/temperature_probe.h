#pragma once

#include "sim_device.h"
#include "value_model.h"

namespace qrv::sim {

// DS18B20 (family 0x28), DS18S20 and the old DS1820 (both family 0x10; ROM
// byte 5 = 0x08 marks the DS18S20). Externally powered, read slots after
// Convert T give 0 while converting and 1 when done. Parasite powered, the
// probe cannot say that it is busy, and its conversion works only under the
// bridge's strong pull-up, from right after the command to the end of the
// conversion time; without it the probe browns out and its scratchpad holds
// the power-on 85 °C. TH and TL live in EEPROM and come back with Recall
// E2; the scratchpad shows 85 °C until the first conversion.
class TemperatureProbe final : public SimDevice {
  public:
    enum class Model { kDs18b20, kDs18s20, kDs1820 };

    TemperatureProbe(const Rom& rom, Model model, ValueModel temperature, std::uint8_t th = 0x4B,
                     std::uint8_t tl = 0x46);

    std::string Kind() const override;
    void PowerOn() override;

    void SetTemperature(ValueModel model) { temperature_ = std::move(model); }
    // A conversion that never finishes (the probe stays busy).
    void SetConversionStuck(bool stuck) { stuck_ = stuck; }
    void SetParasitePowered(bool parasite) { parasite_ = parasite; }
    bool ParasitePowered() const { return parasite_; }
    // The next `count` conversions fail as in a brown-out, leaving 85 °C.
    void FailNextConversions(int count) { failingConversions_ = count; }
    void StrongPullUp(bool on, double now) override;
    double ConversionSeconds() const;
    std::uint8_t EepromTh() const { return eepromTh_; }
    std::uint8_t EepromTl() const { return eepromTl_; }

    // The scratchpad bytes 0..7 for a temperature, as the chip would hold them.
    static std::array<std::uint8_t, 8> EncodeTemperature(Model model, double celsius,
                                                         std::uint8_t th, std::uint8_t tl,
                                                         std::uint8_t config);

  protected:
    void OnSelected(bool byMatch, double now) override;
    void OnByte(std::uint8_t byte, double now) override;
    bool IdleBit(double now) override;
    bool InAlarm(double now) override;

  private:
    void FinishConversion(double now);

    enum class Step { kCommand, kWriteScratchpad, kPolling, kPowerSupply, kIgnore };

    Model model_;
    ValueModel temperature_;
    std::array<std::uint8_t, 8> scratch_{};
    std::uint8_t eepromTh_;
    std::uint8_t eepromTl_;
    std::uint8_t eepromConfig_ = 0x7F;
    Step step_ = Step::kIgnore;
    int writeIndex_ = 0;
    bool converting_ = false;
    double conversionEnd_ = 0;
    double conversionValue_ = 0;
    bool stuck_ = false;
    bool parasite_ = false;
    bool pullUp_ = false;
    // Whether the running conversion has had its current throughout.
    bool fed_ = true;
    double conversionStart_ = 0;
    int failingConversions_ = 0;
};

}  // namespace qrv::sim
