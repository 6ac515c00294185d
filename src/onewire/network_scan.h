#pragma once

#include <functional>
#include <vector>

#include "onewire/nodex_session.h"
#include "sensors/sensor_table.h"

namespace qrv {

// Told about every probe a scan meets, before it is read: the record as the
// table now holds it and whether it was just appended.
using ProbeFoundCallback = std::function<void(const SensorRecord& record, bool isNew)>;
// Told about every line that was not searched because its switch failed
// twice, with the result of SelectLine.
using LineNotSearchedCallback = std::function<void(int line, SessionStatus result)>;

struct ScanResult {
    int probesFound = 0;
    // The lines not searched: their probes were neither found nor moved.
    std::vector<int> linesNotSearched;
    // Probes found on the lines for which the table had no free slot; they
    // were neither appended nor read.
    std::vector<RomCode> leftOut;
};

// The unit's own DS2406 and couplers, which every line search meets too.
bool IsUnitDevice(const NodexSession& session, const RomCode& rom);

// Searches lines 1 to 3 in turn. A probe of an accepted family that the table
// knows gets the line it was found on (a moved probe follows its cable); an
// unknown one is appended with its line plus 100. Each gets FoundOnNetwork,
// its type and units and, once its line's search has ended, its reading (an
// error value is stored as it comes; see ReadLineProbes).
// A line whose switch is not confirmed is not searched: a search there would
// meet the devices of whatever lines are on and file them under this one.
// A session giving up (see NodexSession::SetGivingUp) ends the scan before
// its next line or probe.
ScanResult ScanTotalNetwork(NodexSession& session, SensorTable& table,
                            const ProbeFoundCallback& onFound = {},
                            const LineNotSearchedCallback& onNotSearched = {});

// With all lines on, the first probe of an accepted family: found in the
// table or appended with line 101, marked found and read. Returns its index,
// or -1 when no probe answers or the probe found has no room in the table
// (then its ROM is added to leftOut).
int IdentifyEenProbe(NodexSession& session, SensorTable& table,
                     std::vector<RomCode>* leftOut = nullptr);

}  // namespace qrv
