#pragma once

#include <string>

#include "feed/notice_tally.h"
#include "onewire/bus_errors.h"
#include "web/live_push.h"
#include "web/live_state.h"

namespace qrv::web {

// The station in Prometheus's text exposition format (0.0.4), without
// timestamps: the scrape's time is the sample's.
std::string MetricsText(const LiveSnapshot& live, const FeedActivity& activity,
                        const BusErrorCounts& busErrors, const NoticeTotals& notices);

// A label value with backslash, quote and line break escaped.
std::string LabelValue(std::string_view text);

}  // namespace qrv::web
