#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "records/limit_history.h"
#include "reports/limit_lines.h"
#include "runtime/date_strings.h"
#include "sensors/sensor_table.h"

namespace qrv {

// The limits of the probe a result file names by its key, from the probe
// table; nullopt for a probe the table does not hold (or holds as off).
using LimitsLookup = std::function<std::optional<ProbeLimits>(std::string_view probeKey)>;

// The graph limits of the table's probe with that result-file key.
std::optional<ProbeLimits> LimitsInTable(const SensorTable& table, std::string_view probeKey);

inline std::optional<ProbeLimits> LimitsOf(const LimitsLookup& lookup, std::string_view probeKey) {
    return lookup ? lookup(probeKey) : std::nullopt;
}

// What every printed page shows besides its data: the language, the
// network's name, the moment of printing, and where the probes' limits come
// from (none: the pages draw no limits).
struct PrintContext {
    int taal = 0;
    std::string networkName;
    DateStrings printed;
    LimitsLookup limitsOf{};
    // The audit trail's head when printed (its line count and last hash),
    // for the pages that anchor the trail outside its file; empty: none.
    std::string trailHead{};
    // The limit changes of the audit trail, read once for the report: the
    // minutes out of range count each value against the limits in force
    // when it was stored. None: against the limits the probes have now.
    std::shared_ptr<const records::LimitHistory> limitHistory{};

    std::optional<ProbeLimits> LimitsOf(std::string_view probeKey) const {
        return qrv::LimitsOf(limitsOf, probeKey);
    }
};

// "QUORVANEL   Intelligent Probe Network     Printing date:  DD/MM/YYYY   HH:MM:SS";
// the month and week pages put 56 blanks after the banner.
std::string PrintingBanner(const PrintContext& context, int blanksAfterBanner = 0);

// "Network:   NAME".
std::string NetworkLine(const PrintContext& context);

// The title of a day's pages: today's recorded data for the day of
// printing, a previous data record for any other (DD/MM/YYYY).
std::string DayRecordTitle(std::string_view euroDate, const PrintContext& context);

}  // namespace qrv
