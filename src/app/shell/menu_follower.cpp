#include "app/shell/menu_follower.h"

#include "app/shell/menu_items.h"

namespace qrv::shell {

MenuFollower::MenuFollower(StationState& state, const Clock& clock, const SerialPortProvider& ports,
                           MainWindowView& view, LiveFeed& feed)
    : state_(state), clock_(clock), ports_(ports), view_(view), events_(feed.Subscribe()) {}

void MenuFollower::Serve() {
    const FeedBatch batch = events_.Drain();
    bool station = batch.dropped > 0;
    bool probes = batch.dropped > 0;
    bool stored = false;
    // A burst of changes (a start-up, an installation) redraws the menus once.
    for (const LiveEvent& event : batch.events) {
        station = station || event.kind == LiveEventKind::kStationSettingsChanged;
        probes = probes || event.kind == LiveEventKind::kProbeSettingsChanged;
        stored = stored || event.kind == LiveEventKind::kStored;
    }
    if (station) {
        ShowStation();
    } else if (stored) {
        AddYearOfNewFile(state_, clock_, view_);
    }
    if (probes) {
        ShowProbes();
    }
}

void MenuFollower::ShowStation() {
    view_.TranslateQRVMenu();
    // Beside the service the ports are the service's: none is offered.
    view_.SetComPortItems(state_.serviceMonitors ? std::vector<int>{}
                                                 : AvailableComPorts(ports_.Map()));
    view_.UpdateCheckMarks();
    AddYearsAsSubMenuItems(state_, clock_, view_);
    view_.HandleSetMenuItems();
}

void MenuFollower::ShowProbes() {
    view_.SetProbeItems(ProbeItems(state_.sensors.Copy()));
}

}  // namespace qrv::shell
