#include "sim_serial_port.h"

namespace qrv::sim {

SimulatedSerialPort::SimulatedSerialPort(std::shared_ptr<SimulatedNodex> unit, Clock& clock,
                                         double epoch)
    : unit_(std::move(unit)), clock_(clock), epoch_(epoch) {}

SimulatedSerialPort::~SimulatedSerialPort() {
    if (open_) {
        unit_->ReleaseLink();
    }
}

int SimulatedSerialPort::Open(const SerialSettings& settings) {
    if (open_) {
        return kSerialCannotOpen;
    }
    if (settings.baudRate <= 0 || settings.dataBits != 8) {
        return kSerialBadSettings;
    }
    if (!unit_->ClaimLink()) {
        lastError_ = "busy: another program has it open";
        return kSerialCannotOpen;
    }
    lastError_.clear();
    open_ = true;
    baud_ = settings.baudRate;
    rts_ = dtr_ = true;
    unit_->SetModemLines(rts_, dtr_, Now());
    FlushInput();
    return kSerialOk;
}

int SimulatedSerialPort::Close() {
    if (!open_) {
        return kSerialNotOpen;
    }
    open_ = false;
    unit_->ReleaseLink();
    pending_.clear();
    next_ = 0;
    return kSerialOk;
}

int SimulatedSerialPort::SetBaudRate(int baudRate) {
    if (!open_) {
        return kSerialNotOpen;
    }
    if (baudRate <= 0) {
        return kSerialBadSettings;
    }
    baud_ = baudRate;
    return kSerialOk;
}

int SimulatedSerialPort::SetRts(bool on) {
    if (!open_) {
        return kSerialNotOpen;
    }
    rts_ = on;
    unit_->SetModemLines(rts_, dtr_, Now());
    return kSerialOk;
}

int SimulatedSerialPort::SetDtr(bool on) {
    if (!open_) {
        return kSerialNotOpen;
    }
    dtr_ = on;
    unit_->SetModemLines(rts_, dtr_, Now());
    return kSerialOk;
}

int SimulatedSerialPort::GetLineStatus() {
    if (!open_) {
        return kSerialNotOpen;
    }
    return unit_->Cts(Now()) ? kLineStatusCts : 0;
}

int SimulatedSerialPort::Write(std::span<const std::uint8_t> bytes) {
    if (!open_) {
        return kSerialNotOpen;
    }
    if (next_ == pending_.size()) {
        pending_.clear();
        next_ = 0;
    }
    unit_->HostWrite(bytes, baud_, Now(), pending_);
    return static_cast<int>(bytes.size());
}

int SimulatedSerialPort::Read(std::span<std::uint8_t> bytes, double timeoutSeconds) {
    if (!open_) {
        return kSerialNotOpen;
    }
    std::size_t count = 0;
    double waitFrom = Now();
    while (count < bytes.size()) {
        const double now = Now();
        if (next_ == pending_.size() || pending_[next_].at > waitFrom + timeoutSeconds) {
            const double giveUp = waitFrom + timeoutSeconds;
            if (giveUp > now) {
                clock_.Delay(giveUp - now);
            }
            break;
        }
        if (pending_[next_].at > now) {
            clock_.Delay(pending_[next_].at - now);
        }
        bytes[count++] = pending_[next_++].byte;
        waitFrom = Now();
    }
    return static_cast<int>(count);
}

void SimulatedSerialPort::FlushInput() {
    // Only bytes that have arrived are discarded; later ones are still on
    // their way and arrive after the flush, as on a real line.
    const double now = Now();
    while (next_ < pending_.size() && pending_[next_].at <= now) {
        ++next_;
    }
}

int SimulatedSerialPort::SendBreak(double seconds) {
    if (!open_) {
        return kSerialNotOpen;
    }
    clock_.Delay(seconds);
    unit_->HostBreak(Now());
    pending_.clear();
    next_ = 0;
    return kSerialOk;
}

}  // namespace qrv::sim
