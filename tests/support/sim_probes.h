#pragma once

#include <gtest/gtest.h>

#include <string>

#include "runtime/serial_port.h"
#include "sensors/sensor_table.h"
#include "sim/nodex_unit.h"

namespace qrv::testing {

// COM1 leads to the simulated unit installed under "simulator:test".
inline PortMap SimulatorOnCom1() {
    PortMap map;
    map.Set(1, "simulator:test");
    return map;
}

// Appends the n-th device of a line (in the order of the network
// description) to the table as an active probe with whole-day windows and
// limits far from any reading; -1 when there is no such device.
inline int AppendSimulatedProbe(sim::SimulatedNodex& unit, SensorTable& table, int line,
                                int deviceOnLine, const std::string& name) {
    int seen = 0;
    for (const auto& [deviceLine, device] : unit.Devices()) {
        if (deviceLine != line || seen++ != deviceOnLine) {
            continue;
        }
        RomCode rom{};
        for (std::size_t i = 0; i < rom.size(); ++i) {
            rom[i] = device->GetRom()[i];
        }
        const int index = table.Append1820ToDataStruct(rom, line);
        table.DefineSensorTypeAndUnits(index);
        SensorRecord& record = table.SensorArray[static_cast<std::size_t>(index)];
        record.Name = name;
        record.AlarmLow = record.TripLow = -100;
        record.AlarmHigh = record.TripHigh = 200;
        record.AlarmDelay = record.TripDelay = 120;
        return index;
    }
    ADD_FAILURE() << "no device " << deviceOnLine << " on line " << line;
    return -1;
}

}  // namespace qrv::testing
