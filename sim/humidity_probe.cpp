#include "humidity_probe.h"

#include <algorithm>
#include <cmath>

#include "onewire/crc.h"
#include "onewire/function_commands.h"

namespace qrv::sim {

namespace {

constexpr std::uint8_t kAdBit = 0x08;

// Conversion times (datasheet maxima).
constexpr double kTemperatureSeconds = 0.010;
constexpr double kVoltageSeconds = 0.010;

}  // namespace

HumidityProbe::HumidityProbe(const Rom& rom, ValueModel humidity, ValueModel temperature,
                             ValueModel vdd)
    : SimDevice(rom),
      humidity_(std::move(humidity)),
      temperature_(std::move(temperature)),
      vdd_(std::move(vdd)) {
    PowerOn();
}

void HumidityProbe::PowerOn() {
    SimDevice::PowerOn();
    // Configuration is kept in EEPROM shadow; IAD, CA and EE set, AD = VDD.
    const std::uint8_t config = pages_[0][0] == 0 ? 0x0F : pages_[0][0];
    pages_ = {};
    pages_[0][0] = static_cast<std::uint8_t>(config & 0x0F);
    pages_[1][7] = 0xFF;
    scratch_ = pages_;
    temperaturePending_ = voltagePending_ = false;
    step_ = Step::kIgnore;
}

double HumidityProbe::VadAt(double now) const {
    if (useVad_) {
        return vad_.At(now);
    }
    const double rh = std::clamp(humidity_.At(now), 0.0, 100.0);
    const double t = temperature_.At(now);
    return vdd_.At(now) * (0.16 + 0.0062 * rh * (1.0546 - 0.00216 * t));
}

void HumidityProbe::Finish(double now) {
    if (stuck_ || now < busyUntil_) {
        return;
    }
    auto& page = pages_[0];
    if (temperaturePending_) {
        const double t = std::clamp(temperature_.At(now), -55.0, 125.0);
        const auto raw =
            static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(t / 0.03125) * 8));
        page[1] = static_cast<std::uint8_t>(raw & 0xFF);
        page[2] = static_cast<std::uint8_t>(raw >> 8);
        temperaturePending_ = false;
    }
    if (voltagePending_) {
        // "The voltage supply that is measured is defined by the AD bit of
        // the Status/Configuration register", which a Write Scratchpad sets
        // at once; Copy Scratchpad only makes it survive a Recall.
        const double volts = (scratch_[0][0] & kAdBit) != 0 ? vdd_.At(now) : VadAt(now);
        const auto raw =
            static_cast<std::uint16_t>(std::clamp<long>(std::lround(volts * 100), 0, 1023));
        page[3] = static_cast<std::uint8_t>(raw & 0xFF);
        page[4] = static_cast<std::uint8_t>(raw >> 8);
        voltagePending_ = false;
    }
    page[0] = static_cast<std::uint8_t>(page[0] & 0x0F);
}

bool HumidityProbe::IdleBit(double now) {
    Finish(now);
    if (step_ == Step::kPolling) {
        return !(temperaturePending_ || voltagePending_);
    }
    return true;
}

void HumidityProbe::OnSelected(bool byMatch, double now) {
    (void)byMatch;
    Finish(now);
    step_ = Step::kCommand;
}

void HumidityProbe::OnByte(std::uint8_t byte, double now) {
    Finish(now);
    switch (step_) {
        case Step::kIgnore:
        case Step::kPolling:
            return;
        case Step::kWrite:
            if (writeIndex_ < 8) {
                scratch_[page_][writeIndex_++] = byte;
            }
            return;
        case Step::kPage:
            page_ = byte & 7;
            step_ = Step::kIgnore;
            switch (command_) {
                case commands::kReadScratchpad:
                    for (const std::uint8_t value : scratch_[page_]) {
                        Queue(value);
                    }
                    QueueCrc(Crc8(scratch_[page_]));
                    break;
                case commands::kWriteScratchpad:
                    writeIndex_ = 0;
                    step_ = Step::kWrite;
                    break;
                case commands::kCopyScratchpad:
                    ++copies_;
                    if (page_ == 0) {
                        // Only the configuration bits 3:0 and the threshold are writable.
                        pages_[0][0] = static_cast<std::uint8_t>((pages_[0][0] & 0xF0) |
                                                                 (scratch_[0][0] & 0x0F));
                        pages_[0][7] = scratch_[0][7];
                    } else if (page_ >= 3) {
                        pages_[page_] = scratch_[page_];
                    }
                    break;
                case commands::kRecallMemory:
                    scratch_[page_] = pages_[page_];
                    break;
                default:
                    break;
            }
            return;
        case Step::kCommand:
            break;
    }
    step_ = Step::kIgnore;
    switch (byte) {
        case commands::kConvertT:
            temperaturePending_ = true;
            busyUntil_ = now + kTemperatureSeconds;
            pages_[0][0] = static_cast<std::uint8_t>(pages_[0][0] | 0x10);
            step_ = Step::kPolling;
            break;
        case commands::kConvertV:
            voltagePending_ = true;
            busyUntil_ = now + kVoltageSeconds;
            pages_[0][0] = static_cast<std::uint8_t>(pages_[0][0] | 0x40);
            step_ = Step::kPolling;
            break;
        case commands::kWriteScratchpad:
        case commands::kReadScratchpad:
        case commands::kCopyScratchpad:
        case commands::kRecallMemory:
            command_ = byte;
            step_ = Step::kPage;
            break;
        default:
            break;
    }
}

}  // namespace qrv::sim
