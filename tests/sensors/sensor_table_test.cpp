#include "sensors/sensor_table.h"

#include <gtest/gtest.h>

#include "sensors/rom_text.h"

namespace qrv {
namespace {

RomCode Rom(int family, int serial) {
    return {
        static_cast<std::int16_t>(family), static_cast<std::int16_t>(serial), 0, 0, 0, 0, 0, 0x5A};
}

SensorTable ThreeProbes() {
    SensorTable table;
    table.ClearDataBase();
    for (int i = 0; i < 3; ++i) {
        const int index = table.Append1820ToDataStruct(Rom(0x28, i + 1), 1 + i);
        table.SensorArray[index].Name = "Probe " + std::to_string(i);
        table.DefineSensorTypeAndUnits(index);
    }
    return table;
}

TEST(SensorTable, EmptyTable) {
    SensorTable table;
    EXPECT_EQ(table.GetMax1820Index(), -1);
    EXPECT_EQ(table.Find1820inDataStruct(Rom(0x28, 1)), -1);
    table.ClearAllFoundOnNetwork();
    table.DeleteSensorFromDataBase(0);
    EXPECT_EQ(table.GetMax1820Index(), -1);
    EXPECT_EQ(table.Append1820ToDataStruct(Rom(0x10, 9), 101), 0);
    EXPECT_EQ(table.GetMax1820Index(), 0);
}

TEST(SensorTable, AppendGivesTheDocumentedNewRecord) {
    SensorTable table;
    table.SensorArray[0].SmsEnable = 1;  // kept from what the slot held
    table.SensorArray[0].SensorType = 49;
    const int index = table.Append1820ToDataStruct(Rom(0x28, 7), 102);
    const SensorRecord& r = table.SensorArray[index];
    EXPECT_EQ(r.Line, 102);
    EXPECT_EQ(r.Name, " ");
    EXPECT_EQ(r.FoundOnNetwork, 1);
    EXPECT_EQ(r.Status, kStatusActive);
    EXPECT_EQ(r.AlarmTimes[6], (AlarmWindow{0, 96}));
    EXPECT_EQ(r.SmsEnable, 1);
    EXPECT_EQ(r.SensorType, 49);
    EXPECT_TRUE(r.Units.empty());
}

TEST(SensorTable, FullTableRefusesTheHundredAndFirst) {
    SensorTable table;
    for (int i = 0; i < kMaxSensors; ++i) {
        ASSERT_EQ(table.Append1820ToDataStruct(Rom(0x28, i), 1), i);
    }
    EXPECT_EQ(table.GetMax1820Index(), 99);
    EXPECT_EQ(table.Append1820ToDataStruct(Rom(0x28, 200), 1), -1);
    EXPECT_EQ(table.GetMax1820Index(), 99);
}

TEST(SensorTable, FindComparesAllEightBytes) {
    SensorTable table = ThreeProbes();
    RomCode other = Rom(0x28, 2);
    EXPECT_EQ(table.Find1820inDataStruct(other), 1);
    other[7] = 0x5B;  // only the CRC differs: another probe
    EXPECT_EQ(table.Find1820inDataStruct(other), -1);
    EXPECT_EQ(SensorTable::SameRomNumbers(Rom(1, 1), Rom(1, 1)), 1);
}

TEST(SensorTable, DeleteMovesLaterRecordsDown) {
    SensorTable table = ThreeProbes();
    table.DeleteSensorFromDataBase(0);
    EXPECT_EQ(table.GetMax1820Index(), 1);
    EXPECT_EQ(table.SensorArray[0].Name, "Probe 1");
    EXPECT_EQ(table.SensorArray[1].Name, "Probe 2");
    EXPECT_EQ(table.SensorArray[1].Line, 3);
    EXPECT_EQ(table.SensorArray[2].Line, 0);
    EXPECT_EQ(table.SensorArray[2].Name, "Deleted");
    EXPECT_EQ(table.SensorArray[2].Rom, (RomCode{1, 1, 1, 1, 1, 1, 1, 1}));

    table.DeleteSensorFromDataBase(1);  // the last one: nothing moves
    EXPECT_EQ(table.GetMax1820Index(), 0);
    EXPECT_EQ(table.SensorArray[0].Name, "Probe 1");
    table.DeleteSensorFromDataBase(5);  // beyond the table: nothing happens
    EXPECT_EQ(table.GetMax1820Index(), 0);
}

TEST(SensorTable, FamiliesDecideTypeAndUnits) {
    SensorTable table;
    const int families[] = {0x10, 0x28, 0x26, 0x12, 0x01};
    for (int family : families) {
        table.Append1820ToDataStruct(Rom(family, 1), 1);
    }
    const std::pair<int, std::string> expected[] = {
        {48, "\u00B0C"}, {48, "\u00B0C"}, {49, " %"}, {50, "  "}, {999, ""}};
    for (int i = 0; i < 5; ++i) {
        table.DefineSensorTypeAndUnits(i);
        EXPECT_EQ(table.SensorArray[i].SensorType, expected[i].first) << i;
        EXPECT_EQ(table.SensorArray[i].Units, expected[i].second) << i;
    }
}

TEST(RomText, WholeCodeFamilyFirstAndSerialMostSignificantFirst) {
    const RomCode rom{0x28, 0x2C, 0x1B, 0x0A, 0x00, 0xF0, 0x08, 0x33};
    EXPECT_EQ(RomToHex(rom), "282C1B0A00F00833");
    EXPECT_EQ(SerialNumberHex(rom), "08F0000A1B2C");
    // A damaged element from a file keeps its low byte, never a wider text.
    const RomCode damaged{0x128, -1, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(RomToHex(damaged), "28FF000000000000");
    EXPECT_EQ(SerialNumberHex(damaged), "0000000000FF");
}

TEST(SensorTable, ClearsKeepTypeSmsAndRelay) {
    SensorTable table = ThreeProbes();
    SensorRecord& r = table.SensorArray[1];
    r.SmsEnable = 1;
    r.RelayEnable = 1;
    r.AlarmState = kAlarmHigh;
    r.LostCount = 9;
    r.AlarmDelayCount = 30;
    table.ClearAlarmInAllSensors();
    EXPECT_EQ(r.AlarmState, 0);
    EXPECT_EQ(r.LostCount, 0);
    EXPECT_EQ(r.AlarmDelayCount, 0);
    table.ClearAllFoundOnNetwork();
    EXPECT_EQ(r.FoundOnNetwork, 0);
    table.ClearDataBase();
    EXPECT_EQ(table.GetMax1820Index(), -1);
    EXPECT_EQ(r.Name, "?");
    EXPECT_EQ(r.SensorType, 48);
    EXPECT_EQ(r.SmsEnable, 1);
    EXPECT_EQ(r.RelayEnable, 1);
}

}  // namespace
}  // namespace qrv
