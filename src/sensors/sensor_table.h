#pragma once

#include <array>
#include <string>

#include "sensors/sensor_record.h"

namespace qrv {

// The probe table shared by every part of the station: 100 records, used
// slots contiguous from index 0 (a slot is used when its Line is not 0).
// Indices are not stable: a delete moves the later records down.
class SensorTable {
  public:
    std::array<SensorRecord, kMaxSensors> SensorArray{};
    std::string NetworkName = "QRV-Data";

    // Index of the last used slot, -1 when the table is empty.
    int GetMax1820Index() const;
    // Index of the first used slot holding rom, or -1.
    int Find1820inDataStruct(const RomCode& rom) const;
    static int SameRomNumbers(const RomCode& a, const RomCode& b);

    // Writes a new record behind the last used one and returns its index, or
    // -1 when all 100 slots are used (the table is never overrun).
    // SensorType, SmsEnable and RelayEnable keep what the slot held.
    int Append1820ToDataStruct(const RomCode& rom, int line);
    // Sets SensorType and Units from the family code of the record's Rom.
    void DefineSensorTypeAndUnits(int index);
    // Closes the gap left by the record at index; the freed slot is reset.
    void DeleteSensorFromDataBase(int index);
    void ClearDataBase();
    void ClearAlarmInAllSensors();
    void ClearAllFoundOnNetwork();
};

}  // namespace qrv
