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

bool Access(NodexSession& session) {
    return session.Driver().OwAccess(session.Handle()) == 1;
}

// A transfer that came back short is data cut off on its way.
bool Stream(NodexSession& session, std::span<std::uint8_t> block) {
    return session.Driver().OwBlockStream(session.Handle(), block) ==
           static_cast<int>(block.size());
}

// Recall page 0 into the scratchpad and read it.
ProbeFault RecallAndReadPage(NodexSession& session, Ds2438Page& page) {
    std::array<std::uint8_t, 2> recall{commands::kRecallMemory, 0x00};
    if (!Stream(session, recall)) {
        return ProbeFault::kDamagedData;
    }
    if (!Access(session)) {
        return ProbeFault::kNoAnswer;
    }
    PageBlock block{};
    block.fill(0xFF);
    block[0] = commands::kReadScratchpad;
    block[1] = 0x00;
    if (!Stream(session, block) || Crc8(std::span(block).subspan(2)) != 0) {
        return ProbeFault::kDamagedData;
    }
    std::copy(block.begin() + 2, block.begin() + 10, page.begin());
    return ProbeFault::kNone;
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

Reading HumidityFromReadings(double vdd, double vad, double celsius) {
    if (!(vdd > 0) || !std::isfinite(vad) || !std::isfinite(celsius)) {
        return Reading::Failed(ProbeFault::kBadMeasurement);
    }
    const double sensor = (vad / vdd - 0.16) / 0.0062;
    const double rh = sensor / (1.0546 - 0.00216 * celsius);
    if (rh < 0.1) {
        return Reading::Of(0.0);
    }
    if (rh > 99.9) {
        return Reading::Of(100.0);
    }
    return Reading::Of(rh);
}

ProbeFault Prepare2438AdConversion(NodexSession& session, const RomCode& rom, int vdd) {
    if (session.MakeCurrent(rom) != 1) {
        return ProbeFault::kNotSelected;
    }
    if (!Access(session)) {
        return ProbeFault::kNoAnswer;
    }
    Ds2438Page page{};
    if (const ProbeFault read = RecallAndReadPage(session, page); read != ProbeFault::kNone) {
        return read;
    }
    if (!Access(session)) {
        return ProbeFault::kNoAnswer;
    }
    std::array<std::uint8_t, 10> write{commands::kWriteScratchpad, 0x00};
    std::copy(page.begin(), page.end(), write.begin() + 2);
    write[2] = vdd != 0 ? static_cast<std::uint8_t>(page[0] | kAdBit)
                        : static_cast<std::uint8_t>(page[0] & ~kAdBit);
    if (!Stream(session, write)) {
        return ProbeFault::kDamagedData;
    }
    const bool adSet = (write[2] & kAdBit) != 0;
    if ((vdd != 0) != adSet) {
        return ProbeFault::kInputNotSwitched;
    }
    if (!Access(session)) {
        return ProbeFault::kNoAnswer;
    }
    std::array<std::uint8_t, 2> copy{commands::kCopyScratchpad, 0x00};
    if (!Stream(session, copy)) {
        return ProbeFault::kDamagedData;
    }
    // The copy writes the page to EEPROM (10 ms at most): not a wait that a
    // pause of acquisition may end, since a shutdown cuts the unit's power
    // soon after and a write cut short leaves the probe's configuration
    // damaged.
    session.AsyncDelay(kVoltageWaitSeconds);
    return ProbeFault::kNone;
}

Reading Meet2438VoltAdc(NodexSession& session) {
    if (!Access(session)) {
        return Reading::Failed(ProbeFault::kNoAnswer);
    }
    // A link failure (-1) is as much a failed command as a zero read back.
    if (session.Driver().OwTouchByte(session.Handle(), commands::kConvertV) <= 0) {
        return Reading::Failed(ProbeFault::kDamagedData);
    }
    session.ReadingWait(kVoltageWaitSeconds);
    if (!Access(session)) {
        return Reading::Failed(ProbeFault::kNoAnswer);
    }
    Ds2438Page page{};
    if (const ProbeFault read = RecallAndReadPage(session, page); read != ProbeFault::kNone) {
        return Reading::Failed(read);
    }
    return Reading::Of(Ds2438VoltageFromPage(page));
}

Reading Get2438Temperature(NodexSession& session, const RomCode& rom) {
    if (session.MakeCurrent(rom) != 1) {
        return Reading::Failed(ProbeFault::kNotSelected);
    }
    if (!Access(session)) {
        return Reading::Failed(ProbeFault::kNoAnswer);
    }
    session.Driver().OwTouchByte(session.Handle(), commands::kConvertT);
    session.ReadingWait(kTemperatureWaitSeconds);
    if (!Access(session)) {
        return Reading::Failed(ProbeFault::kNoAnswer);
    }
    Ds2438Page page{};
    if (const ProbeFault read = RecallAndReadPage(session, page); read != ProbeFault::kNone) {
        return Reading::Failed(read);
    }
    return Reading::Of(Ds2438TemperatureFromPage(page));
}

Reading Get2438Vochtigheid(NodexSession& session, int line, const RomCode& rom) {
    Ds2438Measurements measured;
    return Get2438Vochtigheid(session, line, rom, measured);
}

Reading Get2438Vochtigheid(NodexSession& session, int line, const RomCode& rom,
                           Ds2438Measurements& measured) {
    session.SelectLine(line);
    if (session.MakeCurrent(rom) != 1) {
        return Reading::Failed(ProbeFault::kNotSelected);
    }
    if (!Access(session)) {
        return Reading::Failed(ProbeFault::kNoAnswer);
    }
    if (Prepare2438AdConversion(session, rom, 1) != ProbeFault::kNone) {
        return Reading::Failed(ProbeFault::kNoAnswer);
    }
    measured.vdd = Meet2438VoltAdc(session);
    if (Prepare2438AdConversion(session, rom, 0) != ProbeFault::kNone) {
        return Reading::Failed(ProbeFault::kInputNotSwitched);
    }
    measured.vad = Meet2438VoltAdc(session);
    measured.celsius = Get2438Temperature(session, rom);
    if (!measured.vdd.Ok() || !measured.vad.Ok() || !measured.celsius.Ok()) {
        return Reading::Failed(ProbeFault::kBadMeasurement);
    }
    return HumidityFromReadings(measured.vdd.value, measured.vad.value, measured.celsius.value);
}

}  // namespace qrv
