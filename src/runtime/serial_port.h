#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace qrv {

// Error codes of the serial-port layer. Callers mostly test only the sign; the
// values follow the run-time library the station's files were written with.
enum SerialError : int {
    kSerialOk = 0,
    kSerialSystemError = -1,  // unexpected failure of a system call
    kSerialInvalidPort = -2,  // no device mapped to this COM number
    kSerialNotOpen = -3,      // operation on a closed port
    kSerialCannotOpen = -6,   // device missing, no permission, or in use
    kSerialBadSettings = -7,  // baud rate or framing the device refuses
    kSerialWriteFailed = -8,
    kSerialReadFailed = -9,
};

struct SerialSettings {
    int baudRate = 9600;
    int dataBits = 8;
    int stopBits = 1;
    bool parity = false;
};

// Bit of GetLineStatus() that reports the CTS input.
inline constexpr int kLineStatusCts = 0x10;

// A serial link to the interface unit: a termios device, or the simulated
// unit behind the same interface. Nothing above this layer knows which.
class SerialPort {
  public:
    virtual ~SerialPort() = default;

    virtual int Open(const SerialSettings& settings) = 0;  // 0 or a SerialError
    virtual int Close() = 0;                               // 0 or a SerialError
    virtual bool IsOpen() const = 0;
    virtual int SetBaudRate(int baudRate) = 0;

    // RTS and DTR power the interface unit; CTS tells whether it answers.
    virtual int SetRts(bool on) = 0;
    virtual int SetDtr(bool on) = 0;
    // Line status bits (kLineStatusCts), or a negative SerialError.
    virtual int GetLineStatus() = 0;
    // False for links without modem lines (a pseudo-terminal).
    virtual bool HasModemLines() const = 0;

    // Returns the number of bytes written, or a negative SerialError.
    virtual int Write(std::span<const std::uint8_t> bytes) = 0;
    // Reads up to bytes.size() bytes, waiting at most timeoutSeconds for the
    // first and any further byte; returns the count read (0 on time-out) or a
    // negative SerialError. Never blocks longer than the time-out.
    virtual int Read(std::span<std::uint8_t> bytes, double timeoutSeconds) = 0;
    // Discards unread input.
    virtual void FlushInput() = 0;
    // Holds the transmit line low for the given time (resets a DS2480B).
    virtual int SendBreak(double seconds) = 0;
    // Why the last Open failed, in words (empty when there is nothing to add).
    virtual std::string LastError() const { return {}; }
};

// COM number -> port name, from the station's ports.conf ("COM1=/dev/ttyUSB0"
// per line). Defaults: COM1..COM4 = /dev/ttyUSB0..3, COM5..COM8 = /dev/ttyS0..3.
class PortMap {
  public:
    PortMap();
    static PortMap Parse(std::string_view text);
    static PortMap Load(const std::string& path);  // defaults when the file is missing

    // Empty when the number is outside 1..8.
    std::string NameOf(int comNumber) const;
    void Set(int comNumber, std::string name);

  private:
    std::map<int, std::string> names_;
};

// Opens ports by COM number. A name starting with "simulator" is handed to the
// simulated-unit factory installed by the program; any other name is a device
// path for termios.
class SerialPortProvider {
  public:
    using SimulatorFactory = std::function<std::unique_ptr<SerialPort>(std::string_view name)>;

    SerialPortProvider(PortMap map, SimulatorFactory simulator = {});
    virtual ~SerialPortProvider() = default;

    // A port object for the COM number (not yet open); nullptr when the number
    // is not mapped or names a simulator that nobody installed.
    virtual std::unique_ptr<SerialPort> MakePort(int comNumber);

    const PortMap& Map() const { return map_; }
    void SetMap(PortMap map) { map_ = std::move(map); }

  private:
    PortMap map_;
    SimulatorFactory simulator_;
};

bool IsSimulatorPortName(std::string_view name);

}  // namespace qrv
