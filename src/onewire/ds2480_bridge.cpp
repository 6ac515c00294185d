#include "onewire/ds2480_bridge.h"

namespace qrv {

namespace {

// A break well over one character at 9600 baud resets the bridge; it then
// needs a moment before the calibration byte, and the calibration reset
// itself sends nothing back but takes about a millisecond on the bus.
constexpr double kBreakSeconds = 0.004;
constexpr double kAfterBreakSeconds = 0.002;
constexpr double kAfterCalibrationSeconds = 0.004;

// Replies come within a few character times; the margin covers slow USB
// adapters without letting a silent port hold the caller for long.
constexpr double kReplyBaseSeconds = 0.1;
constexpr double kReplyPerByteSeconds = 0.003;

}  // namespace

void Ds2480Exchange::ToCommandMode() {
    if (dataMode_) {
        out_.push_back(ds2480::kCommandMode);
        dataMode_ = false;
    }
}

void Ds2480Exchange::ToDataMode() {
    if (!dataMode_) {
        out_.push_back(ds2480::kDataMode);
        dataMode_ = true;
    }
}

void Ds2480Exchange::AppendData(std::uint8_t byte) {
    out_.push_back(byte);
    // In data mode 0xE3 would switch to command mode; sent twice it is data.
    if (byte == ds2480::kCommandMode) {
        out_.push_back(byte);
    }
}

int Ds2480Exchange::Reset() {
    ToCommandMode();
    out_.push_back(ds2480::kReset);
    return replies_++;
}

int Ds2480Exchange::Bit(bool value) {
    ToCommandMode();
    out_.push_back(value ? ds2480::kBitOne : ds2480::kBitZero);
    return replies_++;
}

int Ds2480Exchange::Data(std::span<const std::uint8_t> bytes) {
    ToDataMode();
    const int first = replies_;
    for (const std::uint8_t byte : bytes) {
        AppendData(byte);
    }
    replies_ += static_cast<int>(bytes.size());
    return first;
}

int Ds2480Exchange::Config(std::uint8_t command) {
    ToCommandMode();
    out_.push_back(command);
    return replies_++;
}

int Ds2480Exchange::AcceleratedSearch(std::span<const std::uint8_t, 16> choices) {
    ToCommandMode();
    out_.push_back(ds2480::kSearchOn);
    ToDataMode();
    const int first = replies_;
    for (const std::uint8_t byte : choices) {
        AppendData(byte);
    }
    replies_ += 16;
    ToCommandMode();
    out_.push_back(ds2480::kSearchOff);
    return first;
}

Ds2480Bridge::Ds2480Bridge(SerialPort& port, Clock& clock) : port_(port), clock_(clock) {}

std::optional<ResetResult> Ds2480Bridge::DecodeReset(std::uint8_t reply) {
    if ((reply & 0xC0) != 0xC0) {
        return std::nullopt;
    }
    switch (reply & 0x03) {
        case 0:
            return ResetResult::kShort;
        case 1:
            return ResetResult::kPresence;
        case 2:
            return ResetResult::kAlarmingPresence;
        default:
            return ResetResult::kNoPresence;
    }
}

bool Ds2480Bridge::MasterReset() {
    dataMode_ = false;
    // A link that cannot send a break (some adapters) at least leaves data
    // mode first, so that the calibration byte is taken as a command.
    const bool broke = port_.SendBreak(kBreakSeconds) >= 0;
    clock_.Delay(kAfterBreakSeconds);
    std::vector<std::uint8_t> bytes;
    if (!broke) {
        bytes.push_back(ds2480::kCommandMode);
    }
    bytes.push_back(ds2480::kCalibrationReset);
    if (port_.Write(bytes) != static_cast<int>(bytes.size())) {
        return false;
    }
    clock_.Delay(kAfterCalibrationSeconds);
    port_.FlushInput();
    return true;
}

bool Ds2480Bridge::ReadFully(std::span<std::uint8_t> bytes) {
    const double deadline = clock_.Timer() + kReplyBaseSeconds +
                            kReplyPerByteSeconds * static_cast<double>(bytes.size());
    std::size_t got = 0;
    while (got < bytes.size()) {
        const double left = deadline - clock_.Timer();
        if (left <= 0) {
            return false;
        }
        const int n = port_.Read(bytes.subspan(got), left);
        if (n <= 0) {
            return false;
        }
        got += static_cast<std::size_t>(n);
    }
    return true;
}

Ds2480Exchange Ds2480Bridge::Begin() {
    if (needsResync_ && MasterReset() && RestoreConfig()) {
        needsResync_ = false;
    }
    return Ds2480Exchange(dataMode_);
}

std::optional<std::vector<std::uint8_t>> Ds2480Bridge::Exchange(const Ds2480Exchange& exchange) {
    if (needsResync_) {
        return std::nullopt;
    }
    const auto& out = exchange.Bytes();
    std::vector<std::uint8_t> replies(static_cast<std::size_t>(exchange.ReplyCount()));
    if (port_.Write(out) != static_cast<int>(out.size()) || !ReadFully(replies)) {
        // The bridge may have seen part of the bytes: its mode is unknown.
        needsResync_ = true;
        return std::nullopt;
    }
    dataMode_ = exchange.EndsInDataMode();
    return replies;
}

void Ds2480Bridge::RememberConfig(int parameter, int value) {
    writtenConfig_[static_cast<std::size_t>(parameter)] = value;
}

bool Ds2480Bridge::RestoreConfig() {
    Ds2480Exchange exchange(false);
    std::vector<std::uint8_t> expected;
    for (int parameter = 1; parameter < 7; ++parameter) {
        const int value = writtenConfig_[static_cast<std::size_t>(parameter)];
        if (value >= 0) {
            const std::uint8_t command = ds2480::ConfigWrite(parameter, value);
            exchange.Config(command);
            expected.push_back(static_cast<std::uint8_t>(command & 0xFE));
        }
    }
    if (expected.empty()) {
        return true;
    }
    std::vector<std::uint8_t> replies(expected.size());
    return port_.Write(exchange.Bytes()) == static_cast<int>(exchange.Bytes().size()) &&
           ReadFully(replies) && replies == expected;
}

bool Ds2480Bridge::Probe() {
    // Reading the baud-rate parameter must give 9600 (code 0), and a bus
    // reset must give a well-formed reply whatever the bus holds.
    Ds2480Exchange probe(false);
    probe.Config(ds2480::ConfigRead(ds2480::kBaudRate));
    probe.Reset();
    std::vector<std::uint8_t> replies(2);
    return port_.Write(probe.Bytes()) == static_cast<int>(probe.Bytes().size()) &&
           ReadFully(replies) && (replies[0] & 0x0E) == 0 && DecodeReset(replies[1]).has_value();
}

bool Ds2480Bridge::Setup() {
    needsResync_ = true;
    dataMode_ = false;
    bool answered = MasterReset() && RestoreConfig() && Probe();
    if (!answered) {
        // A link whose break does not reach the bridge (a pseudo-terminal, some
        // adapters) may have left it in data mode: leave data mode, reset the
        // bus, drop the replies and ask again.
        const std::array<std::uint8_t, 2> recover{ds2480::kCommandMode, ds2480::kCalibrationReset};
        port_.Write(recover);
        clock_.Delay(kAfterCalibrationSeconds);
        port_.FlushInput();
        answered = RestoreConfig() && Probe();
    }
    needsResync_ = !answered;
    return answered;
}

}  // namespace qrv
