#include "onewire/humidity.h"

#include <cmath>
#include <span>

#include "onewire/crc.h"
#include "onewire/function_commands.h"

namespace qrv {

namespace {

constexpr std::uint8_t kAdBit = 0x08;

constexpr double kVoltageWaitSeconds = 0.025;
constexpr double kTemperatureWaitSeconds = 0.05;

using PageBlock = std::array<std::uint8_t, 11>;

struct Steps {
    double recall;
    double access;
    double read;
    double crc;
};

bool Access(NodexSession& session) {
    return session.Driver().OwAccess(session.Handle()) == 1;
}

bool Stream(NodexSession& session, std::span<std::uint8_t> block) {
    return session.Driver().OwBlockStream(session.Handle(), block) ==
           static_cast<int>(block.size());
}

// Recall page 0 into the scratchpad and read it; 0.0 or the failing step's code.
double RecallAndReadPage(NodexSession& session, const Steps& steps, Ds2438Page& page) {
    std::array<std::uint8_t, 2> recall{commands::kRecallMemory, 0x00};
    if (!Stream(session, recall)) {
        return steps.recall;
    }
    if (!Access(session)) {
        return steps.access;
    }
    PageBlock block{};
    block.fill(0xFF);
    block[0] = commands::kReadScratchpad;
    block[1] = 0x00;
    if (!Stream(session, block)) {
        return steps.read;
    }
    if (Crc8(std::span(block).subspan(2)) != 0) {
        return steps.crc;
    }
    std::copy(block.begin() + 2, block.begin() + 10, page.begin());
    return 0.0;
}

}  // namespace

double Ds2438TemperatureFromPage(const Ds2438Page& page) {
    const auto raw = static_cast<std::int16_t>(page[2] << 8 | page[1]);
    return (raw >> 3) * 0.03125;
}

double Ds2438VoltageFromPage(const Ds2438Page& page) {
    const unsigned raw = static_cast<unsigned>(page[4]) * 256 + page[3];
    return static_cast<float>(raw / 100.0);
}

double HumidityFromReadings(double vdd, double vad, double celsius) {
    if (!(vdd > 0) || !std::isfinite(vad) || !std::isfinite(celsius)) {
        return kHumBadReading;
    }
    const double sensor = (vad / vdd - 0.16) / 0.0062;
    const double rh = sensor / (1.0546 - 0.00216 * celsius);
    if (rh < 0.1) {
        return 0.0;
    }
    if (rh > 99.9) {
        return 100.0;
    }
    return rh;
}

double Prepare2438AdConversion(NodexSession& session, const RomCode& rom, int vdd) {
    if (session.MakeCurrent(rom) != 1) {
        return -499.0;
    }
    if (!Access(session)) {
        return -498.0;
    }
    Ds2438Page page{};
    const double read = RecallAndReadPage(session, Steps{-497.0, -496.0, -495.0, -494.0}, page);
    if (read != 0.0) {
        return read;
    }
    if (!Access(session)) {
        return -491.0;
    }
    std::array<std::uint8_t, 10> write{commands::kWriteScratchpad, 0x00};
    std::copy(page.begin(), page.end(), write.begin() + 2);
    write[2] = vdd != 0 ? static_cast<std::uint8_t>(page[0] | kAdBit)
                        : static_cast<std::uint8_t>(page[0] & ~kAdBit);
    if (!Stream(session, write)) {
        return -490.0;
    }
    const bool adSet = (write[2] & kAdBit) != 0;
    if (vdd != 0 && !adSet) {
        return -493.0;
    }
    if (vdd == 0 && adSet) {
        return -492.0;
    }
    if (!Access(session)) {
        return -489.0;
    }
    std::array<std::uint8_t, 2> copy{commands::kCopyScratchpad, 0x00};
    if (!Stream(session, copy)) {
        return -488.0;
    }
    // The copy writes the page to EEPROM (10 ms at most): not a wait that a
    // pause of acquisition may end, since a shutdown cuts the unit's power
    // soon after and a write cut short leaves the probe's configuration
    // damaged.
    session.AsyncDelay(kVoltageWaitSeconds);
    return 0.0;
}

double Meet2438VoltAdc(NodexSession& session) {
    if (!Access(session)) {
        return -489.0;
    }
    // A link failure (-1) is as much a failed command as a zero read back.
    if (session.Driver().OwTouchByte(session.Handle(), commands::kConvertV) <= 0) {
        return -488.0;
    }
    session.ReadingWait(kVoltageWaitSeconds);
    if (!Access(session)) {
        return -487.0;
    }
    Ds2438Page page{};
    const double read = RecallAndReadPage(session, Steps{-487.0, -486.0, -485.0, -484.0}, page);
    if (read != 0.0) {
        return read;
    }
    return Ds2438VoltageFromPage(page);
}

double Get2438Temperature(NodexSession& session, const RomCode& rom) {
    if (session.MakeCurrent(rom) != 1) {
        return -499.0;
    }
    if (!Access(session)) {
        return -498.0;
    }
    session.Driver().OwTouchByte(session.Handle(), commands::kConvertT);
    session.ReadingWait(kTemperatureWaitSeconds);
    if (!Access(session)) {
        return -497.0;
    }
    Ds2438Page page{};
    const double read = RecallAndReadPage(session, Steps{-496.0, -495.0, -494.0, -493.0}, page);
    if (read != 0.0) {
        return read;
    }
    return Ds2438TemperatureFromPage(page);
}

double Get2438Vochtigheid(NodexSession& session, int line, const RomCode& rom) {
    Ds2438Measurements measured;
    return Get2438Vochtigheid(session, line, rom, measured);
}

double Get2438Vochtigheid(NodexSession& session, int line, const RomCode& rom,
                          Ds2438Measurements& measured) {
    session.SelectLine(line);
    if (session.MakeCurrent(rom) != 1) {
        return kHumRomNotCurrent;
    }
    if (!Access(session)) {
        return kHumNoAccessOrVdd;
    }
    if (IsErrorValue(Prepare2438AdConversion(session, rom, 1))) {
        return kHumNoAccessOrVdd;
    }
    const double vdd = Meet2438VoltAdc(session);
    measured.vdd = vdd;
    if (IsErrorValue(Prepare2438AdConversion(session, rom, 0))) {
        return kHumVadPreparation;
    }
    const double vad = Meet2438VoltAdc(session);
    const double t = Get2438Temperature(session, rom);
    measured.vad = vad;
    measured.celsius = t;
    if (IsErrorValue(vdd) || IsErrorValue(vad) || IsErrorValue(t)) {
        return kHumBadReading;
    }
    return HumidityFromReadings(vdd, vad, t);
}

}  // namespace qrv
