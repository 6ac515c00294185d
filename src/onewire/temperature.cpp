#include "onewire/temperature.h"

#include "onewire/crc.h"
#include "onewire/function_commands.h"

namespace qrv {

namespace {

constexpr int kPowerOnRaw = 0x0550;
constexpr int kPowerOnRawHalfDegrees = 0x00AA;

int RawTemperature(const Scratchpad& pad) {
    return static_cast<std::int16_t>(pad[1] << 8 | pad[0]);
}

// One Convert T of the current probe and the reading of its scratchpad.
Reading ConvertAndRead(NodexSession& session, const RomCode& rom, Scratchpad& pad) {
    OneWireDriver& driver = session.Driver();
    const int handle = session.Handle();
    if (driver.OwAccess(handle) != 1) {
        return Reading::Failed(ProbeFault::kNoAnswer);
    }
    driver.OwTouchByte(handle, commands::kConvertT);
    if (!session.ReadingWait(kConversionSleepSeconds)) {
        return Reading::Failed(ProbeFault::kConversionNotDone);
    }
    const int done = driver.OwTouchBit(handle, 1);
    if (done < 0) {
        // No answer at all says nothing about the conversion: the link failed.
        return Reading::Failed(ProbeFault::kNoAnswer);
    }
    if (done != 1) {
        return Reading::Failed(ProbeFault::kConversionNotDone);
    }
    if (!ReadTempScratch(session, pad)) {
        return Reading::Failed(ProbeFault::kDamagedData);
    }
    return DecodeTemperature(rom, pad);
}

}  // namespace

bool IsNewer1820(const RomCode& rom) {
    return rom[5] == 0x08;
}

double CalibrationOffset(std::uint8_t th, std::uint8_t tl) {
    if ((th & 0xC0) != 0 || (th == 0 && tl == 0)) {
        return 0.0;
    }
    const int raw = ((th & 0x03) << 8) | tl;
    return (raw - 512) * 0.01;
}

double CompensateSensor(const RomCode& rom, double t) {
    const bool compensated =
        rom[0] == kFamilyDs18b20 || (rom[0] == kFamilyDs1820 && IsNewer1820(rom));
    if (!compensated) {
        return t;
    }
    if (t < 20) {
        return t * 1.0075567;
    }
    if (t < 80) {
        return t * 0.9937065 + 0.274926;
    }
    return t * 0.9811136 + 1.285327;
}

double CalibrateSensorBS(double t, std::uint8_t th, std::uint8_t tl) {
    return t + CalibrationOffset(th, tl);
}

double ExtraCompensateSensorX(double t) {
    return t < 10 ? t * 1.01097631 - 0.10976314 : t;
}

double CalibAndCorrectOld1820(double t, std::uint8_t th, std::uint8_t tl) {
    if (th == 0 && tl == 0) {
        return t;
    }
    const double d = CalibrationOffset(th, tl);
    double f = 0;
    double g = 0;
    if (t < 5) {
        f = 20 / (20 - d / 2);
        g = 15 * (f - 1);
    } else {
        f = 16 / (16 - d / 2);
        g = 21 - f * (21 - d);
    }
    double r = f * t + g;
    if (r > -35 && r < -30) {
        r = r + 0.15 * (-35 - r);
    } else if (r >= -30 && r <= -20) {
        r = r - 0.075 * (-20 - r);
    } else if (r >= 0) {
        r = r - 0.006 * r;
    }
    return r;
}

double ChipTemperature(const RomCode& rom, const Scratchpad& pad) {
    if (rom[0] == kFamilyDs18b20) {
        return static_cast<std::int16_t>(pad[1] << 8 | pad[0]) * 0.0625;
    }
    int whole = pad[0] >> 1;
    if ((pad[1] & 1) != 0) {
        whole = (whole | 0x80) - 256;
    }
    const int countRemain = pad[6];
    const int countPerC = pad[7];
    if (countPerC == 0) {
        return whole;
    }
    return whole - 0.25 + static_cast<double>(countPerC - countRemain) / countPerC;
}

bool IsPowerOnScratchpad(const RomCode& rom, const Scratchpad& pad) {
    return RawTemperature(pad) == (rom[0] == kFamilyDs18b20 ? kPowerOnRaw : kPowerOnRawHalfDegrees);
}

Reading DecodeTemperature(const RomCode& rom, const Scratchpad& pad) {
    const std::uint8_t th = pad[2];
    const std::uint8_t tl = pad[3];
    if (rom[0] != kFamilyDs18b20 && rom[0] != kFamilyDs1820) {
        return Reading::Failed(ProbeFault::kNotAProbe);
    }
    // 85.0 °C on either family: the scratchpad as power-on left it, which a
    // failed conversion leaves too; taken as a temperature it would raise a
    // high alarm on every freezer.
    if (IsPowerOnScratchpad(rom, pad)) {
        return Reading::Failed(ProbeFault::kPowerOnValue);
    }
    const double t = ChipTemperature(rom, pad);
    if (rom[0] == kFamilyDs18b20) {
        return Reading::Of(
            ExtraCompensateSensorX(CalibrateSensorBS(CompensateSensor(rom, t), th, tl)));
    }
    if (IsNewer1820(rom)) {
        return Reading::Of(CalibrateSensorBS(CompensateSensor(rom, t), th, tl));
    }
    return Reading::Of(CalibAndCorrectOld1820(t, th, tl));
}

bool ReadTempScratch(NodexSession& session, Scratchpad& pad) {
    OneWireDriver& driver = session.Driver();
    const int handle = session.Handle();
    if (driver.OwAccess(handle) != 1) {
        return false;
    }
    driver.OwTouchByte(handle, commands::kRecallMemory);
    if (driver.OwAccess(handle) != 1) {
        return false;
    }
    driver.OwTouchByte(handle, commands::kReadScratchpad);
    std::uint8_t crc = 0;
    for (std::uint8_t& byte : pad) {
        const int value = driver.OwTouchByte(handle, 0xFF);
        if (value < 0) {
            return false;
        }
        byte = static_cast<std::uint8_t>(value);
        crc = DoCRC8(crc, byte);
    }
    const int check = driver.OwTouchByte(handle, 0xFF);
    if (check < 0) {
        return false;
    }
    return DoCRC8(crc, static_cast<std::uint8_t>(check)) == 0;
}

Reading Calc1820TemperatureFromScratchBuf(NodexSession& session, const RomCode& rom) {
    Scratchpad pad{};
    if (!ReadTempScratch(session, pad)) {
        return Reading::Failed(ProbeFault::kDamagedData);
    }
    return DecodeTemperature(rom, pad);
}

Reading ReadTemperature(NodexSession& session, int line, const RomCode& rom, Scratchpad& pad) {
    session.SelectLine(line);
    if (session.MakeCurrent(rom) != 1) {
        return Reading::Failed(ProbeFault::kNotSelected);
    }
    const Reading first = ConvertAndRead(session, rom, pad);
    if (first.fault != ProbeFault::kPowerOnValue) {
        return first;
    }
    // One failed conversion is retried at once, so that a passing brown-out
    // costs the probe no failed reading.
    return ConvertAndRead(session, rom, pad);
}

Reading ReadTemperature(NodexSession& session, int line, const RomCode& rom) {
    Scratchpad pad{};
    return ReadTemperature(session, line, rom, pad);
}

}  // namespace qrv
