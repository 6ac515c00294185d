#include "onewire/nodex_session.h"

#include <algorithm>

#include <fmt/format.h>

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

int SessionStatusCode(SessionStatus status) {
    switch (status) {
        case SessionStatus::kOk:
            return 0;
        case SessionStatus::kPortRefused:
            return -1000;
        case SessionStatus::kPortBusy:
            return -1001;
        case SessionStatus::kBridgeSilent:
            return -1002;
        case SessionStatus::kNothingToEnd:
            return -1003;
        case SessionStatus::kNoPresence:
            return -3;
        case SessionStatus::kTimingNotWritten:
        case SessionStatus::kLineOnNotConfirmed:
            return -1;
        case SessionStatus::kLineOffNotConfirmed:
            return -2;
        case SessionStatus::kCouplerNotSelected:
            return -499;
        case SessionStatus::kCouplerNoAnswer:
            return -498;
    }
    return 0;
}

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

SessionStatus NodexSession::StartOneWireSession() {
    const int handle = driver_.OwStartSession(SerialPort, PortType);
    QRVSessionHandle = handle;
    if (handle < 0) {
        return SessionStatus::kPortRefused;
    }
    if (handle == 0) {
        return SessionStatus::kPortBusy;
    }
    const int setup = driver_.OwSetup(handle);
    if (setup == 1 || setup == 2) {
        return SessionStatus::kOk;
    }
    driver_.OwEndSession(handle);
    QRVSessionHandle = 0;
    return SessionStatus::kBridgeSilent;
}

SessionStatus NodexSession::StopOneWireSession() {
    const int handle = QRVSessionHandle;
    driver_.OwClose(handle);
    const int ended = driver_.OwEndSession(handle);
    QRVSessionHandle = 0;
    return ended == 0 ? SessionStatus::kNothingToEnd : SessionStatus::kOk;
}

SessionStatus NodexSession::FlushOwSessions() {
    SessionStatus result = StartOneWireSession();
    for (int retry = 0; result == SessionStatus::kPortBusy && retry < kFlushRetries; ++retry) {
        AsyncDelay(kFlushRetrySeconds);
        result = StartOneWireSession();
    }
    if (result != SessionStatus::kOk) {
        return result;
    }
    return StopOneWireSession();
}

int NodexSession::ResetTheNodex() {
    return driver_.OwTouchReset(QRVSessionHandle);
}

SessionStatus NodexSession::ZoekNodexNumbers() {
    for (RomCode& rom : Nodex2409Rom) {
        rom.fill(0);
    }
    const int reset = ResetTheNodex();
    if (reset != 1 && reset != 2) {
        return SessionStatus::kNoPresence;
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
    return SessionStatus::kOk;
}

int NodexSession::MakeCurrent(const RomCode& rom) {
    if ((rom[0] & 0xFF) == 0) {
        return 0;
    }
    RomCode copy = rom;
    return driver_.OwRom(QRVSessionHandle, copy);
}

SessionStatus NodexSession::SwitchInternal2409Mux(int coupler, int on) {
    const auto index = static_cast<std::size_t>(std::clamp(coupler, 1, kCouplerCount) - 1);
    const int handle = QRVSessionHandle;
    if (MakeCurrent(Nodex2409Rom[index]) != 1) {
        return SessionStatus::kCouplerNotSelected;
    }
    if (driver_.OwAccess(handle) != 1) {
        return SessionStatus::kCouplerNoAnswer;
    }
    // What is read while the command goes out is the master's own bits, which
    // an empty bus gives back too. Only the coupler's confirmation byte after
    // it, the command once more, shows that a coupler took the command.
    const std::uint8_t command = on != 0 ? kDirectOnMain : kAllLinesOffCommand;
    std::array<std::uint8_t, 2> block{command, 0xFF};
    if (driver_.OwBlockStream(handle, block) != static_cast<int>(block.size()) ||
        block[1] != command) {
        return on != 0 ? SessionStatus::kLineOnNotConfirmed : SessionStatus::kLineOffNotConfirmed;
    }
    return SessionStatus::kOk;
}

SessionStatus NodexSession::SwitchConfirmed(int coupler, int on) {
    SessionStatus result = SwitchInternal2409Mux(coupler, on);
    // A coupler without a ROM cannot answer however often it is asked.
    if (result != SessionStatus::kOk && result != SessionStatus::kCouplerNotSelected) {
        driver_.RequestResync(QRVSessionHandle);
        result = SwitchInternal2409Mux(coupler, on);
    }
    return result;
}

SessionStatus NodexSession::SelectLine(int line) {
    line = NormaliseLine(line);
    SessionStatus result = SessionStatus::kOk;
    const auto keepFirstFailure = [&result](SessionStatus switched) {
        if (result == SessionStatus::kOk) {
            result = switched;
        }
    };
    for (int coupler = 1; coupler <= kCouplerCount; ++coupler) {
        const bool on = line == kAllLinesOn || coupler == line;
        if (!on) {
            const SessionStatus off = SwitchConfirmed(coupler, 0);
            // A coupler the unit lacks has no line that could stay on.
            keepFirstFailure(off == SessionStatus::kCouplerNotSelected ? SessionStatus::kOk : off);
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

SessionStatus NodexSession::SetCableTiming2480(int longCable) {
    const int handle = QRVSessionHandle;
    OwLineBlock block = MakeOwLineBlock(kOwLineRead);
    // A bridge whose timing cannot be read is left as it is, without a popup.
    if (driver_.OwLine(handle, block) != 1) {
        return SessionStatus::kOk;
    }
    const auto& codes = longCable != 0 ? kLongCableCodes : kShortCableCodes;
    block = MakeOwLineBlock(kOwLineWrite, codes[0], codes[1], codes[2]);
    if (driver_.OwLine(handle, block) != 1) {
        if (dialogs_ != nullptr) {
            dialogs_->MessagePopup(bannerTitle_, kTimingErrorText);
        }
        return SessionStatus::kTimingNotWritten;
    }
    return SessionStatus::kOk;
}

SessionStatus NodexSession::ResetNetworkFromAsync() {
    StopOneWireSession();
    AsyncDelay(kRestartPauseSeconds);
    StartOneWireSession();
    return SetCableTiming2480(1);
}

PortCheckResult NodexSession::CheckSerialPortConnection(int port) {
    return qrv::CheckSerialPortConnection(ports_, clock_, port);
}

int NodexSession::CloseSerialPortConnection() {
    return qrv::CloseSerialPortConnection(ports_, SerialPort);
}

void NodexSession::AsyncDelay(double seconds) {
    clock_.Delay(seconds);
}

bool NodexSession::ReadingWait(double seconds) {
    return clock_.DelayUnless(seconds, readingWaitsEnd_);
}

}  // namespace qrv
