#include "probe_lookup.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <span>

#include "sensors/rom_text.h"

namespace qrv::report {

ProbeLookup LookUpProbe(const SensorTable& table, std::string_view id) {
    std::string upper(id);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    const auto used =
        std::span(table.SensorArray).first(static_cast<std::size_t>(table.GetMax1820Index() + 1));
    for (const SensorRecord& record : used) {
        if (RomToHex(record.Rom) == upper || SerialNumberHex(record.Rom) == upper) {
            return {&record, {}};
        }
    }
    ProbeLookup found;
    int named = 0;
    for (const SensorRecord& record : used) {
        if (record.Name == id) {
            found.probe = &record;
            ++named;
        }
    }
    if (named == 0) {
        found.problem = fmt::format("no probe '{}' in the station's sensor file", id);
    } else if (named > 1) {
        found.probe = nullptr;
        found.ambiguous = true;
        found.problem = fmt::format(
            "{} probes are named '{}': give the probe's ROM or network address", named, id);
    }
    return found;
}

}  // namespace qrv::report
