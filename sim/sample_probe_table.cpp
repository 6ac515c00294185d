#include "sample_probe_table.h"

#include <array>
#include <string_view>

#include "network_file.h"
#include "sensors/families.h"

namespace qrv::sim {

namespace {

struct SampleProbe {
    std::string_view name;
    int alarmLow;
    int alarmHigh;  // for a door contact: the state that means alarm (0 closed, 1 open)
    int tripLow;
    int tripHigh;
    int relay;
    int sms;
};

// In the order of the sample network's probes, line by line. The second
// freezer warms up to -12 °C for ten minutes after the first ten, and the
// back door opens for half a minute after five: alarms to watch. The second
// freezer's alarms also go out by SMS once an SMS program is linked.
constexpr std::array<SampleProbe, 15> kSampleProbes{{
    {"Cold room", 0, 8, 2, 6, 1, 0},
    {"Freezer 1", -30, -15, -25, -17, 1, 0},
    {"Office", 15, 28, 17, 26, 0, 0},
    {"Office humidity", 20, 70, 30, 60, 0, 0},
    {"Cold room door", 0, 0, 0, 0, 1, 0},
    {"Freezer 2", -30, -15, -25, -17, 1, 1},
    {"Incubator", 35, 39, 36, 38, 1, 0},
    {"Chiller", -8, -2, -7, -3, 1, 0},
    {"Warehouse humidity", 30, 80, 40, 75, 0, 0},
    {"Loading dock door", 0, 1, 0, 0, 0, 0},
    {"Oven", 70, 95, 75, 90, 0, 0},
    {"Ice bath", -2, 2, -1, 1, 0, 0},
    {"Boiler room", 40, 70, 45, 65, 0, 0},
    {"Greenhouse humidity", 50, 95, 60, 90, 0, 0},
    {"Back door", 0, 0, 0, 0, 0, 0},
}};

constexpr int kAlarmDelaySeconds = 300;
constexpr int kTripDelaySeconds = 120;

RomCode ToRomCode(const Rom& rom) {
    RomCode code{};
    for (std::size_t i = 0; i < rom.size(); ++i) {
        code[i] = rom[i];
    }
    return code;
}

}  // namespace

SensorTable SampleProbeTable() {
    SensorTable table;
    const auto unit = MakeSampleNetwork();
    std::size_t next = 0;
    for (const auto& [line, device] : unit->Devices()) {
        const RomCode rom = ToRomCode(device->GetRom());
        if (line == 0 || !IsProbeFamily(rom[0]) || next >= kSampleProbes.size()) {
            continue;
        }
        const SampleProbe& sample = kSampleProbes[next++];
        const int index = table.Append1820ToDataStruct(rom, line);
        table.DefineSensorTypeAndUnits(index);
        SensorRecord& record = table.SensorArray[static_cast<std::size_t>(index)];
        record.Name = std::string(sample.name);
        record.AlarmLow = sample.alarmLow;
        record.AlarmHigh = sample.alarmHigh;
        record.TripLow = sample.tripLow;
        record.TripHigh = sample.tripHigh;
        record.AlarmDelay = kAlarmDelaySeconds;
        record.TripDelay = kTripDelaySeconds;
        record.RelayEnable = sample.relay;
        record.SmsEnable = sample.sms;
    }
    return table;
}

}  // namespace qrv::sim
