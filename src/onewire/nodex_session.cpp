#include "onewire/nodex_session.h"

#include <algorithm>

#include <fmt/format.h>

#include "onewire/port_check.h"
#include "sensors/rom_text.h"

namespace qrv {

namespace {

constexpr std::uint8_t kDirectOnMain = 0xA5;
constexpr std::uint8_t kAllLinesOffCommand = 0x66;
constexpr int kFlushRetries = 30;
constexpr double kFlushRetrySeconds = 0.1;
constexpr double kRestartPauseSeconds = 1.0;

// Long cable: slew rate 1.37 V/us, write-1 low time 10 us, sample offset
// 8 us. Short cable: the bridge's power-on values.
constexpr std::array<std::uint8_t, 3> kLongCableCodes{6, 6, 14};
constexpr std::array<std::uint8_t, 3> kShortCableCodes{0, 4, 9};

}  // namespace

int NormaliseLine(int line) {
    if (line == kAllLinesOn) {
        return line;
    }
    line %= 100;
    return std::clamp(line, 0, kCouplerCount);
}

bool SameRom(const RomCode& a, const RomCode& b) {
    return a == b;
}

NodexSession::NodexSession(OneWireDriver& driver, SerialPortProvider& ports, Clock& clock,
                           Dialogs* dialogs, EventLog* log)
    : driver_(driver), ports_(ports), clock_(clock), dialogs_(dialogs), log_(log) {}

int NodexSession::StartOneWireSession() {
    const int handle = driver_.OwStartSession(SerialPort, PortType);
    QRVSessionHandle = handle;
    if (handle < 0) {
        return kSessionRefused;
    }
    if (handle == 0) {
        return kSessionBusy;
    }
    const int setup = driver_.OwSetup(handle);
    if (setup == 1 || setup == 2) {
        return setup;
    }
    driver_.OwEndSession(handle);
    QRVSessionHandle = 0;
    return kSessionSetupFailed;
}

int NodexSession::StopOneWireSession() {
    const int handle = QRVSessionHandle;
    driver_.OwClose(handle);
    const int ended = driver_.OwEndSession(handle);
    QRVSessionHandle = 0;
    return ended == 0 ? kSessionEndFailed : 0;
}

int NodexSession::FlushOwSessions() {
    int result = StartOneWireSession();
    for (int retry = 0; result == kSessionBusy && retry < kFlushRetries; ++retry) {
        AsyncDelay(kFlushRetrySeconds);
        result = StartOneWireSession();
    }
    if (result < 0) {
        return result;
    }
    return StopOneWireSession() == kSessionEndFailed ? kSessionEndFailed : 0;
}

int NodexSession::ResetTheNodex() {
    return driver_.OwTouchReset(QRVSessionHandle);
}

int NodexSession::ZoekNodexNumbers() {
    for (RomCode& rom : Nodex2409Rom) {
        rom.fill(0);
    }
    const int reset = ResetTheNodex();
    if (reset != 1 && reset != 2) {
        return kNoPresenceOnTrunk;
    }
    std::size_t couplers = 0;
    const int handle = QRVSessionHandle;
    for (int found = driver_.OwFirst(handle); found > 0; found = driver_.OwNext(handle)) {
        RomCode rom{};
        driver_.OwRom(handle, rom);
        if (rom[0] == kFamilyDs2406) {
            Nodex2406Rom = rom;
        } else if (rom[0] == kFamilyDs2409) {
            if (couplers < Nodex2409Rom.size()) {
                Nodex2409Rom[couplers++] = rom;
            } else if (log_ != nullptr) {
                // The unit has three lines; a fourth coupler cannot be one of them.
                log_->LogMessageToDisk(
                    fmt::format("Extra coupler {} on the trunk ignored", RomToHex(rom)));
            }
        }
    }
    return 0;
}

int NodexSession::MakeCurrent(const RomCode& rom) {
    if ((rom[0] & 0xFF) == 0) {
        return 0;
    }
    RomCode copy = rom;
    return driver_.OwRom(QRVSessionHandle, copy);
}

int NodexSession::SwitchInternal2409Mux(int coupler, int on) {
    const auto index = static_cast<std::size_t>(std::clamp(coupler, 1, kCouplerCount) - 1);
    const int handle = QRVSessionHandle;
    if (MakeCurrent(Nodex2409Rom[index]) != 1) {
        return kRomNotCurrent;
    }
    if (driver_.OwAccess(handle) != 1) {
        return kNoAccess;
    }
    // What is read while the command goes out is the master's own bits, which
    // an empty bus gives back too. Only the coupler's confirmation byte after
    // it, the command once more, shows that a coupler took the command.
    const std::uint8_t command = on != 0 ? kDirectOnMain : kAllLinesOffCommand;
    std::array<std::uint8_t, 2> block{command, 0xFF};
    if (driver_.OwBlockStream(handle, block) != static_cast<int>(block.size()) ||
        block[1] != command) {
        return on != 0 ? kCouplerOnNotConfirmed : kCouplerOffNotConfirmed;
    }
    return 0;
}

int NodexSession::SwitchConfirmed(int coupler, int on) {
    int result = SwitchInternal2409Mux(coupler, on);
    // A coupler without a ROM cannot answer however often it is asked.
    if (result != 0 && result != kRomNotCurrent) {
        driver_.RequestResync(QRVSessionHandle);
        result = SwitchInternal2409Mux(coupler, on);
    }
    return result;
}

int NodexSession::SelectLine(int line) {
    line = NormaliseLine(line);
    int result = 0;
    const auto keepFirstFailure = [&result](int switched) {
        if (result == 0) {
            result = switched;
        }
    };
    for (int coupler = 1; coupler <= kCouplerCount; ++coupler) {
        const bool on = line == kAllLinesOn || coupler == line;
        if (!on) {
            const int off = SwitchConfirmed(coupler, 0);
            // A coupler the unit lacks has no line that could stay on.
            keepFirstFailure(off == kRomNotCurrent ? 0 : off);
        }
    }
    // The off commands first, so that two lines are never on together.
    for (int coupler = 1; coupler <= kCouplerCount; ++coupler) {
        if (line == kAllLinesOn || coupler == line) {
            keepFirstFailure(SwitchConfirmed(coupler, 1));
        }
    }
    return result;
}

int NodexSession::SetCableTiming2480(int longCable) {
    const int handle = QRVSessionHandle;
    OwLineBlock block = MakeOwLineBlock(kOwLineRead);
    if (driver_.OwLine(handle, block) != 1) {
        return 0;
    }
    const auto& codes = longCable != 0 ? kLongCableCodes : kShortCableCodes;
    block = MakeOwLineBlock(kOwLineWrite, codes[0], codes[1], codes[2]);
    if (driver_.OwLine(handle, block) != 1) {
        if (dialogs_ != nullptr) {
            dialogs_->MessagePopup(bannerTitle_, kTimingErrorText);
        }
        return kTimingNotWritten;
    }
    return 0;
}

int NodexSession::ResetNetworkFromAsync() {
    StopOneWireSession();
    AsyncDelay(kRestartPauseSeconds);
    StartOneWireSession();
    return SetCableTiming2480(1);
}

int NodexSession::CheckSerialPortConnection(int port) {
    return qrv::CheckSerialPortConnection(ports_, clock_, port);
}

int NodexSession::CloseSerialPortConnection() {
    return qrv::CloseSerialPortConnection(ports_, SerialPort);
}

int NodexSession::AsyncDelay(double seconds) {
    clock_.Delay(seconds);
    return 0;
}

bool NodexSession::ReadingWait(double seconds) {
    return clock_.DelayUnless(seconds, readingWaitsEnd_);
}

}  // namespace qrv
