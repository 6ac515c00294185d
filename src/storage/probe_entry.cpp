#include "storage/probe_entry.h"

#include <algorithm>
#include <cstring>

#include "runtime/encoding.h"

namespace qrv {

void StoredName::Clear() {
    utf8.clear();
    rawLength = 0;
}

void StoredName::Update(std::string_view cp1252) {
    cp1252 = cp1252.substr(0, std::min(cp1252.size(), kMaxStoredNameLength));
    if (cp1252.size() == rawLength && std::memcmp(cp1252.data(), raw.data(), rawLength) == 0) {
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
