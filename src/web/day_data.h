#pragma once

#include <string>
#include <string_view>

#include "web/http_message.h"
#include "web/live_state.h"
#include "web/station_source.h"

namespace qrv::web {

// /api/probes/ROM and /api/probes/ROM/today; rest is what follows
// "/api/probes/".
HttpResponse ProbeRoute(std::string_view rest, StationSource& station, const LiveSnapshot& live,
                        int taal);
// /api/days and /api/days/YYYY-MM-DD.
HttpResponse DayRoute(const std::string& path, const std::string& query, StationSource& station,
                      const LiveSnapshot& live);

// Whether text is a real calendar date "YYYY-MM-DD" from 1999 to 2999.
bool ParseDate(std::string_view text, int& year, int& month, int& day);

}  // namespace qrv::web
