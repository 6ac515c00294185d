#include "onewire/tracing_port.h"

#include <fmt/format.h>

namespace qrv {

std::string HexBytes(std::span<const std::uint8_t> bytes) {
    return fmt::format("{:02X}", fmt::join(bytes, " "));
}

bool TraceSink::OpenFile(const std::string& path) {
    file_.reset(std::fopen(path.c_str(), "w"));
    return file_ != nullptr;
}

void TraceSink::Write(double seconds, std::string_view direction, std::string_view text) {
    if (!file_) {
        return;
    }
    fmt::print(file_.get(), "{:12.6f} {} {}\n", seconds, direction, text);
    std::fflush(file_.get());
}

TracingSerialPort::TracingSerialPort(std::unique_ptr<SerialPort> inner, Clock& clock,
                                     TraceSink* sink)
    : inner_(std::move(inner)), clock_(clock), sink_(sink), start_(clock.Timer()) {}

void TracingSerialPort::Note(std::string_view direction, std::string_view text) {
    if (sink_ != nullptr) {
        sink_->Write(clock_.Timer() - start_, direction, text);
    }
}

void TracingSerialPort::NoteBytes(std::string_view direction, std::span<const std::uint8_t> bytes) {
    if (sink_ != nullptr && !bytes.empty()) {
        Note(direction, HexBytes(bytes));
    }
}

int TracingSerialPort::Open(const SerialSettings& settings) {
    const int result = inner_->Open(settings);
    Note("--", fmt::format("open {} baud: {}", settings.baudRate, result));
    return result;
}

int TracingSerialPort::Close() {
    const int result = inner_->Close();
    Note("--", fmt::format("close: {}", result));
    return result;
}

int TracingSerialPort::SetBaudRate(int baudRate) {
    const int result = inner_->SetBaudRate(baudRate);
    Note("--", fmt::format("baud {}: {}", baudRate, result));
    return result;
}

int TracingSerialPort::SetRts(bool on) {
    Note("--", on ? "rts on" : "rts off");
    return inner_->SetRts(on);
}

int TracingSerialPort::SetDtr(bool on) {
    Note("--", on ? "dtr on" : "dtr off");
    return inner_->SetDtr(on);
}

int TracingSerialPort::Write(std::span<const std::uint8_t> bytes) {
    const int result = inner_->Write(bytes);
    NoteBytes("->", bytes.first(result > 0 ? static_cast<std::size_t>(result) : 0));
    if (result < 0 || static_cast<std::size_t>(result) != bytes.size()) {
        Note("--", fmt::format("write of {} bytes: {}", bytes.size(), result));
    }
    return result;
}

int TracingSerialPort::Read(std::span<std::uint8_t> bytes, double timeoutSeconds) {
    const int result = inner_->Read(bytes, timeoutSeconds);
    NoteBytes("<-", bytes.first(result > 0 ? static_cast<std::size_t>(result) : 0));
    if (result < 0 || static_cast<std::size_t>(result) != bytes.size()) {
        Note("--", fmt::format("read of {} bytes: {}", bytes.size(), result));
    }
    return result;
}

void TracingSerialPort::FlushInput() {
    // Not noted: every exchange starts with one, and what it drops never
    // was traffic the station used.
    inner_->FlushInput();
}

int TracingSerialPort::SendBreak(double seconds) {
    Note("--", fmt::format("break {:.3f} s", seconds));
    return inner_->SendBreak(seconds);
}

}  // namespace qrv
