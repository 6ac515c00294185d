#pragma once

#include "acquisition/live_acquisition.h"
#include "acquisition/timer_platform.h"
#include "config/notify_config.h"
#include "feed/live_feed.h"
#include "notify/notifier.h"
#include "onewire/nodex_session.h"
#include "runtime/clock.h"
#include "runtime/event_log.h"
#include "runtime/program_launcher.h"
#include "runtime/status_display.h"
#include "station/front_end.h"
#include "station/network_timer_control.h"
#include "station/station_state.h"
#include "storage/result_store.h"
#include "storage/status_messages.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace qrv::shell {

// What live monitoring is built on; all of it outlives the monitoring.
struct MonitoringPlatform {
    Clock& clock;
    StatusDisplay& display;
    EventLog& log;
    NodexSession& session;
    ProgramLauncher& launcher;
    acquisition::PeriodicTimerPlatform& timers;
};

// The live side of the station: the network timer with acquisition, alarms,
// the alarm file and SMS, the store of the day's samples, and the live-event
// feed they publish to. It is the
// pause and resume that installation and the other user-interface
// operations meet.
class LiveMonitoring final : public NetworkTimerControl {
  public:
    LiveMonitoring(StationState& state, const MonitoringPlatform& platform);
    LiveMonitoring(const LiveMonitoring&) = delete;
    LiveMonitoring& operator=(const LiveMonitoring&) = delete;

    void StopNetworkTimer() override;
    void StartNetworkTimer() override;

    // The network timer: created paused at start-up, discarded at shutdown.
    int InitAsyncNetworkTimer() { return acquisition_.InitAsyncNetworkTimer(); }
    int DiscardAsyncNetworkTimer() { return acquisition_.DiscardAsyncNetworkTimer(); }

    // Takes the time-alarm thresholds changed in their file meanwhile.
    void ReloadTimeAlarmsIfChanged();

    // Appends the day's block to today's result file of the mode's data
    // directory; a minute that has its block already is not stored again.
    StoreResult StoreResultsToDisk();
    // The last block when the network stops or the station shuts down.
    StoreResult StoreLastBlock() { return StoreResultsToDisk(); }

    // The call list of quorvanel.toml takes over the alarm SMS; without
    // contacts they go to the linked program's destination as before.
    void StartNotifications(const NotifyConfig& config);
    // nullptr while no call list is set.
    notify::Notifier* Notifications() { return notifier_.get(); }
    // What became of the call list's notices since the station started.
    NoticeTotals Notices() const { return notices_.Totals(); }

    // The station's commands, the same whichever front end gives them; who
    // and via go into each line they write.
    //
    // Mutes the audible alarm and the relay, as the alarm button does, and
    // acknowledges the standing alarms: the alarm file, the audit trail and
    // the feed say who, and the call list stops escalating.
    void Mute(std::string_view who, std::string_view comment, Via via);
    // Who acknowledged the alarms last (the name given to Mute).
    std::string AcknowledgedBy() const;
    // Makes the alarm audible again.
    void Unmute(std::string_view who, Via via);
    // A test message to the call list's contact numbered contact, or, with
    // no call list, to the SMS program's destination (contact empty). False
    // when there is no such contact: nothing was sent.
    bool SendTestMessage(std::optional<int> contact, std::string_view who, Via via);

    acquisition::LiveAcquisition& Acquisition() { return acquisition_; }
    LiveFeed& Feed() { return feed_; }
    const StoreState& Stores() const { return store_.State(); }

  private:
    StationState& state_;
    LiveFeed feed_;
    StatusMessages statusMessages_;
    ResultStore store_;
    acquisition::LiveAcquisition acquisition_;
    Clock& clock_;
    EventLog& log_;
    // Mute comes from the window and from the web and MQTT threads.
    mutable std::mutex acknowledgedMutex_;
    std::string acknowledgedBy_;
    // Counts across reloads of the call list.
    NoticeTally notices_;
    // Ends before the SMS worker it hands SMS to.
    std::unique_ptr<notify::Notifier> notifier_;
};

}  // namespace qrv::shell
