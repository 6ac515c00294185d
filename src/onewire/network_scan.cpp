#include "onewire/network_scan.h"

#include <algorithm>

#include "onewire/families.h"
#include "onewire/line_readings.h"

namespace qrv {

namespace {

// The ROM of the device the search has just made current.
RomCode CurrentRom(NodexSession& session) {
    RomCode rom{};
    session.Driver().OwRom(session.Handle(), rom);
    return rom;
}

bool IsAcceptedProbe(const NodexSession& session, const RomCode& rom) {
    return IsProbeFamily(rom[0]) && !IsUnitDevice(session, rom);
}

// Searches the lines now switched on and hands every probe of an accepted
// family to visit, until visit returns false.
template <typename Visit>
void SearchProbes(NodexSession& session, Visit&& visit) {
    OneWireDriver& driver = session.Driver();
    for (int found = driver.OwFirst(session.Handle()); found > 0;
         found = driver.OwNext(session.Handle())) {
        const RomCode rom = CurrentRom(session);
        if (IsAcceptedProbe(session, rom) && !visit(rom)) {
            return;
        }
    }
}

void MarkFound(SensorTable& table, int index) {
    table.SensorArray[static_cast<std::size_t>(index)].FoundOnNetwork = 1;
    table.DefineSensorTypeAndUnits(index);
}

void StoreReading(SensorTable& table, int index, double value) {
    SensorRecord& record = table.SensorArray[static_cast<std::size_t>(index)];
    // Uncorrected: the station corrects it as it does every reading.
    record.RawValue = value;
    record.Value = value;
}

void ReadIntoRecord(NodexSession& session, SensorTable& table, int index) {
    MarkFound(table, index);
    const SensorRecord& record = table.SensorArray[static_cast<std::size_t>(index)];
    // The record holds a failed reading as its error code, as the views show it.
    StoreReading(
        table, index,
        CodedValue(FamilyOf(record.Rom[0]).kind, ReadProbe(session, record.Line, record.Rom)));
}

}  // namespace

bool IsUnitDevice(const NodexSession& session, const RomCode& rom) {
    return SameRom(rom, session.Nodex2406Rom) ||
           std::any_of(session.Nodex2409Rom.begin(), session.Nodex2409Rom.end(),
                       [&rom](const RomCode& coupler) { return SameRom(rom, coupler); });
}

ScanResult ScanTotalNetwork(NodexSession& session, SensorTable& table,
                            const ProbeFoundCallback& onFound,
                            const LineNotSearchedCallback& onNotSearched) {
    ScanResult result;
    for (int line = 1; line <= kCouplerCount && !session.GivingUp(); ++line) {
        if (const SessionStatus switched = session.SelectLine(line);
            switched != SessionStatus::kOk) {
            result.linesNotSearched.push_back(line);
            if (onNotSearched) {
                onNotSearched(line, switched);
            }
            continue;
        }
        std::vector<int> found;
        SearchProbes(session, [&](const RomCode& rom) {
            if (session.GivingUp()) {
                return false;
            }
            int index = table.Find1820inDataStruct(rom);
            const bool isNew = index < 0;
            if (isNew) {
                index = table.Append1820ToDataStruct(rom, line + kNewProbeLineOffset);
                if (index < 0) {
                    if (std::find(result.leftOut.begin(), result.leftOut.end(), rom) ==
                        result.leftOut.end()) {
                        result.leftOut.push_back(rom);
                    }
                    return true;
                }
            } else {
                table.SensorArray[static_cast<std::size_t>(index)].Line = line;
            }
            ++result.probesFound;
            if (onFound) {
                onFound(table.SensorArray[static_cast<std::size_t>(index)], isNew);
            }
            MarkFound(table, index);
            found.push_back(index);
            return true;
        });
        // The line's probes are read once its search has ended, together
        // where they can be.
        std::vector<RomCode> roms;
        for (const int index : found) {
            roms.push_back(table.SensorArray[static_cast<std::size_t>(index)].Rom);
        }
        const std::vector<Reading> readings = ReadLineProbes(session, line, roms);
        for (std::size_t i = 0; i < readings.size(); ++i) {
            StoreReading(table, found[i], CodedValue(FamilyOf(roms[i][0]).kind, readings[i]));
        }
    }
    return result;
}

int IdentifyEenProbe(NodexSession& session, SensorTable& table, std::vector<RomCode>* leftOut) {
    session.SelectLine(kAllLinesOn);
    int index = -1;
    SearchProbes(session, [&](const RomCode& rom) {
        index = table.Find1820inDataStruct(rom);
        if (index < 0) {
            index = table.Append1820ToDataStruct(rom, 1 + kNewProbeLineOffset);
        }
        if (index < 0) {
            if (leftOut != nullptr) {
                leftOut->push_back(rom);
            }
        } else {
            ReadIntoRecord(session, table, index);
        }
        return false;  // the first probe is the one
    });
    return index;
}

}  // namespace qrv
