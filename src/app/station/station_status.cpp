#include "app/station/station_status.h"

#include <fmt/format.h>

#include "station/display_timer.h"
#include "station/status_fields.h"

namespace qrv::station {

void StationStatus::DisplayTick(const shell::ShellServices& services) {
    shell::SampleTimer(state_, services);
    for (const LiveEvent& event : stores_.Drain().events) {
        if (event.kind == LiveEventKind::kStored) {
            lastStore_ = event.time.hour * 60 + event.time.minute;
        }
    }
}

std::string StationStatus::Text() const {
    int probes = 0;
    int alarms = 0;
    {
        const auto table = state_.sensors.Lock();
        probes = table->GetMax1820Index() + 1;
        for (int index = 0; index < probes; ++index) {
            if (table->SensorArray[static_cast<std::size_t>(index)].AlarmState != kAlarmNone) {
                ++alarms;
            }
        }
    }
    if (state_.installProgress.running) {
        const int found = state_.installProgress.found;
        const int known = state_.installProgress.known;
        return known > 0 ? fmt::format("installing: {} of {} probes", found, known)
                         : fmt::format("installing: {} probes found", found);
    }
    std::string text;
    if (state_.NetWorkInstalled == 0) {
        text = "Waiting for the interface unit; ";
    } else if (state_.CommunicationErrorAlarm != 0) {
        text = "Interface unit not answering; ";
    }
    text += fmt::format("{} probe{}, {} alarm{} standing", probes, probes == 1 ? "" : "s", alarms,
                        alarms == 1 ? "" : "s");
    if (lastStore_) {
        text += fmt::format(", last store {:02}:{:02}", *lastStore_ / 60, *lastStore_ % 60);
    } else {
        text += ", no store yet";
    }
    // After the counts: someone on the call list was not reached.
    if (const std::string notice = shell::NoticeProblemText(monitoring_.Notices(), 0);
        !notice.empty()) {
        text += "; " + notice;
    }
    // Loud, first: records may be going missing.
    if (const std::string problem = journal_.LastFileNotWritten(); !problem.empty()) {
        text = "ERROR: " + problem + "; " + text;
    }
    return text;
}

}  // namespace qrv::station
