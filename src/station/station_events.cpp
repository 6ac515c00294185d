#include "station/station_events.h"

#include <string>

#include "station/live_monitoring.h"

namespace qrv::shell {

namespace {

LiveEvent Event(const ShellServices& services, LiveEventKind kind, std::string_view why) {
    LiveEvent event = StationEvent(kind, services.clock.Now());
    event.reason = std::string(why);
    return event;
}

}  // namespace

void AnnounceProbeSettings(const ShellServices& services, std::string_view why,
                           std::string_view who, std::string_view reason) {
    LiveEvent event = Event(services, LiveEventKind::kProbeSettingsChanged, why);
    event.by = std::string(who);
    event.givenReason = std::string(reason);
    services.monitoring.Feed().Publish(event);
}

void AnnounceStationSettings(const ShellServices& services, std::string_view why) {
    services.monitoring.Feed().Publish(
        Event(services, LiveEventKind::kStationSettingsChanged, why));
}

void AnnounceProbesInstalled(const ShellServices& services) {
    services.monitoring.Feed().Publish(
        Event(services, LiveEventKind::kProbesInstalled, "network installed"));
}

void AnnounceStoreDue(const ShellServices& services, std::string_view why) {
    services.monitoring.Feed().Publish(Event(services, LiveEventKind::kStoreDue, why));
}

}  // namespace qrv::shell
