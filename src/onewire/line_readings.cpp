#include "onewire/line_readings.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "onewire/crc.h"
#include "onewire/families.h"
#include "onewire/function_commands.h"

namespace qrv {

namespace {

constexpr std::uint8_t kMatchRomCode = 0x55;
constexpr std::uint8_t kSkipRomCode = 0xCC;
constexpr double kBusyPollSeconds = 0.01;
// How much longer than its conversion time a probe may hold the read slots
// low before the conversion counts as not done (a single reading allows the
// same beyond the slowest conversion).
constexpr double kBusyGraceSeconds = kConversionSleepSeconds - 0.75;

bool IsTemperatureProbe(const RomCode& rom) {
    return FamilyOf(rom[0]).kind == DeviceKind::kTemperature;
}

// Every device of the switched-on line (and of the trunk, whose devices have
// no such commands) takes the command at once.
bool ToEveryDevice(NodexSession& session, std::uint8_t command) {
    std::array<std::uint8_t, 2> block{kSkipRomCode, command};
    return session.Driver().OwBlockIO(session.Handle(), block) == static_cast<int>(block.size());
}

// Convert T under the strong pull-up, held for the conversion time and ended
// whatever the wait's outcome: a bus left at the pull-up carries no slots.
bool ConvertPowered(NodexSession& session, double seconds) {
    OneWireDriver& driver = session.Driver();
    std::array<std::uint8_t, 1> skip{kSkipRomCode};
    if (driver.OwBlockIO(session.Handle(), skip) != 1 ||
        driver.OwPowerByte(session.Handle(), commands::kConvertT) != 1) {
        return false;
    }
    const bool waited = session.ReadingWait(seconds);
    return driver.OwPowerEnd(session.Handle()) == 1 && waited;
}

// Recall E2 reloads each probe's calibration into its scratchpad, as a
// single reading does, then Convert T. True when every probe that was
// converting had finished by the end of the wait. After it, an externally
// powered probe holds the read slots low until it has finished; a
// parasite-powered one cannot say that it is busy, and needs the wait to be
// long enough.
bool ConvertTogether(NodexSession& session, const SharedConversion& conversion) {
    if (!ToEveryDevice(session, commands::kRecallMemory)) {
        return false;
    }
    if (conversion.strongPullUp) {
        if (!ConvertPowered(session, conversion.seconds)) {
            return false;
        }
    } else if (!ToEveryDevice(session, commands::kConvertT) ||
               !session.ReadingWait(conversion.seconds)) {
        return false;
    }
    for (double waited = 0.0;; waited += kBusyPollSeconds) {
        const int done = session.Driver().OwTouchBit(session.Handle(), 1);
        if (done != 0) {
            return done == 1;
        }
        if (waited >= kBusyGraceSeconds || !session.ReadingWait(kBusyPollSeconds)) {
            return false;
        }
    }
}

// The reading of a probe that converted with the others: Match ROM and Read
// Scratchpad in one exchange.
ConvertedReading ReadConverted(NodexSession& session, const RomCode& rom) {
    std::array<std::uint8_t, 19> block{};
    block[0] = kMatchRomCode;
    std::transform(rom.begin(), rom.end(), block.begin() + 1,
                   [](std::int16_t byte) { return static_cast<std::uint8_t>(byte & 0xFF); });
    block[9] = commands::kReadScratchpad;
    std::fill(block.begin() + 10, block.end(), 0xFF);
    ConvertedReading converted;
    if (session.Driver().OwBlockIO(session.Handle(), block) != static_cast<int>(block.size())) {
        converted.reading = Reading::Failed(ProbeFault::kNoAnswer);
        return converted;
    }
    std::uint8_t crc = 0;
    for (auto at = block.begin() + 10; at != block.end(); ++at) {
        crc = DoCRC8(crc, *at);
    }
    if (crc != 0) {
        converted.reading = Reading::Failed(ProbeFault::kDamagedData);
        return converted;
    }
    std::copy(block.begin() + 10, block.begin() + 18, converted.pad.begin());
    converted.reading = DecodeTemperature(rom, converted.pad);
    return converted;
}

}  // namespace

double ConversionSeconds(const RomCode& rom, std::uint8_t config) {
    if (rom[0] == kFamilyDs18b20) {
        // 93.75 ms at 9 bits, twice as long for each further bit.
        constexpr std::array<double, 4> kByResolution{0.09375, 0.1875, 0.375, 0.75};
        return kByResolution[static_cast<std::size_t>((config >> 5) & 3)];
    }
    if (rom[0] == kFamilyDs1820 && !IsNewer1820(rom)) {
        return 0.5;
    }
    return 0.75;
}

std::vector<ConvertedReading> ReadLineTemperatures(NodexSession& session,
                                                   std::span<const RomCode> probes,
                                                   const SharedConversion& conversion) {
    std::vector<ConvertedReading> readings;
    readings.reserve(probes.size());
    const bool converted = !session.GivingUp() && ConvertTogether(session, conversion);
    for (const RomCode& rom : probes) {
        if (session.GivingUp()) {
            break;
        }
        if (!IsTemperatureProbe(rom)) {
            readings.push_back({Reading::Failed(ProbeFault::kNotAProbe)});
        } else if (!converted) {
            readings.push_back({Reading::Failed(ProbeFault::kConversionNotDone)});
        } else {
            readings.push_back(ReadConverted(session, rom));
        }
    }
    return readings;
}

std::vector<Reading> ReadLineProbes(NodexSession& session, int line,
                                    std::span<const RomCode> probes) {
    std::vector<Reading> readings;
    readings.reserve(probes.size());
    const auto temperatures = std::count_if(probes.begin(), probes.end(), IsTemperatureProbe);
    // One probe gains nothing from a shared conversion.
    const bool converted =
        temperatures > 1 && !session.GivingUp() && ConvertTogether(session, SharedConversion{});
    for (const RomCode& rom : probes) {
        if (session.GivingUp()) {
            break;
        }
        if (converted && IsTemperatureProbe(rom)) {
            const ConvertedReading reading = ReadConverted(session, rom);
            if (reading.reading.Ok()) {
                readings.push_back(reading.reading);
                continue;
            }
        }
        readings.push_back(ReadProbe(session, line, rom));
    }
    return readings;
}

}  // namespace qrv
