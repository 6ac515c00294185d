#include "notify/notifier.h"

#include <algorithm>

#include "runtime/calendar.h"

#include "sensors/rom_text.h"

namespace qrv::notify {

namespace {

// The thread looks at the clock at least this often, so a clock set forward
// (the virtual one of the tests, a suspend) is noticed without news.
constexpr double kLongestWait = 3600.0;

Channel& ChannelFor(NotifyChannel channel, WebhookChannel& webhook, EmailChannel& email,
                    SmsChannel& sms) {
    switch (channel) {
        case NotifyChannel::kWebhook:
            return webhook;
        case NotifyChannel::kEmail:
            return email;
        case NotifyChannel::kSms:
            break;
    }
    return sms;
}

double SecondsOf(const LocalDateTime& when) {
    const auto day = CivilDay(when.year, when.month, when.day).time_since_epoch();
    return std::chrono::duration<double>(day).count() + when.hour * 3600.0 + when.minute * 60.0 +
           when.second + when.millisecond / 1000.0;
}

}  // namespace

Notifier::Notifier(const NotifyConfig& config, const NotifierContext& context)
    : config_(config),
      context_(context),
      webhook_(std::chrono::seconds(config.timeoutSeconds)),
      email_(config.email, std::chrono::seconds(config.timeoutSeconds)),
      sms_(context.sms),
      engine_(config.contacts, config.escalateAfterMinutes, config.remindAfterMinutes),
      events_(context.feed.Subscribe()) {
    for (const NotifyContact& contact : config_.contacts) {
        deliveries_.push_back(std::make_unique<ContactDelivery>(
            contact, ChannelFor(contact.channel, webhook_, email_, sms_), context_.clock,
            context_.log));
    }
    events_.SetWakeUp([this] {
        std::lock_guard lock(mutex_);
        news_ = true;
        if (wake_ != nullptr) {
            wake_->request_stop();
        }
    });
    thread_ = std::jthread([this](const std::stop_token& stop) { Run(stop); });
}

Notifier::~Notifier() {
    events_.Close();
    thread_.request_stop();
    thread_.join();
    deliveries_.clear();
}

void Notifier::Run(const std::stop_token& stop) {
    while (!stop.stop_requested()) {
        {
            std::lock_guard lock(mutex_);
            handling_ = true;
            news_ = false;
        }
        const FeedBatch batch = events_.Drain();
        for (const LiveEvent& event : batch.events) {
            Handle(event);
        }
        Dispatch(engine_.Advance(context_.clock.Timer(), context_.clock.Now()));
        const double deadline = std::min(engine_.NextDue(), context_.clock.Timer() + kLongestWait);
        std::stop_source wake;
        {
            std::lock_guard lock(mutex_);
            handling_ = false;
            if (news_) {
                continue;
            }
            nextLook_ = deadline;
            wake_ = &wake;
        }
        {
            const std::stop_callback onStop(stop, [&wake] { wake.request_stop(); });
            context_.clock.SleepUntil(deadline, wake.get_token());
        }
        std::lock_guard lock(mutex_);
        wake_ = nullptr;
    }
}

void Notifier::Handle(const LiveEvent& event) {
    // The event's own moment on the monotonic clock: the thread may take it
    // up later, and an alarm's duration runs from when it came.
    const double age = SecondsOf(context_.clock.Now()) - SecondsOf(event.time);
    const double now = context_.clock.Timer() - std::clamp(age, 0.0, kLongestWait);
    switch (event.kind) {
        case LiveEventKind::kAlarmChanged:
        case LiveEventKind::kTimeAlarmChanged:
            HandleProbeAlarm(event, now);
            break;
        case LiveEventKind::kNetworkLost:
        case LiveEventKind::kNetworkBack: {
            AlarmFacts facts;
            facts.unit = true;
            facts.state = event.kind == LiveEventKind::kNetworkLost ? kUnitLost : kAlarmNone;
            Dispatch(engine_.OnAlarmChanged(facts, now, event.time));
            break;
        }
        case LiveEventKind::kAcknowledged:
            engine_.OnAcknowledged(event.by, now);
            break;
        default:
            break;
    }
}

void Notifier::HandleProbeAlarm(const LiveEvent& event, double now) {
    AlarmFacts facts;
    bool notifies = true;
    {
        const auto table = context_.table.Lock();
        const int last = table->GetMax1820Index();
        if (event.index >= 0 && event.index <= last &&
            table->SensorArray[static_cast<std::size_t>(event.index)].Rom == event.rom) {
            const SensorRecord& record = table->SensorArray[static_cast<std::size_t>(event.index)];
            facts = FactsOf(record, event.newAlarm);
            notifies = record.SmsEnable != 0;
        }
    }
    facts.timeAlarm = event.kind == LiveEventKind::kTimeAlarmChanged;
    facts.rom = event.rom;
    facts.name = event.name;
    facts.value = event.value;
    facts.state = event.newAlarm;
    // An alarm that ends is always closed, so whoever was told hears of it.
    if (notifies || event.newAlarm == kAlarmNone) {
        Dispatch(engine_.OnAlarmChanged(facts, now, event.time));
    }
}

void Notifier::Dispatch(const std::vector<Notice>& notices) {
    if (notices.empty()) {
        return;
    }
    const int taal = context_.settings.Taal();
    const std::string station = context_.table.Lock()->NetworkName;
    for (const Notice& notice : notices) {
        const auto index = static_cast<std::size_t>(notice.contact);
        deliveries_.at(index)->Send(
            MessageOf(notice, taal, station, config_.contacts[index].topic));
    }
}

void Notifier::SendTestMessage(int contact) {
    if (contact < 0 || contact >= static_cast<int>(deliveries_.size())) {
        return;
    }
    const auto index = static_cast<std::size_t>(contact);
    const std::string station = context_.table.Lock()->NetworkName;
    deliveries_[index]->Send(MessageOf(TestNotice(contact, context_.clock.Now()),
                                       context_.settings.Taal(), station,
                                       config_.contacts[index].topic));
}

double Notifier::NextDue() const {
    double earliest = 0.0;
    {
        std::lock_guard lock(mutex_);
        earliest = nextLook_;
    }
    for (const auto& delivery : deliveries_) {
        earliest = std::min(earliest, delivery->NextDue());
    }
    return earliest;
}

bool Notifier::Idle() const {
    {
        std::lock_guard lock(mutex_);
        if (handling_ || news_ || nextLook_ <= context_.clock.Timer()) {
            return false;
        }
    }
    return std::all_of(deliveries_.begin(), deliveries_.end(),
                       [](const auto& delivery) { return delivery->Idle(); });
}

}  // namespace qrv::notify
