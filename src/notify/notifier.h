#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

#include "acquisition/sms_worker.h"
#include "config/notify_config.h"
#include "feed/live_feed.h"
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
};

// The call list at work: follows the live-event feed on a thread of its own
// (alarm changes, the unit lost and back, acknowledgements), keeps the
// escalation's times on the station's clock and hands each notice to its
// contact's delivery. Nothing that publishes ever waits for it. A probe whose
// SMS choice is off notifies nobody, as it sent no SMS before.
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
    void Dispatch(const std::vector<Notice>& notices);

    const NotifyConfig config_;
    NotifierContext context_;
    WebhookChannel webhook_;
    EmailChannel email_;
    SmsChannel sms_;
    std::vector<std::unique_ptr<ContactDelivery>> deliveries_;
    // Touched by the notifier's thread only.
    EscalationEngine engine_;

    mutable std::mutex mutex_;
    // The thread's wait for news or its next due time; the feed's wake-up
    // cuts it short.
    std::stop_source* wake_ = nullptr;
    bool handling_ = false;
    bool news_ = false;
    // When the thread looks at the clock again.
    double nextLook_ = 0.0;
    FeedSubscription events_;
    std::jthread thread_;
};

}  // namespace qrv::notify
