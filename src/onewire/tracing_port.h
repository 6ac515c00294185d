#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "runtime/clock.h"
#include "runtime/serial_port.h"

namespace qrv {

// Where the transcript of a serial link goes: one line per transfer, the
// seconds since the trace started, the direction ("->" to the unit, "<-"
// from it, "--" for line events) and the bytes in hex.
class TraceSink {
  public:
    // Starts the file afresh; false when it cannot be opened.
    bool OpenFile(const std::string& path);
    bool IsOpen() const { return file_ != nullptr; }
    void Write(double seconds, std::string_view direction, std::string_view text);

  private:
    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::unique_ptr<std::FILE, FileCloser> file_;
};

// Every byte between the station and the interface unit passes here, so a
// field problem comes with its protocol trace. Without a sink it only passes
// the calls on.
class TracingSerialPort final : public SerialPort {
  public:
    TracingSerialPort(std::unique_ptr<SerialPort> inner, Clock& clock, TraceSink* sink);

    int Open(const SerialSettings& settings) override;
    int Close() override;
    bool IsOpen() const override { return inner_->IsOpen(); }
    int SetBaudRate(int baudRate) override;
    int SetRts(bool on) override;
    int SetDtr(bool on) override;
    int GetLineStatus() override { return inner_->GetLineStatus(); }
    bool HasModemLines() const override { return inner_->HasModemLines(); }
    int Write(std::span<const std::uint8_t> bytes) override;
    int Read(std::span<std::uint8_t> bytes, double timeoutSeconds) override;
    void FlushInput() override;
    int SendBreak(double seconds) override;
    std::string LastError() const override { return inner_->LastError(); }

    // A line event of the layers above (a resynchronisation, say) in the
    // same transcript.
    void NoteEvent(std::string_view text) { Note("--", text); }

  private:
    void Note(std::string_view direction, std::string_view text);
    void NoteBytes(std::string_view direction, std::span<const std::uint8_t> bytes);

    std::unique_ptr<SerialPort> inner_;
    Clock& clock_;
    TraceSink* sink_;
    double start_;
};

std::string HexBytes(std::span<const std::uint8_t> bytes);

}  // namespace qrv
