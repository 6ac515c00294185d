#include "onewire/port_check.h"

#include <memory>

namespace qrv {

namespace {

// The unit's power supply settles within half a second of a change of RTS/DTR.
constexpr double kSettleSeconds = 0.5;

const SerialSettings kPortSettings{9600, 8, 1, false};

bool CtsOn(SerialPort& port) {
    const int status = port.GetLineStatus();
    return status >= 0 && (status & kLineStatusCts) != 0;
}

void SetPower(SerialPort& port, bool on) {
    port.SetRts(on);
    port.SetDtr(on);
}

}  // namespace

PortCheckResult CheckSerialPortConnection(SerialPortProvider& ports, Clock& clock, int port) {
    std::unique_ptr<SerialPort> link = ports.MakePort(port);
    if (!link) {
        return PortCheckResult::kPortUnusable;
    }
    if (link->Open(kPortSettings) != kSerialOk) {
        link->Close();
        return PortCheckResult::kPortUnusable;
    }

    clock.Delay(kSettleSeconds);
    if (!CtsOn(*link)) {
        SetPower(*link, false);
        clock.Delay(kSettleSeconds);
        link->Close();
        return PortCheckResult::kNoUnit;
    }

    SetPower(*link, false);
    clock.Delay(kSettleSeconds);
    if (CtsOn(*link)) {
        SetPower(*link, false);
        clock.Delay(kSettleSeconds);
        link->Close();
        return PortCheckResult::kCtsDoesNotFollow;
    }

    SetPower(*link, true);
    clock.Delay(kSettleSeconds);
    link->Close();
    clock.Delay(kSettleSeconds / 2);
    return PortCheckResult::kUnitAnswers;
}

int CloseSerialPortConnection(SerialPortProvider& ports, int port) {
    std::unique_ptr<SerialPort> link = ports.MakePort(port);
    if (!link) {
        return kSerialInvalidPort;
    }
    // No settling here: the supply needs it before the unit is used, and the
    // next port check holds the power off for its own half second before it
    // trusts CTS. What the probes need of the power (an EEPROM copy under
    // way) the session has waited out before it ended.
    const int opened = link->Open(kPortSettings);
    if (opened != kSerialOk) {
        link->Close();
        return opened;
    }
    SetPower(*link, false);
    return link->Close();
}

}  // namespace qrv
