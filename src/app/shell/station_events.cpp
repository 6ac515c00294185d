#include "app/shell/station_events.h"

#include <string>

#include "app/shell/live_monitoring.h"

namespace qrv::shell {
namespace {

void Announce(const ShellServices& services, LiveEventKind kind, std::string_view why) {
    LiveEvent event = StationEvent(kind, services.clock.Now());
    event.reason = std::string(why);
    services.monitoring.Feed().Publish(event);
}

}  // namespace

void AnnounceProbeSettings(const ShellServices& services, std::string_view why) {
    Announce(services, LiveEventKind::kProbeSettingsChanged, why);
}

void AnnounceStationSettings(const ShellServices& services, std::string_view why) {
    Announce(services, LiveEventKind::kStationSettingsChanged, why);
}

}  // namespace qrv::shell
