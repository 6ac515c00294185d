#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

#include "acquisition/alarm_log.h"
#include "acquisition/sms_worker.h"
#include "acquisition/time_alarms.h"
#include "config/notify_config.h"
#include "feed/live_feed.h"
#include "notify/call_list_file.h"
#include "notify/contact_delivery.h"
#include "notify/curl_channels.h"
#include "notify/escalation.h"
#include "notify/sms_channel.h"
#include "runtime/clock.h"
#include "runtime/event_log.h"
#include "sensors/shared_sensor_table.h"
#include "settings/settings_owner.h"

namespace qrv::notify {

struct NotifierContext {
    LiveFeed& feed;
    SharedSensorTable& table;
    const SettingsOwner& settings;
    Clock& clock;
    EventLog& log;
    acquisition::SmsWorker& sms;
    // Where an alarm that ended while the station was stopped is closed.
    acquisition::AlarmLog& alarmFile;
    // The minutes out of range that reminders of time alarms tell.
    const acquisition::TimeOutOfRangeAlarms& timeAlarms;
    // The call list's state file (kCallListFileName in the station
    // directory).
    std::filesystem::path stateFile;
    // Where the deliveries count what became of their notices; outlives a
    // reload of the call list.
    NoticeTally& tally;
};

// The call list at work: follows the live-event feed on a thread of its own
// (alarm changes, the unit lost and back, acknowledgements), keeps the
// escalation's times on the station's clock and hands each notice to its
// contact's delivery. Nothing that publishes ever waits for it. A probe whose
// SMS choice is off notifies nobody, as it sent no SMS before.
//
// The call list survives a restart: its state file is read at the start
// and rewritten after every change. An alarm taken over waits for news of
// its probe: when the alarm walk raises it again it goes on where it was
// (no new "alarm" notice, its duration from when it first rose); when the
// probe has been read twice without it, or has gone or been switched off,
// it ended while the station was stopped, and everyone told hears of the
// end, with its line in the alarm file. The unit's alarm ends with the first
// reading. Messages kept for such an alarm wait for the outcome.
//
// Alarms that rise (or end) within the configuration's group_seconds of the
// first of them reach each contact as one notice with one id; an end makes
// the messages about its alarm untrue at once, while the end itself waits
// for its group. With a public_url, a notice about a standing alarm links to
// the dashboard page that acknowledges it.
//
// What became of the notices is counted in the context's tally, and a notice
// given up is published on the feed (kNoticeGivenUp) for the front ends.
class Notifier {
  public:
    Notifier(const NotifyConfig& config, const NotifierContext& context);
    // Ends the thread, then the deliveries.
    ~Notifier();
    Notifier(const Notifier&) = delete;
    Notifier& operator=(const Notifier&) = delete;

    const std::vector<NotifyContact>& Contacts() const { return config_.contacts; }
    // A test message to one contact (index into Contacts()).
    void SendTestMessage(int contact);
    // The settings and probe files were read again: the contacts' probe
    // names are checked against the probes anew, and a name no probe has is
    // logged again even when it was logged before.
    void CheckProbeNamesAgain() { checkProbeNames_ = true; }

    // Every event handled, no escalation or reminder due on the clock,
    // nothing being delivered and no attempt due: what a test waits for.
    bool Idle() const;
    // The earliest time this or a contact's thread wakes up for; a test on
    // virtual time waits until the clock's next wake-up is no later, so that
    // it never moves the clock past a thread that is not asleep yet.
    double NextDue() const;

  private:
    void Run(const std::stop_token& stop);
    void Handle(const LiveEvent& event);
    // A probe's alarm, on its value or on its time out of range, moved.
    void HandleProbeAlarm(const LiveEvent& event, double now);
    // News of a probe for the alarms taken over from before a restart.
    void HandleReading(const LiveEvent& event, double now);
    void CheckAwaitingProbes(double now);
    // Whether the probe's record shows that the alarm taken over ended.
    bool EndedMeanwhile(const std::string& key) const;
    void EndAwaiting(const std::string& key, double now);
    // Drops the messages waiting to be sent about alarms that all ended.
    void DropWhatEnded();
    // Brings the facts of a standing alarm to the present.
    void Present(AlarmFacts& facts) const;
    void Restore();
    // Logs each name in the contacts' probes that no probe has, when the set
    // changed or a check was asked for.
    void CheckProbeNames();
    void Dispatch(std::vector<Notice> notices);
    // A delivery gave up a message (on its thread): the notifier's thread
    // calls the next contact.
    void GivenUp(int contact, const Message& message, const std::string& detail);
    void CallNextForUnreached(double now);
    std::string NextId();

    const NotifyConfig config_;
    NotifierContext context_;
    WebhookChannel webhook_;
    EmailChannel email_;
    SmsChannel sms_;
    // Outlives the deliveries, which save their messages in it.
    CallListFile file_;
    std::vector<std::unique_ptr<ContactDelivery>> deliveries_;
    // Touched by the notifier's thread only.
    EscalationEngine engine_;
    std::map<std::string, int> readingsSinceStart_;
    std::vector<std::string> unknownProbeNames_;
    std::atomic<bool> checkProbeNames_ = true;
    // Unique to this start, with a count: notice ids.
    const std::string idPrefix_;
    std::atomic<std::uint64_t> lastId_ = 0;

    mutable std::mutex mutex_;
    // The thread's wait for news or its next due time; the feed's wake-up
    // cuts it short.
    std::stop_source* wake_ = nullptr;
    bool handling_ = false;
    bool news_ = false;
    struct Unreached {
        int contact = 0;
        std::string alarm;
        std::string detail;
    };
    std::vector<Unreached> unreached_;
    // When the thread looks at the clock again.
    double nextLook_ = 0.0;
    FeedSubscription events_;
    std::jthread thread_;
};

}  // namespace qrv::notify
