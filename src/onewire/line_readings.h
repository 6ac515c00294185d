#pragma once

#include <span>
#include <vector>

#include "onewire/nodex_session.h"
#include "sensors/sensor_record.h"

namespace qrv {

// The first readings of the probes a line search found, read while that
// line is still switched on. The temperature probes convert together, once
// for the line, and each scratchpad is then read: a hundred probes cost
// three conversions instead of a hundred. A probe whose scratchpad shows no
// fresh conversion (the power-on value, a bad CRC, no answer), and every
// temperature probe of a line on which a conversion had not ended after the
// wait, is read on its own as the acquisition reads it, so the values and
// error results are those of single readings. Humidity and switch probes
// are read one by one as always. Returns one value per probe, in the order
// given, or fewer when the session gives up (see NodexSession::SetGivingUp).
std::vector<double> ReadLineProbes(NodexSession& session, int line,
                                   std::span<const RomCode> probes);

}  // namespace qrv
