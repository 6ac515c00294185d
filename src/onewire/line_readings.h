#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "onewire/nodex_session.h"
#include "onewire/temperature.h"
#include "sensors/sensor_record.h"

namespace qrv {

// The configuration byte of a DS18B20 at 12 bits, its power-on resolution.
inline constexpr std::uint8_t kTwelveBitConfig = 0x7F;

// How long the probe takes at most to convert: by resolution on a DS18B20
// (93.75 ms at 9 bits to 750 ms at 12, from the configuration byte of its
// scratchpad), 750 ms on a DS18S20 and 500 ms on the old DS1820.
double ConversionSeconds(const RomCode& rom, std::uint8_t config = kTwelveBitConfig);

// How the temperature probes of a line convert together.
struct SharedConversion {
    // The unit's strong pull-up for the whole conversion, which
    // parasite-powered probes need for their current.
    bool strongPullUp = false;
    // The longest conversion of the line's probes.
    double seconds = 0.75;
};

// A temperature probe's reading out of a shared conversion.
struct ConvertedReading {
    Reading reading;
    // The scratchpad as read (zeros when it was not read intact).
    Scratchpad pad{};
};

// One Skip ROM Convert T for every probe of the switched-on line, then each
// given temperature probe's scratchpad by Match ROM, without a reading of
// its own: a probe that missed the conversion shows the power-on value and
// is read again by the next shared conversion. One reading per probe, in the
// order given (kNotAProbe for other families), or fewer when the session
// gives up.
std::vector<ConvertedReading> ReadLineTemperatures(NodexSession& session,
                                                   std::span<const RomCode> probes,
                                                   const SharedConversion& conversion);

// The first readings of the probes a line search found, read while that
// line is still switched on. The temperature probes convert together, once
// for the line, and each scratchpad is then read: a hundred probes cost
// three conversions instead of a hundred. A probe whose scratchpad shows no
// fresh conversion (the power-on value, a bad CRC, no answer), and every
// temperature probe of a line on which a conversion had not ended after the
// wait, is read on its own as the acquisition reads it, so the values and
// error results are those of single readings. Humidity and switch probes
// are read one by one as always. Returns one reading per probe, in the
// order given, or fewer when the session gives up (see
// NodexSession::SetGivingUp).
std::vector<Reading> ReadLineProbes(NodexSession& session, int line,
                                    std::span<const RomCode> probes);

}  // namespace qrv
