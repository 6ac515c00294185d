#pragma once

#include <deque>
#include <memory>

#include "nodex_unit.h"
#include "runtime/clock.h"
#include "runtime/serial_port.h"

namespace qrv::sim {

// The simulated unit behind the SerialPort interface, in-process. Reads wait
// on the Clock until the reply bytes have crossed the line; a unit that does
// not answer costs exactly the read's time-out. Opening raises RTS and DTR
// (as a Linux serial port does), closing leaves them as they are. The unit's
// time counts from epoch on the clock (the moment the unit was made), so a
// network file's times are seconds after the start.
class SimulatedSerialPort final : public SerialPort {
  public:
    SimulatedSerialPort(std::shared_ptr<SimulatedNodex> unit, Clock& clock, double epoch = 0.0);
    ~SimulatedSerialPort() override;
    SimulatedSerialPort(const SimulatedSerialPort&) = delete;
    SimulatedSerialPort& operator=(const SimulatedSerialPort&) = delete;

    int Open(const SerialSettings& settings) override;
    int Close() override;
    bool IsOpen() const override { return open_; }
    int SetBaudRate(int baudRate) override;
    int SetRts(bool on) override;
    int SetDtr(bool on) override;
    int GetLineStatus() override;
    bool HasModemLines() const override { return true; }
    int Write(std::span<const std::uint8_t> bytes) override;
    int Read(std::span<std::uint8_t> bytes, double timeoutSeconds) override;
    void FlushInput() override;
    int SendBreak(double seconds) override;
    std::string LastError() const override { return lastError_; }

  private:
    double Now() const { return clock_.Timer() - epoch_; }

    std::shared_ptr<SimulatedNodex> unit_;
    Clock& clock_;
    double epoch_;
    bool open_ = false;
    std::string lastError_;
    int baud_ = 9600;
    bool rts_ = false;
    bool dtr_ = false;
    std::vector<TimedByte> pending_;
    std::size_t next_ = 0;
};

}  // namespace qrv::sim
