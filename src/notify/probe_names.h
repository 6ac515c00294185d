#pragma once

#include <string>
#include <vector>

#include "config/notify_config.h"
#include "sensors/sensor_table.h"

namespace qrv::notify {

// The entries of the contacts' probes that no probe of the table has, one
// line each with where it is written: "FILE:LINE: notify.contact.probes:
// Anna: no probe is named "Frezer"; Anna is not told of it". A contact
// meant for a probe whose name is mistyped would otherwise hear nothing of
// it, without a word.
std::vector<std::string> UnknownProbeNames(const std::vector<NotifyContact>& contacts,
                                           const SensorTable& table);

}  // namespace qrv::notify
