#pragma once

#include <array>
#include <atomic>
#include <stop_token>
#include <string>
#include <utility>

#include "onewire/onewire_driver.h"
#include "runtime/clock.h"
#include "runtime/dialogs.h"
#include "runtime/event_log.h"
#include "runtime/serial_port.h"
#include "runtime/status_display.h"
#include "sensors/sensor_record.h"

namespace qrv {

// Results of the session functions.
inline constexpr int kSessionRefused = -1000;
inline constexpr int kSessionBusy = -1001;
inline constexpr int kSessionSetupFailed = -1002;
inline constexpr int kSessionEndFailed = -1003;
inline constexpr int kNoPresenceOnTrunk = -3;
inline constexpr int kTimingNotWritten = -1;
inline constexpr int kRomNotCurrent = -499;
inline constexpr int kNoAccess = -498;
inline constexpr int kCouplerOnNotConfirmed = -1;
inline constexpr int kCouplerOffNotConfirmed = -2;

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

    // 1 or 2 on success, else kSessionRefused, kSessionBusy or kSessionSetupFailed.
    int StartOneWireSession();
    // 0 or kSessionEndFailed.
    int StopOneWireSession();
    int FlushOwSessions();
    // The reset result of the trunk.
    int ResetTheNodex();
    // 0, or kNoPresenceOnTrunk.
    int ZoekNodexNumbers();
    // 0 when the coupler confirmed the command; kCouplerOnNotConfirmed or
    // kCouplerOffNotConfirmed when it did not, kRomNotCurrent or kNoAccess
    // when it could not be addressed.
    int SwitchInternal2409Mux(int coupler, int on);
    // Switches every coupler for the line, each retried once after a
    // resynchronisation when it was not confirmed. 0 when every switch was
    // confirmed, else the result of the first one that failed twice: then
    // the lines on are not known, and no search may rely on them.
    int SelectLine(int line);
    int SetCableTiming2480(int longCable);
    int Zet2480TimingToLongCable() { return SetCableTiming2480(1); }
    int ResetNetworkFromAsync();

    int CheckSerialPortConnection(int port);
    int CloseSerialPortConnection();

    // A wait on the clock; 0. The session's own pauses (a restart, a retry).
    int AsyncDelay(double seconds);
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
    int SwitchConfirmed(int coupler, int on);

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
