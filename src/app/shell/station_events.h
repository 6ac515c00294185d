#pragma once

#include <string_view>

#include "app/shell/shell_services.h"

namespace qrv::shell {

// A change of settings is told on the live-event feed, once, where it is
// made; the window's table and menus, the MQTT link and the dashboard follow
// the feed and take what they show from the station anew. why says what
// changed, for whoever logs events.
void AnnounceProbeSettings(const ShellServices& services, std::string_view why);
void AnnounceStationSettings(const ShellServices& services, std::string_view why);

}  // namespace qrv::shell
