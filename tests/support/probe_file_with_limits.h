#pragma once

// A station's probe file of temperature probes on line 1, each alarming
// below 2 and above 8: what the sheet and report cases of a cold store need.
#include <filesystem>
#include <initializer_list>
#include <utility>

#include "runtime/clock.h"
#include "sensors/sensor_file.h"
#include "support/temp_dir.h"

namespace qrv::testing {

inline void WriteProbeFileWithLimits(
    const std::filesystem::path& station,
    std::initializer_list<std::pair<RomCode, const char*>> probes) {
    SensorTable table;
    for (const auto& [rom, name] : probes) {
        const int i = table.Append1820ToDataStruct(rom, 1);
        SensorRecord& record = table.SensorArray[static_cast<std::size_t>(i)];
        record.Name = name;
        record.AlarmLow = 2;
        record.AlarmHigh = 8;
        table.DefineSensorTypeAndUnits(i);
    }
    VirtualClock clock;
    WriteBytes(station / "QRVNL.SNS", FormatSensorFile(table, clock));
}

}  // namespace qrv::testing
