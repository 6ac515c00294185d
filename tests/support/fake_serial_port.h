#pragma once

#include <memory>
#include <vector>

#include "runtime/serial_port.h"

namespace qrv::testing {

// A serial port whose modem lines follow a script: how CTS answers to RTS/DTR
// and whether opening works. Records what happened to RTS and DTR.
struct FakeLineState {
    enum class Cts { FollowsPower, AlwaysOn, AlwaysOff };
    Cts cts = Cts::FollowsPower;
    int openResult = kSerialOk;
    bool rts = true;  // a freshly opened port raises RTS and DTR
    bool dtr = true;
    int opens = 0;
    int closes = 0;
    bool open = false;
};

class FakeSerialPort final : public SerialPort {
  public:
    explicit FakeSerialPort(std::shared_ptr<FakeLineState> state) : state_(std::move(state)) {}

    int Open(const SerialSettings&) override {
        ++state_->opens;
        if (state_->openResult != kSerialOk) {
            return state_->openResult;
        }
        state_->open = true;
        state_->rts = state_->dtr = true;
        return kSerialOk;
    }
    int Close() override {
        ++state_->closes;
        state_->open = false;
        return kSerialOk;
    }
    bool IsOpen() const override { return state_->open; }
    int SetBaudRate(int) override { return kSerialOk; }
    int SetRts(bool on) override {
        state_->rts = on;
        return kSerialOk;
    }
    int SetDtr(bool on) override {
        state_->dtr = on;
        return kSerialOk;
    }
    int GetLineStatus() override {
        if (!state_->open) {
            return kSerialNotOpen;
        }
        switch (state_->cts) {
            case FakeLineState::Cts::AlwaysOn:
                return kLineStatusCts;
            case FakeLineState::Cts::AlwaysOff:
                return 0;
            case FakeLineState::Cts::FollowsPower:
                return state_->rts && state_->dtr ? kLineStatusCts : 0;
        }
        return 0;
    }
    bool HasModemLines() const override { return true; }
    int Write(std::span<const std::uint8_t> bytes) override {
        return static_cast<int>(bytes.size());
    }
    int Read(std::span<std::uint8_t>, double) override { return 0; }
    void FlushInput() override {}
    int SendBreak(double) override { return kSerialOk; }

  private:
    std::shared_ptr<FakeLineState> state_;
};

// A provider that hands out fake ports sharing one line state.
class FakePortProvider final : public SerialPortProvider {
  public:
    explicit FakePortProvider(std::shared_ptr<FakeLineState> state)
        : SerialPortProvider(PortMap{}), state_(std::move(state)) {}
    std::unique_ptr<SerialPort> MakePort(int comNumber) override {
        if (comNumber < 1 || comNumber > 8) {
            return nullptr;
        }
        return std::make_unique<FakeSerialPort>(state_);
    }

  private:
    std::shared_ptr<FakeLineState> state_;
};

}  // namespace qrv::testing
