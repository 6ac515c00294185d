#include "switch_devices.h"

#include "onewire/crc.h"

namespace qrv::sim {

namespace {

constexpr std::uint8_t kWriteStatus = 0x55;
constexpr std::uint8_t kReadStatus = 0xAA;
constexpr std::uint8_t kChannelAccess = 0xF5;

constexpr std::uint8_t kStatusReadWrite = 0x5A;
constexpr std::uint8_t kAllLinesOff = 0x66;
constexpr std::uint8_t kDischarge = 0x99;
constexpr std::uint8_t kDirectOnMain = 0xA5;
constexpr std::uint8_t kSmartOnMain = 0xCC;
constexpr std::uint8_t kSmartOnAux = 0x33;

}  // namespace

Ds2406Switch::Ds2406Switch(const Rom& rom, ValueModel inputA)
    : SimDevice(rom), inputA_(std::move(inputA)) {
    PowerOn();
}

void Ds2406Switch::PowerOn() {
    SimDevice::PowerOn();
    const bool changed = status7_ != 0x7F;
    status7_ = 0x7F;
    statusMemory_ = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x7F};
    step_ = Step::kIgnore;
    if (changed && listener_) {
        listener_();
    }
}

bool Ds2406Switch::LevelA(double now) const {
    // The pin reads low while its own transistor pulls it down.
    return !OutputAOn() && inputA_.At(now) >= 0.5;
}

std::uint8_t Ds2406Switch::InfoByte(double now) const {
    std::uint8_t info = 0x80 | 0x40;  // supply present, two channels
    if (latchA_) {
        info |= 0x10;
    }
    if (!OutputBOn()) {
        info |= 0x08;  // B level: nothing external pulls it down
    }
    if (LevelA(now)) {
        info |= 0x04;
    }
    if (!OutputBOn()) {
        info |= 0x02;
    }
    if (!OutputAOn()) {
        info |= 0x01;
    }
    return info;
}

std::uint8_t Ds2406Switch::ChannelDataByte(double now) const {
    return LevelA(now) ? 0xFF : 0x00;
}

void Ds2406Switch::QueueInvertedCrc(std::uint16_t crc) {
    const auto inverted = static_cast<std::uint16_t>(~crc);
    QueueCrc(static_cast<std::uint8_t>(inverted & 0xFF));
    QueueCrc(static_cast<std::uint8_t>(inverted >> 8));
}

void Ds2406Switch::OnSelected(bool byMatch, double now) {
    (void)byMatch;
    const bool level = LevelA(now);
    if (level != lastLevelA_) {
        latchA_ = true;
        lastLevelA_ = level;
    }
    step_ = Step::kCommand;
    headerLength_ = 0;
}

void Ds2406Switch::OnByte(std::uint8_t byte, double now) {
    switch (step_) {
        case Step::kIgnore:
        case Step::kChannel:
            return;
        case Step::kAfterWrite:
            // The byte after the CRC commits status byte 7 (already stored,
            // since drivers commonly stop after the CRC); the device echoes it.
            Queue(status7_);
            step_ = Step::kIgnore;
            return;
        case Step::kWriteStatus:
        case Step::kReadStatus:
        case Step::kChannelControl:
            header_[headerLength_++] = byte;
            break;
        case Step::kCommand:
            header_[0] = byte;
            headerLength_ = 1;
            switch (byte) {
                case kWriteStatus:
                    step_ = Step::kWriteStatus;
                    break;
                case kReadStatus:
                    step_ = Step::kReadStatus;
                    break;
                case kChannelAccess:
                    step_ = Step::kChannelControl;
                    break;
                default:
                    step_ = Step::kIgnore;
                    break;
            }
            return;
    }
    if (step_ == Step::kWriteStatus && headerLength_ == 4) {
        const std::size_t address = header_[1] | (header_[2] << 8);
        QueueInvertedCrc(Crc16(header_));
        if (address == 7) {
            const std::uint8_t before = status7_;
            status7_ = static_cast<std::uint8_t>(header_[3] & 0x7F);
            if (before != status7_ && listener_) {
                listener_();
            }
        }
        step_ = Step::kAfterWrite;
    } else if (step_ == Step::kReadStatus && headerLength_ == 3) {
        std::uint16_t crc = Crc16(std::span(header_.data(), 3));
        statusMemory_[7] = status7_;
        for (std::size_t address = header_[1] & 7; address < 8; ++address) {
            Queue(statusMemory_[address]);
            crc = DoCRC16(crc, statusMemory_[address]);
        }
        QueueInvertedCrc(crc);
        step_ = Step::kIgnore;
    } else if (step_ == Step::kChannelControl && headerLength_ == 3) {
        if ((header_[1] & 0x80) != 0) {
            latchA_ = false;
        }
        const std::uint8_t info = InfoByte(now);
        const std::uint8_t data = ChannelDataByte(now);
        Queue(info);
        Queue(data);
        std::uint16_t crc = Crc16(std::span(header_.data(), 3));
        crc = DoCRC16(crc, info);
        crc = DoCRC16(crc, data);
        QueueInvertedCrc(crc);
        step_ = Step::kChannel;
    }
}

