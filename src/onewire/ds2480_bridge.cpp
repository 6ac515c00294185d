#include "onewire/ds2480_bridge.h"

#include <fmt/format.h>

namespace qrv {

namespace {

// A break well over one character at 9600 baud resets the bridge; it then
// needs a moment before the calibration byte. What follows the break may
// still draw a reply when the break never arrived (a data byte, a reset), so
// the wait lets three characters out and one back before the input is
// dropped.
constexpr double kBreakSeconds = 0.004;
constexpr double kAfterBreakSeconds = 0.002;
constexpr double kAfterCalibrationSeconds = 0.008;

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

int Ds2480Exchange::Expect(ReplyKind kind, std::uint8_t sent) {
    expected_.push_back({kind, sent});
    return replies_++;
}

int Ds2480Exchange::Reset() {
    ToCommandMode();
    out_.push_back(ds2480::kReset);
    return Expect(ReplyKind::kReset, ds2480::kReset);
}

int Ds2480Exchange::Bit(bool value) {
    ToCommandMode();
    const std::uint8_t command = value ? ds2480::kBitOne : ds2480::kBitZero;
    out_.push_back(command);
    return Expect(ReplyKind::kBit, command);
}

int Ds2480Exchange::BitThenPullUp(bool value) {
    ToCommandMode();
    const auto command = static_cast<std::uint8_t>((value ? ds2480::kBitOne : ds2480::kBitZero) |
                                                   ds2480::kBitThenPullUp);
    out_.push_back(command);
    return Expect(ReplyKind::kBit, command);
}

int Ds2480Exchange::EndPulse() {
    ToCommandMode();
    out_.push_back(ds2480::kPulseEnd);
    return Expect(ReplyKind::kPulse, ds2480::kPulseEnd);
}

int Ds2480Exchange::Data(std::span<const std::uint8_t> bytes) {
    ToDataMode();
    const int first = replies_;
    for (const std::uint8_t byte : bytes) {
        AppendData(byte);
        Expect(ReplyKind::kData, byte);
    }
    return first;
}

int Ds2480Exchange::Config(std::uint8_t command) {
    ToCommandMode();
    out_.push_back(command);
    return Expect(ReplyKind::kConfig, command);
}

bool Ds2480Exchange::Plausible(std::span<const std::uint8_t> replies) const {
    if (replies.size() != expected_.size()) {
        return false;
    }
    for (std::size_t i = 0; i < replies.size(); ++i) {
        const std::uint8_t reply = replies[i];
        const std::uint8_t sent = expected_[i].sent;
        bool ok = true;
        switch (expected_[i].kind) {
            case ReplyKind::kReset:
                ok = (reply & 0xC0) == 0xC0;
                break;
            case ReplyKind::kBit:
                ok = (reply & 0xFC) == (sent & 0xFC);
                break;
            case ReplyKind::kData:
                // The bus is a wired AND: a bit written as 0 always reads 0.
                ok = (reply & ~sent & 0xFF) == 0;
                break;
            case ReplyKind::kConfig:
                // A write echoes itself without bit 0; a read gives 0000vvv0.
                ok = ((sent >> 4) & 7) != 0 ? reply == (sent & 0xFE) : (reply & 0xF1) == 0;
                break;
            case ReplyKind::kSearch:
                break;
            case ReplyKind::kPulse:
                ok = (reply & 0xE0) == 0xE0;
                break;
        }
        if (!ok) {
            return false;
        }
    }
    return true;
}

int Ds2480Exchange::AcceleratedSearch(std::span<const std::uint8_t, 16> choices) {
    ToCommandMode();
    out_.push_back(ds2480::kSearchOn);
    ToDataMode();
    const int first = replies_;
    for (const std::uint8_t byte : choices) {
        AppendData(byte);
        Expect(ReplyKind::kSearch, byte);
    }
    ToCommandMode();
    out_.push_back(ds2480::kSearchOff);
    return first;
}

Ds2480Bridge::Ds2480Bridge(SerialPort& port, Clock& clock, EventNote note)
    : port_(port), clock_(clock), note_(std::move(note)) {}

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
    // Pseudo-terminals and some USB adapters report a break as sent and do
    // nothing, so the bytes after it must bring the bridge to command mode
    // from any state. After a real break C1 calibrates; without one it is a
    // data byte (then E3 leaves data mode) or a bus reset (E3 is harmless in
    // command mode), and an E3 left pending by a cut exchange turns C1 into a
    // command. A5 switches off a search accelerator that a cut search left on.
    port_.SendBreak(kBreakSeconds);
    clock_.Delay(kAfterBreakSeconds);
    const std::array<std::uint8_t, 3> recover{ds2480::kCalibrationReset, ds2480::kCommandMode,
                                              ds2480::kSearchOff};
    if (port_.Write(recover) != static_cast<int>(recover.size())) {
        return false;
    }
    clock_.Delay(kAfterCalibrationSeconds);
    port_.FlushInput();
    return true;
}

bool Ds2480Bridge::Resynchronise() {
    ++stats_.resyncs;
    const bool answered = MasterReset() && RestoreConfig() && Probe();
    if (!answered) {
        ++stats_.failedResyncs;
    }
    if (note_) {
        note_(fmt::format("resync {}: {}", stats_.resyncs,
                          answered ? "the bridge answers" : "no answer"));
    }
    return answered;
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
    if (needsResync_) {
        needsResync_ = !Resynchronise();
    }
    return Ds2480Exchange(dataMode_);
}

std::optional<std::vector<std::uint8_t>> Ds2480Bridge::Exchange(const Ds2480Exchange& exchange) {
    if (needsResync_) {
        return std::nullopt;
    }
    const auto& out = exchange.Bytes();
    std::vector<std::uint8_t> replies(static_cast<std::size_t>(exchange.ReplyCount()));
    // Bytes nobody asked for (noise, the late end of a cut exchange) would
    // shift every reply that follows.
    port_.FlushInput();
    if (port_.Write(out) != static_cast<int>(out.size()) || !ReadFully(replies) ||
        !exchange.Plausible(replies)) {
        // The bridge may have seen part of the bytes: its mode is unknown.
        ++stats_.failedExchanges;
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
           ReadFully(replies) && replies[0] == 0x00 && DecodeReset(replies[1]).has_value();
}

bool Ds2480Bridge::Setup() {
    needsResync_ = true;
    dataMode_ = false;
    // A second try drops whatever a bridge in an unknown state answered to
    // the first.
    for (int attempt = 0; attempt < 2 && needsResync_; ++attempt) {
        needsResync_ = !Resynchronise();
    }
    return !needsResync_;
}

}  // namespace qrv
