#pragma once

#include <atomic>
#include <string>

#include "storage/result_store.h"
#include "support/recording_log.h"
#include "support/recording_status_display.h"

namespace qrv::testing {

// A result store wired to a probe table, a virtual clock and recording
// displays, as the station wires it; the store tests and the store loop that
// is killed at random moments share it.
struct StoreRig {
    explicit StoreRig(const LocalDateTime& start) : clock(start) {
        table.Lock()->ClearDataBase();
        netWorkInstalled = 1;
    }

    // A probe with serial bytes (serial, 0x1B, 0x0A, 0, 0, 0); returns its index.
    int AddProbe(int family, int serial, const std::string& name, double value) {
        const RomCode rom{static_cast<std::int16_t>(family),
                          static_cast<std::int16_t>(serial & 0xFF),
                          static_cast<std::int16_t>(0x1B + (serial >> 8)),
                          0x0A,
                          0,
                          0,
                          0,
                          0x33};
        const int index = table.Lock()->Append1820ToDataStruct(rom, 1);
        SensorRecord& record = table.Lock()->SensorArray[static_cast<std::size_t>(index)];
        table.Lock()->DefineSensorTypeAndUnits(index);
        record.Name = name;
        record.Value = value;
        return index;
    }

    VirtualClock clock;
    SharedSensorTable table;
    RecordingStatusDisplay display;
    int taal = 0;
    std::atomic<int> netWorkInstalled{0};
    StatusMessages status{display, taal, netWorkInstalled};
    RecordingLog log;
    LiveFeed feed;
    ResultStore store{{table, clock, status, log, feed}};
};

}  // namespace qrv::testing
