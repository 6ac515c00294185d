#include "temperature_probe.h"

#include <algorithm>
#include <cmath>

#include "onewire/crc.h"
#include "onewire/function_commands.h"

namespace qrv::sim {

namespace {

constexpr std::uint8_t kReadPowerSupply = 0xB4;
// A parasite-powered probe needs the pull-up within 10 us of the end of the
// command; the command's last slot begins one slot (up to 74 us) earlier.
constexpr double kPullUpLatestSeconds = 84e-6;

}  // namespace

TemperatureProbe::TemperatureProbe(const Rom& rom, Model model, ValueModel temperature,
                                   std::uint8_t th, std::uint8_t tl)
    : SimDevice(rom),
      model_(model),
      temperature_(std::move(temperature)),
      eepromTh_(th),
      eepromTl_(tl) {
    PowerOn();
}

std::string TemperatureProbe::Kind() const {
    switch (model_) {
        case Model::kDs18b20:
            return "DS18B20";
        case Model::kDs18s20:
            return "DS18S20";
        case Model::kDs1820:
            return "DS1820";
    }
    return "?";
}

void TemperatureProbe::PowerOn() {
    SimDevice::PowerOn();
    scratch_ = EncodeTemperature(model_, 85.0, eepromTh_, eepromTl_, eepromConfig_);
    converting_ = false;
    step_ = Step::kIgnore;
}

double TemperatureProbe::ConversionSeconds() const {
    switch (model_) {
        case Model::kDs18b20: {
            // 93.75 ms at 9 bits, doubling per extra bit of resolution.
            const int bits = 9 + ((eepromConfig_ >> 5) & 3);
            return 0.09375 * std::pow(2.0, bits - 9);
        }
        case Model::kDs18s20:
            return 0.75;
        case Model::kDs1820:
            return 0.5;
    }
    return 0.75;
}

std::array<std::uint8_t, 8> TemperatureProbe::EncodeTemperature(Model model, double celsius,
                                                                std::uint8_t th, std::uint8_t tl,
                                                                std::uint8_t config) {
    celsius = std::clamp(celsius, -55.0, 125.0);
    const int t16 = static_cast<int>(std::lround(celsius * 16));
    std::array<std::uint8_t, 8> pad{};
    pad[2] = th;
    pad[3] = tl;
    if (model == Model::kDs18b20) {
        const auto raw = static_cast<std::uint16_t>(static_cast<std::int16_t>(t16));
        pad[0] = static_cast<std::uint8_t>(raw & 0xFF);
        pad[1] = static_cast<std::uint8_t>(raw >> 8);
        pad[4] = config;
        pad[5] = 0xFF;
        pad[6] = static_cast<std::uint8_t>(0x10 - (raw & 0x0F));
        pad[7] = 0x10;
        return pad;
    }
    // Half degrees, rounded; the count registers carry the rest.
    const int half = (t16 + 4) >> 3;
    const int whole = half >> 1;
    int countPerC = 16;
    int countRemain = 12 - (t16 - 16 * whole);
    if (model == Model::kDs1820) {
        // The old chip's slope counter varies from part to part and reading
        // to reading; the count pair still encodes the same temperature.
        countPerC = 0x4B + (half & 7) * 3;
        const double fraction = celsius - whole;
        countRemain = static_cast<int>(std::lround(countPerC * (0.75 - fraction)));
    }
    const auto raw = static_cast<std::uint16_t>(static_cast<std::int16_t>(half));
    pad[0] = static_cast<std::uint8_t>(raw & 0xFF);
    pad[1] = static_cast<std::uint8_t>(raw >> 8);
    pad[4] = 0xFF;
    pad[5] = 0xFF;
    pad[6] = static_cast<std::uint8_t>(std::clamp(countRemain, 0, countPerC));
    pad[7] = static_cast<std::uint8_t>(countPerC);
    return pad;
}

void TemperatureProbe::FinishConversion(double now) {
    if (converting_ && !stuck_ && now >= conversionEnd_) {
        converting_ = false;
        const bool failed = !fed_ || failingConversions_ > 0;
        if (failingConversions_ > 0) {
            --failingConversions_;
        }
        // A brown-out resets the chip: its scratchpad is that of power-on.
        scratch_ = EncodeTemperature(model_, failed ? 85.0 : conversionValue_, scratch_[2],
                                     scratch_[3], scratch_[4]);
    }
}

void TemperatureProbe::StrongPullUp(bool on, double now) {
    if (parasite_ && converting_ && now < conversionEnd_) {
        if (!on) {
            fed_ = false;
        } else if (!pullUp_) {
            fed_ = now - conversionStart_ <= kPullUpLatestSeconds;
        }
    }
    pullUp_ = on;
}

void TemperatureProbe::OnSelected(bool byMatch, double now) {
    (void)byMatch;
    FinishConversion(now);
    step_ = Step::kCommand;
}

bool TemperatureProbe::IdleBit(double now) {
    FinishConversion(now);
    if (step_ == Step::kPolling) {
        return parasite_ || !converting_;
    }
    return step_ != Step::kPowerSupply || !parasite_;
}

bool TemperatureProbe::InAlarm(double now) {
    FinishConversion(now);
    const auto raw = static_cast<std::int16_t>(scratch_[0] | (scratch_[1] << 8));
    const int degrees = model_ == Model::kDs18b20 ? raw >> 4 : raw >> 1;
    return degrees >= static_cast<std::int8_t>(scratch_[2]) ||
           degrees <= static_cast<std::int8_t>(scratch_[3]);
}

void TemperatureProbe::OnByte(std::uint8_t byte, double now) {
    FinishConversion(now);
    switch (step_) {
        case Step::kIgnore:
        case Step::kPolling:
        case Step::kPowerSupply:
            return;
        case Step::kWriteScratchpad: {
            const int bytes = model_ == Model::kDs18b20 ? 3 : 2;
            if (writeIndex_ == 2) {
                scratch_[4] = static_cast<std::uint8_t>((byte & 0x60) | 0x1F);
            } else {
                scratch_[2 + static_cast<std::size_t>(writeIndex_)] = byte;
            }
            if (++writeIndex_ == bytes) {
                step_ = Step::kIgnore;
            }
            return;
        }
        case Step::kCommand:
            break;
    }
    step_ = Step::kIgnore;
    switch (byte) {
        case commands::kConvertT:
            if (!converting_) {
                converting_ = true;
                conversionStart_ = now;
                conversionEnd_ = now + ConversionSeconds();
                conversionValue_ = temperature_.At(now);
                // Fed by the pull-up already on, or by one that comes on in
                // time; a parasite probe without either browns out.
                fed_ = !parasite_ || pullUp_;
            }
            step_ = Step::kPolling;
            break;
        case commands::kReadScratchpad:
            for (const std::uint8_t value : scratch_) {
                Queue(value);
            }
            QueueCrc(Crc8(scratch_));
            break;
        case commands::kWriteScratchpad:
            writeIndex_ = 0;
            step_ = Step::kWriteScratchpad;
            break;
        case commands::kCopyScratchpad:
            eepromTh_ = scratch_[2];
            eepromTl_ = scratch_[3];
            if (model_ == Model::kDs18b20) {
                eepromConfig_ = scratch_[4];
            }
            break;
        case commands::kRecallMemory:
            scratch_[2] = eepromTh_;
            scratch_[3] = eepromTl_;
            if (model_ == Model::kDs18b20) {
                scratch_[4] = eepromConfig_;
            }
            break;
        case kReadPowerSupply:
            // The read slots that follow give 0 from a parasite-powered probe.
            step_ = Step::kPowerSupply;
            break;
        default:
            break;
    }
}

}  // namespace qrv::sim
