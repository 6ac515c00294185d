#include "notify/probe_names.h"

#include <fmt/format.h>

#include "notify/escalation.h"

namespace qrv::notify {

std::vector<std::string> UnknownProbeNames(const std::vector<NotifyContact>& contacts,
                                           const SensorTable& table) {
    std::vector<std::string> lines;
    const int last = table.GetMax1820Index();
    for (const NotifyContact& contact : contacts) {
        for (std::size_t i = 0; i < contact.probes.size(); ++i) {
            const std::string& entry = contact.probes[i];
            bool known = false;
            for (int p = 0; p <= last && !known; ++p) {
                const SensorRecord& record = table.SensorArray[static_cast<std::size_t>(p)];
                known = NamesProbe(entry, record.Name, record.Rom);
            }
            if (!known) {
                const std::string where =
                    i < contact.probeSources.size() ? contact.probeSources[i] : "quorvanel.toml";
                lines.push_back(fmt::format(
                    "{}: notify.contact.probes: {}: no probe is named \"{}\" (nor has that ROM "
                    "code); {} is not told of it",
                    where, contact.name, entry, contact.name));
            }
        }
    }
    return lines;
}

}  // namespace qrv::notify
