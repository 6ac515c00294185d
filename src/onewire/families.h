#pragma once

#include <string_view>

#include "onewire/nodex_session.h"
#include "onewire/reading.h"
#include "onewire/unit_outputs.h"
#include "sensors/families.h"
#include "sensors/sensor_record.h"

namespace qrv {

// The display name of a device: for family 0x10 it tells the DS18S20 from
// the old DS1820 by ROM byte 5.
std::string_view DeviceName(const RomCode& rom);
// Reads a probe by its family; kNotAProbe when the family is not read.
Reading ReadProbe(NodexSession& session, int line, const RomCode& rom,
                  SwitchPause switchPause = SwitchPause::kAfterReading);

}  // namespace qrv
