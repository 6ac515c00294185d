#include "storage/probe_entry.h"

#include <algorithm>

#include "runtime/encoding.h"

namespace qrv {

void StoredName::Clear() {
    utf8.clear();
    rawLength = 0;
}

void StoredName::Update(std::string_view cp1252) {
    cp1252 = cp1252.substr(0, std::min(cp1252.size(), kMaxStoredNameLength));
    // std::equal rather than memcmp: a line without a name gives an empty view
    // with no data, which memcmp must never see.
    if (std::equal(cp1252.begin(), cp1252.end(), raw.begin(), raw.begin() + rawLength)) {
        return;
    }
    std::copy(cp1252.begin(), cp1252.end(), raw.begin());
    rawLength = cp1252.size();
    utf8 = Cp1252ToUtf8(cp1252);
}

void ProbeEntry::Clear() {
    ProbeName.Clear();
    ProbeKey.fill('\0');
    ProbeUnits = {};
    ProbeType = kTypeTemperature;
    LastIndex = -1;
    MinValue = 0.0;
    MaxValue = 0.0;
}

}  // namespace qrv
