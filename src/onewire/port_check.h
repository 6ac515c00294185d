#pragma once

#include <cstdint>

#include "runtime/clock.h"
#include "runtime/serial_port.h"

namespace qrv {

// What the port check found on a port.
enum class PortCheckResult : std::uint8_t {
    kUnitAnswers,
    // CTS off: no unit, or an unpowered one.
    kNoUnit,
    // CTS stays on with RTS and DTR cleared: something answers on the port,
    // but it is not an interface unit powered by those lines.
    kCtsDoesNotFollow,
    // The port is mapped to nothing or cannot be opened.
    kPortUnusable,
};

// Tests whether an interface unit is powered and answering on COM `port`:
// CTS must be on while RTS and DTR are set and must drop when they are
// cleared. Leaves the unit powered and the port closed on success (the 1-Wire
// session opens it afresh).
PortCheckResult CheckSerialPortConnection(SerialPortProvider& ports, Clock& clock, int port);

// Removes the unit's power (RTS and DTR cleared) and closes COM `port` at
// once. Returns the result of the close, or the error of the open.
int CloseSerialPortConnection(SerialPortProvider& ports, int port);

}  // namespace qrv
