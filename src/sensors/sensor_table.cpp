#include "sensors/sensor_table.h"

#include "sensors/families.h"

namespace qrv {

namespace {

// Resets everything but SensorType, SmsEnable and RelayEnable, which only the
// family detection and the sensor file set.
void ResetRecord(SensorRecord& record, std::int16_t romFill, const char* name) {
    record.Line = 0;
    record.Rom.fill(romFill);
    record.Name = name;
    record.Units.clear();
    record.Value = 0.0;
    record.AlarmState = 0;
    record.AlarmDelayCount = 0;
    record.TripDelayCount = 0;
    record.AlarmLow = 0;
    record.AlarmHigh = 0;
    record.AlarmDelay = 0;
    record.TripLow = 0;
    record.TripHigh = 0;
    record.TripDelay = 0;
    record.AlarmTimes.fill(AlarmWindow{});
    record.Status = kStatusActive;
    record.FoundOnNetwork = 0;
    record.NewValueCount = 0;
    record.LostCount = 0;
}

}  // namespace

int SensorTable::GetMax1820Index() const {
    int index = 0;
    while (index < kMaxSensors && SensorArray[index].Line != 0) {
        ++index;
    }
    return index - 1;
}

int SensorTable::Find1820inDataStruct(const RomCode& rom) const {
    const int last = GetMax1820Index();
    for (int index = 0; index <= last; ++index) {
        if (SameRomNumbers(SensorArray[index].Rom, rom)) {
            return index;
        }
    }
    return -1;
}

int SensorTable::SameRomNumbers(const RomCode& a, const RomCode& b) {
    return a == b ? 1 : 0;
}

int SensorTable::Append1820ToDataStruct(const RomCode& rom, int line) {
    const int index = GetMax1820Index() + 1;
    if (index >= kMaxSensors) {
        return -1;
    }
    SensorRecord& record = SensorArray[index];
    ResetRecord(record, 0, " ");
    record.Line = line;
    record.Rom = rom;
    record.AlarmDelay = kMinimumAlarmDelaySeconds;
    record.TripDelay = kMinimumAlarmDelaySeconds;
    record.FoundOnNetwork = 1;
    return index;
}

void SensorTable::DefineSensorTypeAndUnits(int index) {
    if (index < 0 || index >= kMaxSensors) {
        return;
    }
    SensorRecord& record = SensorArray[index];
    const DeviceFamily& family = FamilyOf(record.Rom[0]);
    record.SensorType = family.sensorType;
    record.Units = std::string(family.units);
}

void SensorTable::DeleteSensorFromDataBase(int index) {
    const int last = GetMax1820Index();
    if (last < 0 || index < 0 || index > last) {
        return;
    }
    for (int k = index; k < last; ++k) {
        SensorArray[k] = SensorArray[k + 1];
    }
    ResetRecord(SensorArray[last], 1, "Deleted");
}

void SensorTable::ClearDataBase() {
    for (SensorRecord& record : SensorArray) {
        ResetRecord(record, 0, "?");
    }
}

void SensorTable::ClearAlarmInAllSensors() {
    for (SensorRecord& record : SensorArray) {
        record.AlarmState = 0;
        record.AlarmDelayCount = 0;
        record.TripDelayCount = 0;
        record.LostCount = 0;
    }
}

void SensorTable::ClearAllFoundOnNetwork() {
    const int last = GetMax1820Index();
    for (int index = 0; index <= last; ++index) {
        SensorArray[index].FoundOnNetwork = 0;
    }
}

}  // namespace qrv
