#include "app/shell/results_rows.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace qrv::shell {

ResultsRows::ResultsRows(StationState& state, ResultsTableView& view, StatusDisplay& display,
                         LiveFeed& feed)
    : state_(state), view_(view), display_(display), events_(feed.Subscribe()) {}

void ResultsRows::Serve() {
    const FeedBatch batch = events_.Drain();
    const bool rebuild = (state_.ResultsTableWanted || state_.SensorListActive != 0) &&
                         std::any_of(batch.events.begin(), batch.events.end(), [](auto& event) {
                             return event.kind == LiveEventKind::kProbeSettingsChanged ||
                                    event.kind == LiveEventKind::kStationSettingsChanged;
                         });
    if (rebuild) {
        // The table as it stands now holds every reading the batch brought.
        InitTheResultsTable(state_, view_, display_);
        return;
    }
    if (batch.dropped > 0) {
        ShowRows(nullptr);
        return;
    }
    for (const LiveEvent& event : batch.events) {
        switch (event.kind) {
            case LiveEventKind::kReading:
                ShowRows(&event);
                break;
            case LiveEventKind::kAlarmChanged:
                // A new or worse alarm makes the alarms audible again: no row
                // is acknowledged any more.
                ShowRows(event.newAlarm != kAlarmNone ? nullptr : &event);
                break;
            case LiveEventKind::kNetworkLost:
            case LiveEventKind::kNetworkBack:
            case LiveEventKind::kAcknowledged:
            case LiveEventKind::kUnmuted:
                ShowRows(nullptr);
                break;
            default:
                break;
        }
    }
}

// The row of the probe an event names, or every row (only null); each row
// shown counts the probe's readings as seen.
void ResultsRows::ShowRows(const LiveEvent* only) {
    if (state_.SensorListActive == 0) {
        return;
    }
    std::vector<std::pair<int, ResultsRow>> rows;
    {
        const auto table = state_.sensors.Lock();
        const int last = table->GetMax1820Index();
        for (int index = 0; index <= last; ++index) {
            SensorRecord& record = table->SensorArray[static_cast<std::size_t>(index)];
            // A row belongs to the probe, not to the slot: after a delete the
            // event may name a slot that another probe has moved into.
            if (only == nullptr || (only->index == index && only->rom == record.Rom)) {
                record.NewValueCount = 0;
                rows.emplace_back(index, BuildResultsRow(record, state_.settings.Taal,
                                                         state_.AlarmUserStatus == 0));
            }
        }
    }
    for (const auto& [index, row] : rows) {
        view_.SetRow(index, row);
    }
    if (!rows.empty()) {
        view_.HideTheTable(state_.CommunicationErrorAlarm != 0);
    }
}

}  // namespace qrv::shell
