// Any bytes as QRVNL.SNS: a refused file changes nothing, a loaded table (or
// the whole records of a cut file) keeps every promise of the probe records,
// and what was loaded writes back as a file that reads back the same.
#include "fuzz/fuzz_support.h"
#include "runtime/clock.h"
#include "sensors/sensor_file.h"

namespace {

using qrv::fuzz::Expect;

void ExpectSameRecord(const qrv::SensorRecord& a, const qrv::SensorRecord& b) {
    Expect(a.Line == b.Line && a.Rom == b.Rom && a.Name == b.Name, "line, ROM and name survive");
    Expect(a.SensorType == b.SensorType && a.Units == b.Units, "type and units survive");
    Expect(a.AlarmLow == b.AlarmLow && a.AlarmHigh == b.AlarmHigh && a.AlarmDelay == b.AlarmDelay &&
               a.TripLow == b.TripLow && a.TripHigh == b.TripHigh && a.TripDelay == b.TripDelay,
           "limits and delays survive");
    Expect(a.AlarmTimes == b.AlarmTimes, "alarm windows survive");
    Expect(a.Status == b.Status && a.FoundOnNetwork == b.FoundOnNetwork &&
               a.SmsEnable == b.SmsEnable && a.RelayEnable == b.RelayEnable,
           "status and choices survive");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A table that was loaded before: a refused file must leave it alone.
    static const qrv::SensorTable before = [] {
        qrv::SensorTable table;
        table.NetworkName = "before";
        table.Append1820ToDataStruct({0x10, 9, 9, 9, 9, 9, 9, 9}, 2);
        return table;
    }();
    static const qrv::VirtualClock clock;
    static const std::string beforeFile = qrv::FormatSensorFile(before, clock);

    static qrv::SensorTable table;
    table = before;
    const int result = qrv::ReadSensorBytes(qrv::fuzz::Bytes(data, size), table);
    Expect(result <= 0 || result == qrv::kSensorFileIndexMismatch, "result codes");
    if (result == qrv::kSensorFileTruncated) {
        // Asked for, the whole records of a cut file keep the same promises.
        qrv::SensorFileCut cut;
        table = before;
        Expect(qrv::ReadSensorBytes(qrv::fuzz::Bytes(data, size), table, &cut) == result,
               "the same result when the whole records are asked for");
        Expect(table.GetMax1820Index() == cut.recordsRead - 1, "the whole records, no more");
        Expect(cut.damagedFromByte <= cut.fileBytes && cut.fileBytes == size,
               "the damage lies within the file");
    } else if (result < 0) {
        Expect(qrv::FormatSensorFile(table, clock) == beforeFile, "a refused file changes nothing");
        return 0;
    }
    const int last = table.GetMax1820Index();
    Expect(last >= -1 && last < qrv::kMaxSensors, "at most 100 records");
    for (int j = 0; j < qrv::kMaxSensors; ++j) {
        const qrv::SensorRecord& r = table.SensorArray[static_cast<std::size_t>(j)];
        if (j > last) {
            Expect(r.Line == 0, "used slots are contiguous from index 0");
            continue;
        }
        Expect(r.Line >= 1 && r.Line <= 3, "a probe hangs on line 1..3");
        for (const std::int16_t element : r.Rom) {
            Expect(element >= 0 && element <= 255, "ROM elements are bytes");
        }
        Expect(qrv::fuzz::IsValidUtf8(r.Name) && qrv::Utf8Length(r.Name) <= qrv::kMaxNameLength,
               "names are valid UTF-8 of at most 27 characters");
        Expect(r.Name.find_first_of("\r\n") == std::string::npos, "names are single lines");
        Expect(r.AlarmDelay >= 120 && r.TripDelay >= 120, "delays are at least 120 s");
    }
    Expect(qrv::fuzz::IsValidUtf8(table.NetworkName) &&
               qrv::Utf8Length(table.NetworkName) <= qrv::kMaxNetworkNameLength,
           "network name fits its field");

    const std::string file = qrv::FormatSensorFile(table, clock);
    static qrv::SensorTable again;
    again.ClearDataBase();
    Expect(qrv::ReadSensorBytes(file, again) == 0, "a written file reads without complaint");
    Expect(again.GetMax1820Index() == last && again.NetworkName == table.NetworkName,
           "a written file holds the same probes");
    for (int j = 0; j <= last; ++j) {
        ExpectSameRecord(table.SensorArray[static_cast<std::size_t>(j)],
                         again.SensorArray[static_cast<std::size_t>(j)]);
    }
    return 0;
}
