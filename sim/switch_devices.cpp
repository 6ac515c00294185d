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
    if (latchB_) {
        info |= 0x20;
    }
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

bool Ds2406Switch::LevelB() const {
    // Nothing outside pulls PIO-B down: it reads high unless its own
    // transistor conducts.
    return !OutputBOn();
}

std::uint8_t Ds2406Switch::ReadChannelByte(double now) const {
    // "CHS: 01 A, 10 B, 11 both": with both, the bits alternate, A first.
    const int channels = (ccb1_ >> 2) & 3;
    std::uint8_t byte = 0;
    for (int bit = 0; bit < 8; ++bit) {
        const bool a = channels == 1 || (channels == 3 && bit % 2 == 0);
        const bool level = a ? LevelA(now) : LevelB();
        byte = static_cast<std::uint8_t>(byte | (level ? 1u << bit : 0u));
    }
    return byte;
}

void Ds2406Switch::WriteChannelByte(std::uint8_t byte) {
    // "A written bit goes into the flip-flop": the last bit for a channel
    // stays.
    const int channels = (ccb1_ >> 2) & 3;
    std::uint8_t status = status7_;
    const auto set = [&status](std::uint8_t mask, bool value) {
        status = static_cast<std::uint8_t>(value ? status | mask : status & ~mask);
    };
    if (channels == 1) {
        set(0x20, (byte & 0x80) != 0);
    } else if (channels == 2) {
        set(0x40, (byte & 0x80) != 0);
    } else if (channels == 3) {
        set(0x20, (byte & 0x40) != 0);
        set(0x40, (byte & 0x80) != 0);
    }
    if (status != status7_) {
        status7_ = status;
        if (listener_) {
            listener_();
        }
    }
}

int Ds2406Switch::CrcBlockBytes() const {
    // "CRC: 00 none, 01 every byte, 10 every 8 bytes, 11 every 32 bytes"
    static constexpr std::array<int, 4> kBlock{0, 1, 8, 32};
    return kBlock[ccb1_ & 3];
}

void Ds2406Switch::ChannelByteDone(std::uint8_t byte, double now) {
    // "The first CRC covers the command, both control bytes, the info byte
    // and the first data bytes; each later CRC only the new data."
    channelCrc_ = DoCRC16(channelCrc_, byte);
    if (++blockBytes_ == CrcBlockBytes()) {
        QueueInvertedCrc(channelCrc_);
        channelCrc_ = 0;
        blockBytes_ = 0;
    }
    if ((ccb1_ & 0x20) != 0) {
        channelRead_ = !channelRead_;  // TOG: read and write take turns
    }
    if (channelRead_ && QueueEmpty()) {
        QueueChannelByte(now);
    }
}

void Ds2406Switch::QueueChannelByte(double now) {
    const std::uint8_t byte = ReadChannelByte(now);
    Queue(byte);
    ChannelByteDone(byte, now);
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
    if (LevelB() != lastLevelB_) {
        latchB_ = true;
        lastLevelB_ = LevelB();
    }
    step_ = Step::kCommand;
    headerLength_ = 0;
}

void Ds2406Switch::OnByte(std::uint8_t byte, double now) {
    switch (step_) {
        case Step::kIgnore:
            return;
        case Step::kChannel:
            if (!channelRead_) {
                WriteChannelByte(byte);
                ChannelByteDone(byte, now);
            }
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
        ccb1_ = header_[1];
        if ((ccb1_ & 0x80) != 0) {
            latchA_ = latchB_ = false;  // ALR
        }
        const std::uint8_t info = InfoByte(now);
        Queue(info);
        channelCrc_ = DoCRC16(Crc16(std::span(header_.data(), 3)), info);
        blockBytes_ = 0;
        // "IM: 1 read, 0 write"
        channelRead_ = (ccb1_ & 0x40) != 0;
        step_ = Step::kChannel;
        if (channelRead_) {
            QueueChannelByte(now);
        }
    }
}

void Ds2406Switch::OnQueueDrained(double now) {
    if (step_ == Step::kChannel && channelRead_) {
        QueueChannelByte(now);
    }
}

bool Ds2406Switch::InAlarm(double now) {
    // Conditional search: "CSS channel (01 A, 10 B, 11 A or B), CSS source
    // (01 latch, 10 flip-flop, 11 PIO level), CSS polarity"; channel 00
    // never joins.
    const int channels = (status7_ >> 3) & 3;
    const int source = (status7_ >> 1) & 3;
    const bool polarity = (status7_ & 1) != 0;
    const auto value = [&](bool a) {
        switch (source) {
            case 1:
                return a ? latchA_ : latchB_;
            case 2:
                return a ? !OutputAOn() : !OutputBOn();
            case 3:
                return a ? LevelA(now) : LevelB();
            default:
                return !polarity;
        }
    };
    return ((channels & 1) != 0 && value(true) == polarity) ||
           ((channels & 2) != 0 && value(false) == polarity);
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

std::uint8_t Ds2409Coupler::StatusByte(double now) const {
    std::uint8_t status = 0;
    if (!main_) {
        // "voltage sensed at main output ... Data is valid only if the output
        // is decoupled from the 1-Wire input."
        const bool low = branch_.low && branch_.low(now);
        status |= low ? 0x01 : 0x01 | 0x02;
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

void Ds2409Coupler::OnQueueDrained(double now) {
    (void)now;
    if (step_ != Step::kSmartOnConnect) {
        return;
    }
    // Only now does the branch join the trunk, so that its freshly reset
    // devices take the master's next bits as a ROM command and the presence
    // and confirmation bytes before them never reach them.
    main_ = smartCommand_ == kSmartOnMain;
    aux_ = !main_;
    Changed();
    step_ = Step::kIgnore;
}

void Ds2409Coupler::OnByte(std::uint8_t byte, double now) {
    switch (step_) {
        case Step::kIgnore:
        case Step::kSmartOnConnect:
            return;
        case Step::kControlByte:
            // "Write control: both bits must be 0 to change the status."
            if ((byte & 0x18) == 0) {
                controlData_ = (byte & 0x80) != 0;
                associationAux_ = (byte & 0x40) != 0;
                manual_ = (byte & 0x20) != 0;
                Changed();
            }
            Queue(StatusByte(now));
            Queue(StatusByte(now));
            step_ = Step::kIgnore;
            return;
        case Step::kSmartOn: {
            // The reset stimulus: "This command generates a reset/presence
            // sequence on the selected output". The auxiliary output has
            // nothing on it.
            const bool presence =
                smartCommand_ == kSmartOnMain && branch_.reset && branch_.reset(now);
            Queue(presence ? 0x00 : 0xFF);
            Queue(smartCommand_);
            step_ = Step::kSmartOnConnect;
            return;
        }
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
            // "the first action of the Smart-On Main command is deactivating
            // the main output"
            main_ = aux_ = false;
            Changed();
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
