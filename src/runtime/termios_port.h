#pragma once

#include <string>

#include "runtime/serial_port.h"

namespace qrv {

// A serial device through termios, with modem lines through TIOCM* ioctls.
// Opening takes the device exclusively (TIOCEXCL plus flock), so a second
// opener sees kSerialCannotOpen instead of sharing the byte stream.
class TermiosSerialPort final : public SerialPort {
  public:
    explicit TermiosSerialPort(std::string devicePath);
    ~TermiosSerialPort() override;
    TermiosSerialPort(const TermiosSerialPort&) = delete;
    TermiosSerialPort& operator=(const TermiosSerialPort&) = delete;

    int Open(const SerialSettings& settings) override;
    int Close() override;
    bool IsOpen() const override { return fd_ >= 0; }
    int SetBaudRate(int baudRate) override;
    int SetRts(bool on) override;
    int SetDtr(bool on) override;
    int GetLineStatus() override;
    bool HasModemLines() const override;
    int Write(std::span<const std::uint8_t> bytes) override;
    int Read(std::span<std::uint8_t> bytes, double timeoutSeconds) override;
    void FlushInput() override;
    int SendBreak(double seconds) override;
    // "no such device", "permission denied", "busy: ...", "not a terminal".
    std::string LastError() const override { return lastError_; }

    const std::string& DevicePath() const { return path_; }

  private:
    int SetModemBit(int bit, bool on);

    std::string path_;
    std::string lastError_;
    int fd_ = -1;
};

}  // namespace qrv