void Ds2406Switch::OnQueueDrained(double now) {
    if (step_ == Step::kChannel) {
        // Further reads: one data byte, then its own CRC (generator restarted).
        const std::uint8_t data = ChannelDataByte(now);
        Queue(data);
        QueueInvertedCrc(DoCRC16(0, data));
    }
}

void Ds2409Coupler::PowerOn() {
    SimDevice::PowerOn();
    main_ = aux_ = false;
    manual_ = false;
    controlData_ = false;
    associationAux_ = false;
    step_ = Step::kIgnore;
    Changed();
}

bool Ds2409Coupler::ControlConducts() const {
    if (manual_) {
        return controlData_;
    }
    return associationAux_ ? aux_ : main_;
}

std::uint8_t Ds2409Coupler::StatusByte() const {
    std::uint8_t status = 0;
    if (!main_) {
        status |= 0x01 | 0x02;  // disconnected, level high
    }
    if (!aux_) {
        status |= 0x04 | 0x08;
    }
    if (manual_ ? controlData_ : associationAux_) {
        status |= 0x40;
    }
    if (manual_) {
        status |= 0x80;
    }
    return status;
}

void Ds2409Coupler::Changed() {
    if (listener_) {
        listener_();
    }
}

void Ds2409Coupler::OnSelected(bool byMatch, double now) {
    (void)byMatch;
    (void)now;
    step_ = Step::kCommand;
}

void Ds2409Coupler::OnByte(std::uint8_t byte, double now) {
    (void)now;
    switch (step_) {
        case Step::kIgnore:
            return;
        case Step::kControlByte:
            if ((byte & 0x18) == 0) {
                controlData_ = (byte & 0x80) != 0;
                associationAux_ = (byte & 0x40) != 0;
                manual_ = (byte & 0x20) != 0;
                Changed();
            }
            Queue(StatusByte());
            Queue(StatusByte());
            step_ = Step::kIgnore;
            return;
        case Step::kSmartOn:
            // The reset stimulus: connect the branch and report its presence.
            main_ = smartCommand_ == kSmartOnMain;
            aux_ = !main_;
            Changed();
            Queue(0x00);
            Queue(smartCommand_);
            step_ = Step::kIgnore;
            return;
        case Step::kCommand:
            break;
    }
    step_ = Step::kIgnore;
    switch (byte) {
        case kStatusReadWrite:
            step_ = Step::kControlByte;
            break;
        case kAllLinesOff:
        case kDischarge:
            main_ = aux_ = false;
            Changed();
            Queue(byte);
            break;
        case kDirectOnMain:
            main_ = true;
            aux_ = false;
            Changed();
            Queue(byte);
            break;
        case kSmartOnMain:
        case kSmartOnAux:
            smartCommand_ = byte;
            step_ = Step::kSmartOn;
            break;
        default:
            break;
    }
}

void Ds2405Switch::PowerOn() {
    SimDevice::PowerOn();
    on_ = false;
}

void Ds2405Switch::OnSelected(bool byMatch, double now) {
    (void)now;
    if (byMatch) {
        on_ = !on_;
        ++toggles_;
    }
}

}  // namespace qrv::sim
