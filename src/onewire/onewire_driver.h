#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <span>

#include "onewire/ds2480_bridge.h"
#include "onewire/tracing_port.h"
#include "runtime/clock.h"
#include "runtime/serial_port.h"
#include "sensors/sensor_record.h"

namespace qrv {

// Port type of the DS2480 serial adapter, the only one the station uses.
inline constexpr int kPortTypeDs2480 = 5;

// What OwTouchReset reports when the session has no working bridge.
inline constexpr int kResetNotSetUp = 4;

// The parameter block of OwLine: bytes 0-6 the adapter name with its NUL,
// byte 7 the direction, bytes 8-10 the three cable-timing codes.
using OwLineBlock = std::array<std::uint8_t, 32>;
inline constexpr int kOwLineRead = 1;
inline constexpr int kOwLineWrite = 0;
OwLineBlock MakeOwLineBlock(int direction, std::uint8_t slew = 0, std::uint8_t write1Low = 0,
                            std::uint8_t sampleOffset = 0);

// The three cable-timing codes of OwLine and the DS2480B parameters they
// select. Each code names one value of one parameter, so reading back gives
// what was written:
//   byte 8  slew rate:        code 2k selects PDSRC value k (0 15 V/us ... 3 1.37 V/us ... 7 0.55
//   V/us) byte 9  write-1 low time: code c selects W1LT c + 4 us (codes 4..11 = 8..15 us) byte 10
//   sample offset:    code c selects DSO/W0RT c - 6 us (codes 9..16 = 3..10 us)
// The long-cable codes 6, 6 and 14 thus give 1.37 V/us, 10 us and 8 us, the
// recommended long-line values. Other codes are refused.
std::optional<int> TimingCodeToValue(int parameterIndex, int code);
int TimingValueToCode(int parameterIndex, int value);

// The 1-Wire driver library: sessions on serial ports, each with a DS2480B
// bridge, and the sixteen operations the station uses. The search and
// selection state of a session lives here, keyed by its handle. Results
// follow the library's conventions (see each operation); a silent or lost
// unit gives failure results, never a hang: every read has a deadline.
class OneWireDriver {
  public:
    OneWireDriver(SerialPortProvider& ports, Clock& clock, TraceSink* trace = nullptr);
    ~OneWireDriver();
    OneWireDriver(const OneWireDriver&) = delete;
    OneWireDriver& operator=(const OneWireDriver&) = delete;

    // > 0 handle; 0 the port already has a session; < 0 the port cannot be used.
    int OwStartSession(int port, int portType = kPortTypeDs2480);
    // 1 when the bridge answered; 0 otherwise.
    int OwSetup(int handle);
    // Close the port / end the session: 1 done, 0 no such session.
    int OwClose(int handle);
    int OwEndSession(int handle);

    // 0 no device, 1 presence, 2 alarming presence, 3 short, 4 not set up.
    int OwTouchReset(int handle);
    // The byte or bit read back; -1 when the link failed.
    int OwTouchByte(int handle, int byte);
    int OwTouchBit(int handle, int bit);
    // The count transferred; the buffer holds what came back.
    int OwBlockStream(int handle, std::span<std::uint8_t> buffer);
    int OwBlockIO(int handle, std::span<std::uint8_t> buffer);

    // Writes the byte and holds the bus at the bridge's strong pull-up from
    // its last slot until OwPowerEnd: the current that parasite-powered
    // probes draw while they convert. 1 when the bridge took it.
    int OwPowerByte(int handle, int byte);
    // Ends the strong pull-up; 1 when the bridge confirmed it.
    int OwPowerEnd(int handle);

    // rom[0] == 0 reads the current ROM into rom, else makes rom current; 1 OK.
    int OwRom(int handle, RomCode& rom);
    // 1 when the current device answered a reset and Match ROM.
    int OwAccess(int handle);
    // 1 a device was found and is current; 0 none left.
    int OwFirst(int handle);
    int OwNext(int handle);
    int OwFamilySearchSetup(int handle, int family);
    // 1 OK; reads or writes the cable-timing codes.
    int OwLine(int handle, OwLineBlock& block);

    // The session's next operation first brings the bridge back to a known
    // state (see Ds2480Bridge); 1 when the session exists.
    int RequestResync(int handle);

    // How often the session's link failed and was resynchronised (zeros for
    // an unknown handle).
    BridgeStats LinkStats(int handle);

  private:
    struct Session;
    Session* Find(int handle);
    Session* FindReady(int handle);
    int Search(Session& session);
    int ResetOn(Session& session);

    SerialPortProvider& ports_;
    Clock& clock_;
    TraceSink* trace_;
    std::mutex mutex_;
    std::map<int, std::unique_ptr<Session>> sessions_;
    int nextHandle_ = 1;
};

}  // namespace qrv
