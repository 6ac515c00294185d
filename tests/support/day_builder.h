#pragma once

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "storage/history_sensor.h"

namespace qrv::testing {

// Puts values into a HistoryData as the day reader would have left them,
// without a file: tests of what is drawn and printed from a day.
inline int AddDayProbe(HistoryData& day, std::string_view name, char typeChar) {
    ++day.HistoryMaxIndex;
    HistoEntry& entry = day.HistoSensor[static_cast<std::size_t>(day.HistoryMaxIndex)];
    entry.Clear();
    std::string key = "0" + std::string(11 - std::min<std::size_t>(11, name.size()), '0');
    key += name.substr(0, 11);
    std::memcpy(entry.ProbeKey.data(), key.data(), entry.ProbeKey.size());
    entry.ProbeName.Update(name);
    entry.ProbeType = ProbeTypeOfTypeCharacter(typeChar);
    entry.ProbeUnits = UnitsOfTypeCharacter(typeChar);
    entry.MinValue = 150.0;
    entry.MaxValue = -50.0;
    return day.HistoryMaxIndex;
}

inline void AddDayValue(HistoryData& day, int e, int minute, double value) {
    day.HistoSensor[static_cast<std::size_t>(e)].AddValue(minute, value);
}

}  // namespace qrv::testing
