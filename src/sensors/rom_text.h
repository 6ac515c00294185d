#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "sensors/sensor_record.h"

namespace qrv {

// A ROM code as the station writes it, two upper-case hex digits a byte.

// All eight bytes, family code first: for logs and messages.
std::string RomToHex(const RomCode& rom);
// The serial number, bytes 6 down to 1: a probe's network address on the
// probe panel and the digits of its key in the result files.
std::string SerialNumberHex(const RomCode& rom);
// The ROM code of RomToHex's text (either case); none for anything else.
std::optional<RomCode> RomFromHex(std::string_view hex);

}  // namespace qrv
