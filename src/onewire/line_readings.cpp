#include "onewire/line_readings.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>

#include "onewire/crc.h"
#include "onewire/families.h"
#include "onewire/function_commands.h"
#include "onewire/temperature.h"

namespace qrv {

namespace {

constexpr std::uint8_t kMatchRomCode = 0x55;
constexpr std::uint8_t kSkipRomCode = 0xCC;
// A 12-bit DS18B20 and a DS18S20 take 750 ms at most, the old DS1820 500 ms.
constexpr double kLongestConversionSeconds = 0.75;
constexpr double kBusyPollSeconds = 0.01;

bool IsTemperatureProbe(const RomCode& rom) {
    return FamilyOf(rom[0]).kind == DeviceKind::kTemperature;
}

// Every device of the switched-on line (and of the trunk, whose devices have
// no such commands) takes the command at once.
bool ToEveryDevice(NodexSession& session, std::uint8_t command) {
    std::array<std::uint8_t, 2> block{kSkipRomCode, command};
    return session.Driver().OwBlockIO(session.Handle(), block) == static_cast<int>(block.size());
}

// Recall E2 reloads each probe's calibration into its scratchpad, as a
// single reading does, then Convert T. True when every probe that was
// converting had finished by the end of the wait. The wait is the longest
// conversion of any of the families, which a parasite-powered probe (that
// cannot say it is busy) needs too; after it, an externally powered probe
// holds the read slots low until it has finished, for at most the rest of a
// single reading's wait.
bool ConvertTogether(NodexSession& session) {
    if (!ToEveryDevice(session, commands::kRecallMemory) ||
        !ToEveryDevice(session, commands::kConvertT)) {
        return false;
    }
    if (!session.ReadingWait(kLongestConversionSeconds)) {
        return false;
    }
    for (double waited = kLongestConversionSeconds;; waited += kBusyPollSeconds) {
        const int done = session.Driver().OwTouchBit(session.Handle(), 1);
        if (done != 0) {
            return done == 1;
        }
        if (waited >= kConversionSleepSeconds || !session.ReadingWait(kBusyPollSeconds)) {
            return false;
        }
    }
}

// The reading of a probe that converted with the others: Match ROM and Read
// Scratchpad in one exchange. nullopt when the scratchpad does not show a
// conversion of its own.
std::optional<double> ReadConverted(NodexSession& session, const RomCode& rom) {
    std::array<std::uint8_t, 19> block{};
    block[0] = kMatchRomCode;
    std::transform(rom.begin(), rom.end(), block.begin() + 1,
                   [](std::int16_t byte) { return static_cast<std::uint8_t>(byte & 0xFF); });
    block[9] = commands::kReadScratchpad;
    std::fill(block.begin() + 10, block.end(), 0xFF);
    if (session.Driver().OwBlockIO(session.Handle(), block) != static_cast<int>(block.size())) {
        return std::nullopt;
    }
    Scratchpad pad{};
    std::copy(block.begin() + 10, block.begin() + 18, pad.begin());
    std::uint8_t crc = 0;
    for (auto at = block.begin() + 10; at != block.end(); ++at) {
        crc = DoCRC8(crc, *at);
    }
    // A probe that missed the conversion (parasite powered, without the
    // current it needs) still holds what it held at power-on.
    if (crc != 0 || IsPowerOnScratchpad(rom, pad)) {
        return std::nullopt;
    }
    return DecodeTemperatureScratchpad(rom, pad);
}

}  // namespace

std::vector<double> ReadLineProbes(NodexSession& session, int line,
                                   std::span<const RomCode> probes) {
    std::vector<double> values;
    values.reserve(probes.size());
    const auto temperatures = std::count_if(probes.begin(), probes.end(), IsTemperatureProbe);
    // One probe gains nothing from a shared conversion.
    const bool converted = temperatures > 1 && !session.GivingUp() && ConvertTogether(session);
    for (const RomCode& rom : probes) {
        if (session.GivingUp()) {
            break;
        }
        std::optional<double> value;
        if (converted && IsTemperatureProbe(rom)) {
            value = ReadConverted(session, rom);
        }
        values.push_back(value ? *value
                               : CodedValue(FamilyOf(rom[0]).kind, ReadProbe(session, line, rom)));
    }
    return values;
}

}  // namespace qrv
