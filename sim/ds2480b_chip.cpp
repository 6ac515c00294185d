#include "ds2480b_chip.h"

namespace qrv::sim {

namespace {

constexpr std::uint8_t kDataMode = 0xE1;
constexpr std::uint8_t kCommandMode = 0xE3;
constexpr std::uint8_t kPulseEnd = 0xF1;
constexpr int kSpeedFlexible = 1;
constexpr int kSpeedOverdrive = 2;
constexpr int kRbr = 7;
constexpr int kSpud = 3;
constexpr int kSpudInfinite = 7;
constexpr std::uint8_t kPullUpAfterBit = 0x02;
// The reply that ends a pulse: bits 7:5 set, the low bits unused.
constexpr std::uint8_t kPulseReply = 0xEC;
constexpr int kSearchPassBytes = 16;

// Reset reply: 11 (fixed), V = 0 (no 12 V), chip revision 011, then the bus state.
constexpr std::uint8_t kResetReplyBase = 0xCC;

}  // namespace

std::uint8_t SimBus::BusByte(std::uint8_t masterByte, double now, double slotSeconds) {
    std::uint8_t levels = 0;
    for (int bit = 0; bit < 8; ++bit) {
        if (BusSlot(((masterByte >> bit) & 1) != 0, now + bit * slotSeconds)) {
            levels = static_cast<std::uint8_t>(levels | (1u << bit));
        }
    }
    return levels;
}

void Ds2480bChip::MasterReset() {
    pullingUp_ = false;
    mode_ = Mode::kAwaitCalibration;
    accelerator_ = false;
    speed_ = 0;
    parameters_.fill(0);
    // The commonly quoted power-on values: 512 us 12 V pulse, 524 ms pull-up.
    parameters_[2] = 4;
    parameters_[3] = 4;
}

bool Ds2480bChip::HostFlushedOutput() {
    // Sixteen search bytes make a whole pass (64 ROM bits); after one no
    // host goes on in data mode, so the E3 and accelerator-off that end a
    // pass were sent, whether or not they arrived.
    const bool passEnded =
        InDataMode() && accelerator_ && searchBytes_ > 0 && searchBytes_ % kSearchPassBytes == 0;
    if (passEnded) {
        mode_ = Mode::kCommand;
        accelerator_ = false;
    }
    return passEnded;
}

int Ds2480bChip::BaudRate() const {
    switch (parameters_[kRbr] & 3) {
        case 1:
            return 19200;
        case 2:
            return 57600;
        case 3:
            return 115200;
        default:
            return 9600;
    }
}

double Ds2480bChip::SlotSeconds() const {
    if (speed_ == kSpeedOverdrive) {
        return 10e-6;
    }
    if (speed_ == kSpeedFlexible) {
        // Write-1 low time 8..15 us and sample offset 3..10 us stretch the slot.
        return (60 + parameters_[4] + parameters_[5]) * 1e-6;
    }
    return 60e-6;
}

ByteClass Ds2480bChip::CommandClass(std::uint8_t byte) {
    if (byte == kDataMode || byte == kCommandMode) {
        return ByteClass::kModeSwitch;
    }
    if (byte == kPulseEnd) {
        return ByteClass::kPulse;
    }
    if ((byte & 1) == 0) {
        return ByteClass::kIgnored;
    }
    if ((byte & 0x80) == 0) {
        return ByteClass::kConfiguration;
    }
    switch ((byte >> 5) & 3) {
        case 0:
            return ByteClass::kSingleBit;
        case 1:
            return ByteClass::kSearchSwitch;
        case 2:
            return ByteClass::kReset;
        default:
            return (byte & 0x0C) == 0x0C ? ByteClass::kPulse : ByteClass::kIgnored;
    }
}

ByteClass Ds2480bChip::ClassOf(std::uint8_t byte) const {
    const ByteClass data = accelerator_ ? ByteClass::kSearchData : ByteClass::kData;
    switch (mode_) {
        case Mode::kAwaitCalibration:
            return ByteClass::kCalibration;
        case Mode::kCommand:
            return CommandClass(byte);
        case Mode::kData:
            return byte == kCommandMode ? ByteClass::kModeSwitch : data;
        case Mode::kDataAfterEscape:
            return byte == kCommandMode ? data : CommandClass(byte);
    }
    return ByteClass::kIgnored;
}

Ds2480bChip::Result Ds2480bChip::Receive(std::uint8_t byte, double now) {
    Result result;
    result.kind = ClassOf(byte);
    switch (mode_) {
        case Mode::kAwaitCalibration:
            mode_ = Mode::kCommand;
            result.busSeconds = kResetSeconds;
            break;
        case Mode::kCommand:
            Command(byte, now, result);
            break;
        case Mode::kData:
            if (byte == kCommandMode) {
                mode_ = Mode::kDataAfterEscape;
            } else {
                DataByte(byte, now, result);
            }
            break;
        case Mode::kDataAfterEscape:
            if (byte == kCommandMode) {
                mode_ = Mode::kData;
                DataByte(byte, now, result);
            } else {
                mode_ = Mode::kCommand;
                Command(byte, now, result);
            }
            break;
    }
    return result;
}

void Ds2480bChip::EndPullUp(double now) {
    if (pullingUp_) {
        pullingUp_ = false;
        bus_.StrongPullUp(false, now);
    }
}

void Ds2480bChip::SingleBit(std::uint8_t byte, double now, Result& result) {
    SetSpeed(byte);
    bus_.BeginByte();
    const bool bit = bus_.BusSlot((byte & 0x10) != 0, now);
    result.busSeconds = SlotSeconds();
    result.reply = static_cast<std::uint8_t>((byte & 0xFC) | (bit ? 3 : 0));
    if ((byte & kPullUpAfterBit) == 0) {
        return;
    }
    const double from = now + result.busSeconds;
    bus_.StrongPullUp(true, from);
    if (parameters_[kSpud] == kSpudInfinite) {
        pullingUp_ = true;
        return;
    }
    // A timed pull-up keeps the bus until it ends. (Its own reply, which the
    // chip sends when it ends, is not modelled: the station uses the
    // infinite one.)
    const double duration = 0.0164 * (1 << parameters_[kSpud]);
    bus_.StrongPullUp(false, from + duration);
    result.busSeconds += duration;
}

void Ds2480bChip::Command(std::uint8_t byte, double now, Result& result) {
    if (byte == kPulseEnd && pullingUp_) {
        EndPullUp(now);
        result.reply = kPulseReply;
        return;
    }
    // Any other command ends the pull-up first.
    EndPullUp(now);
    if (byte == kDataMode) {
        mode_ = Mode::kData;
        return;
    }
    if (byte == kCommandMode || byte == kPulseEnd || (byte & 1) == 0) {
        return;
    }
    if ((byte & 0x80) == 0) {
        const int parameter = (byte >> 4) & 7;
        if (parameter == 0) {
            result.reply = static_cast<std::uint8_t>(
                parameters_[static_cast<std::size_t>((byte >> 1) & 7)] << 1);
        } else {
            parameters_[static_cast<std::size_t>(parameter)] = (byte >> 1) & 7;
            result.reply = static_cast<std::uint8_t>(byte & 0xFE);
        }
        return;
    }
    switch ((byte >> 5) & 3) {
        case 0:
            SingleBit(byte, now, result);
            break;
        case 1:  // search accelerator on/off
            SetSpeed(byte);
            accelerator_ = (byte & 0x10) != 0;
            searchBytes_ = 0;
            break;
        case 2: {  // reset
            SetSpeed(byte);
            const SimBus::ResetOutcome outcome = bus_.BusReset(now);
            result.busSeconds = speed_ == kSpeedOverdrive ? 0.000138 : kResetSeconds;
            std::uint8_t state = 0x01;
            if (outcome == SimBus::ResetOutcome::kNone) {
                state = 0x03;
            } else if (outcome == SimBus::ResetOutcome::kShort) {
                state = 0x00;
            }
            result.reply = static_cast<std::uint8_t>(kResetReplyBase | state);
            break;
        }
        default:  // pulse: the pull-up lasts its configured time, then the reply
            if ((byte & 0x0C) == 0x0C) {
                result.busSeconds = 0.0164 * (1 << (parameters_[kSpud] & 7));
                result.reply = static_cast<std::uint8_t>(byte & 0xFC);
                if ((byte & 0x10) == 0) {
                    bus_.StrongPullUp(true, now);
                    bus_.StrongPullUp(false, now + result.busSeconds);
                }
            }
            break;
    }
}

void Ds2480bChip::DataByte(std::uint8_t byte, double now, Result& result) {
    bus_.BeginByte();
    if (accelerator_) {
        ++searchBytes_;
        double cursor = now;
        result.reply = SearchByte(byte, cursor);
        result.busSeconds = cursor - now;
        return;
    }
    const double slot = SlotSeconds();
    result.reply = bus_.BusByte(byte, now, slot);
    result.busSeconds = 8 * slot;
}

std::uint8_t Ds2480bChip::SearchByte(std::uint8_t byte, double& now) {
    // Four ROM bits per byte: the host's choice at the odd bit positions; the
    // reply carries the discrepancy flag (even) and the chosen bit (odd).
    std::uint8_t reply = 0;
    const double slot = SlotSeconds();
    for (int n = 0; n < 4; ++n) {
        const bool choice = ((byte >> (2 * n + 1)) & 1) != 0;
        const bool b0 = bus_.BusSlot(true, now);
        const bool b1 = bus_.BusSlot(true, now + slot);
        bool direction = b0;
        bool discrepancy = false;
        if (b0 == b1) {
            discrepancy = true;
            direction = b0 ? true : choice;
        }
        bus_.BusSlot(direction, now + 2 * slot);
        now += 3 * slot;
        if (discrepancy) {
            reply = static_cast<std::uint8_t>(reply | (1u << (2 * n)));
        }
        if (direction) {
            reply = static_cast<std::uint8_t>(reply | (1u << (2 * n + 1)));
        }
    }
    return reply;
}

}  // namespace qrv::sim
