#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <stop_token>
#include <string>
#include <utility>

#include "onewire/onewire_driver.h"
#include "onewire/port_check.h"
#include "runtime/clock.h"
#include "runtime/dialogs.h"
#include "runtime/event_log.h"
#include "runtime/serial_port.h"
#include "runtime/status_display.h"
#include "sensors/sensor_record.h"

namespace qrv {

// What became of a step of the session.
enum class SessionStatus : std::uint8_t {
    kOk,
    // The driver refused the port: no such port, or it cannot be opened.
    kPortRefused,
    // The port already has a session.
    kPortBusy,
    // The bridge on the port did not answer its setup.
    kBridgeSilent,
    // The driver had no session to end.
    kNothingToEnd,
    // Nothing answered the reset on the trunk: no unit, or an unpowered one.
    kNoPresence,
    // The bridge did not take the cable timing.
    kTimingNotWritten,
    // A coupler's ROM could not be made current: the unit has no such coupler.
    kCouplerNotSelected,
    // A coupler did not answer its reset and address.
    kCouplerNoAnswer,
    // A coupler did not confirm the command to switch its line on, or off.
    kLineOnNotConfirmed,
    kLineOffNotConfirmed,
};

// The number the program log and the tools have always shown for a status
// (0, -1 to -3, -498, -499, -1000 to -1003).
int SessionStatusCode(SessionStatus status);

inline constexpr int kCouplerCount = 3;
inline constexpr int kAllLinesOff = 0;
inline constexpr int kAllLinesOn = 255;

// Family codes of the unit's own devices.
inline constexpr int kFamilyDs2406 = 0x12;
inline constexpr int kFamilyDs2409 = 0x1F;

// The text of the only popup of the session, the same in every language.
inline constexpr const char* kTimingErrorText = "Error 4: NODEX Timing could not be written !!!!";

// The 1-Wire session with the interface unit: the driver session on the
// station's serial port, the ROM codes of the unit's own devices, the line
// switching through the couplers, the cable timing and the recovery from the
// acquisition thread. The two threads take turns at it (the user-interface
// side stops the network timer first); the output flags are atomics because
// both sides read them.
class NodexSession {
  public:
    NodexSession(OneWireDriver& driver, SerialPortProvider& ports, Clock& clock,
                 Dialogs* dialogs = nullptr, EventLog* log = nullptr);

    // The popup title (the product banner in the current language).
    void SetBannerTitle(std::string title) { bannerTitle_ = std::move(title); }

    // kOk, kPortRefused, kPortBusy or kBridgeSilent.
    SessionStatus StartOneWireSession();
    // kOk or kNothingToEnd.
    SessionStatus StopOneWireSession();
    // Ends whatever session holds the port, waiting while it is busy: kOk, or
    // what the start or the end gave.
    SessionStatus FlushOwSessions();
    // The reset result of the trunk.
    int ResetTheNodex();
    // kOk, or kNoPresence.
    SessionStatus ZoekNodexNumbers();
    // kOk when the coupler confirmed the command; kLineOnNotConfirmed or
    // kLineOffNotConfirmed when it did not, kCouplerNotSelected or
    // kCouplerNoAnswer when it could not be addressed.
    SessionStatus SwitchInternal2409Mux(int coupler, int on);
    // Switches every coupler for the line, each retried once after a
    // resynchronisation when it was not confirmed. kOk when every switch was
    // confirmed, else the result of the first one that failed twice: then
    // the lines on are not known, and no search may rely on them.
    SessionStatus SelectLine(int line);
    // kOk, or kTimingNotWritten (after a popup) when the bridge refused it.
    SessionStatus SetCableTiming2480(int longCable);
    SessionStatus Zet2480TimingToLongCable() { return SetCableTiming2480(1); }
    // Restarts the session and its cable timing; the timing's result.
    SessionStatus ResetNetworkFromAsync();

    PortCheckResult CheckSerialPortConnection(int port);
    int CloseSerialPortConnection();

    // A wait on the clock: the session's own pauses (a restart, a retry).
    void AsyncDelay(double seconds);
    // A wait of a probe protocol (a conversion, a voltage, a switch
    // settling); false when the stop given to EndReadingWaitsOn came first.
    bool ReadingWait(double seconds);
    // Set by the thread that reads probes (a network tick) while it holds the
    // session: a pause of acquisition under it ends the wait of the reading
    // in progress, whose value would be dropped anyway, so that a stop or a
    // shutdown does not sit out a conversion.
    void EndReadingWaitsOn(std::stop_token stop) { readingWaitsEnd_ = std::move(stop); }

    // OwRom that only ever sets: a ROM with family 0 would make the driver
    // read the current ROM instead, and the next access would select some
    // other device. 1 when the ROM is current.
    int MakeCurrent(const RomCode& rom);

    // Any thread: while set, a long bus step (a network scan) gives up at its
    // next probe, so that a station told to end is not held by its bus.
    void SetGivingUp(bool givingUp) { givingUp_ = givingUp; }
    bool GivingUp() const { return givingUp_; }

    OneWireDriver& Driver() { return driver_; }
    Clock& GetClock() { return clock_; }
    EventLog* Log() { return log_; }
    int Handle() const { return QRVSessionHandle; }

    int SerialPort = 1;
    int PortType = kPortTypeDs2480;
    std::atomic<int> QRVSessionHandle = 0;
    RomCode Nodex2406Rom{};
    std::array<RomCode, kCouplerCount> Nodex2409Rom{};
    // Wanted state of the unit's DS2406 outputs; 1 = off.
    std::atomic<int> AlarmRelaisOffState = 0;
    std::atomic<int> OranjeLedOffState = 0;

  private:
    SessionStatus SwitchConfirmed(int coupler, int on);

    OneWireDriver& driver_;
    SerialPortProvider& ports_;
    Clock& clock_;
    std::stop_token readingWaitsEnd_;
    Dialogs* dialogs_;
    EventLog* log_;
    std::string bannerTitle_ = "Quorvanel";
    std::atomic<bool> givingUp_ = false;
};

// Line number as SelectLine understands it: 255 stays, others modulo 100,
// clamped to 0..3.
int NormaliseLine(int line);
bool SameRom(const RomCode& a, const RomCode& b);

}  // namespace qrv
