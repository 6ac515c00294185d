#pragma once

#include <string_view>

#include "station/shell_services.h"

namespace qrv::shell {

// A change of settings is told on the live-event feed, once, where it is
// made; the window's table and menus, the MQTT link, the dashboard and the
// station's own audit of the probe settings follow the feed and take what
// they show or record from the station anew. why says what changed, for
// whoever logs events; who (with the front end) and reason are what the
// person who changed the probes gave, for the audit trail (empty: the
// station's operator, no reason).
void AnnounceProbeSettings(const ShellServices& services, std::string_view why,
                           std::string_view who = {}, std::string_view reason = {});
void AnnounceStationSettings(const ShellServices& services, std::string_view why);
// An installation ended with the network running.
void AnnounceProbesInstalled(const ShellServices& services);
// A block of the day's values is to be stored now.
void AnnounceStoreDue(const ShellServices& services, std::string_view why);

}  // namespace qrv::shell
