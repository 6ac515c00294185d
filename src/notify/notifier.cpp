#include "notify/notifier.h"

#include <algorithm>
#include <random>

#include <fmt/format.h>

#include "acquisition/alarm_evaluation.h"
#include "acquisition/alarm_texts.h"
#include "notify/probe_names.h"
#include "sensors/rom_text.h"

namespace qrv::notify {

namespace {

// The thread looks at the clock at least this often, so a clock set forward
// (the virtual one of the tests, a suspend) is noticed without news.
constexpr double kLongestWait = 3600.0;
// Readings of a probe after a restart by which an alarm taken over that has
// not come back has ended: after the first, the alarm walk has met the
// probe's present value at least once.
constexpr int kReadingsToDecide = 2;

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

// Ids of one start never meet those of another: the start's moment and a
// random number lead them.
std::string IdPrefix(const Clock& clock) {
    std::random_device random;
    const LocalDateTime now = clock.Now();
    return fmt::format("qrv-{:04}{:02}{:02}{:02}{:02}{:02}-{:08x}", now.year, now.month, now.day,
                       now.hour, now.minute, now.second, random());
}

const SensorRecord* RecordOf(const SensorTable& table, const RomCode& rom) {
    const int last = table.GetMax1820Index();
    for (int i = 0; i <= last; ++i) {
        const SensorRecord& record = table.SensorArray[static_cast<std::size_t>(i)];
        if (record.Rom == rom) {
            return &record;
        }
    }
    return nullptr;
}

}  // namespace

Notifier::Notifier(const NotifyConfig& config, const NotifierContext& context)
    : config_(config),
      context_(context),
      webhook_(std::chrono::seconds(config.timeoutSeconds)),
      email_(config.email, std::chrono::seconds(config.timeoutSeconds)),
      sms_(context.sms),
      file_(context.stateFile, config.contacts, context.clock, context.log),
      engine_(config.contacts, config.escalateAfterMinutes, config.remindAfterMinutes,
              config.groupSeconds),
      idPrefix_(IdPrefix(context.clock)),
      events_(context.feed.Subscribe()) {
    for (std::size_t i = 0; i < config_.contacts.size(); ++i) {
        const NotifyContact& contact = config_.contacts[i];
        deliveries_.push_back(std::make_unique<ContactDelivery>(
            contact, ChannelFor(contact.channel, webhook_, email_, sms_), context_.clock,
            context_.log,
            [this, i](const std::vector<QueuedMessage>& queued) {
                file_.SaveQueued(static_cast<int>(i), queued);
            },
            [this, i](const Message& message, const std::string& detail) {
                GivenUp(static_cast<int>(i), message, detail);
            },
            &context_.tally));
    }
    Restore();
    // The probes may be known already; if not, the installation's resume
    // checks.
    if (context_.table.Lock()->GetMax1820Index() >= 0) {
        CheckProbeNames();
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

void Notifier::Restore() {
    CallListState state = file_.Load();
    engine_.Restore(state.alarms);
    const std::vector<std::string> awaiting = engine_.Awaiting();
    for (std::size_t i = 0; i < state.queued.size(); ++i) {
        for (QueuedMessage& job : state.queued[i]) {
            job.held = job.message.kind != NoticeKind::kTest &&
                       std::any_of(job.message.alarms.begin(), job.message.alarms.end(),
                                   [&](const std::string& alarm) {
                                       return std::find(awaiting.begin(), awaiting.end(), alarm) !=
                                              awaiting.end();
                                   });
            deliveries_[i]->Resume(std::move(job));
        }
    }
    if (!awaiting.empty()) {
        context_.log.LogMessageToDisk(fmt::format(
            "Call list: {} alarm(s) standing when the station stopped, told to whom they were; "
            "each goes on or ends with the probe's next readings",
            awaiting.size()));
    }
    file_.SaveAlarms(engine_.Snapshot());
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
            const std::size_t awaiting = engine_.Awaiting().size();
            Handle(event);
            // An alarm taken over that came back (or ended) sends what it kept.
            if (engine_.Awaiting().size() != awaiting) {
                const std::vector<std::string> still = engine_.Awaiting();
                for (const auto& delivery : deliveries_) {
                    delivery->Release([&still](const std::string& alarm) {
                        return std::find(still.begin(), still.end(), alarm) != still.end();
                    });
                }
            }
        }
        CallNextForUnreached(context_.clock.Timer());
        Dispatch(engine_.Advance(context_.clock.Timer(), context_.clock.Now(),
                                 [this](AlarmFacts& facts) { Present(facts); }));
        file_.SaveAlarms(engine_.Snapshot());
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
    const double age = CivilSeconds(context_.clock.Now()) - CivilSeconds(event.time);
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
            DropWhatEnded();
            break;
        }
        case LiveEventKind::kAcknowledged:
            engine_.OnAcknowledged(event.by, now);
            // "Not acknowledged yet" is no longer true.
            for (const auto& delivery : deliveries_) {
                delivery->Drop([](const Message& message) {
                    return message.kind == NoticeKind::kEscalation ||
                           message.kind == NoticeKind::kReminder;
                });
            }
            break;
        case LiveEventKind::kReading:
            HandleReading(event, now);
            break;
        case LiveEventKind::kAcquisitionResumed:
            CheckAwaitingProbes(now);
            CheckProbeNames();
            break;
        case LiveEventKind::kProbeSettingsChanged:
            CheckProbeNames();
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
    // An alarm that ends is always closed, so whoever was told hears of it;
    // one that stands goes on whatever became of the probe's SMS choice.
    if (notifies || event.newAlarm == kAlarmNone || engine_.Find(AlarmKeyOf(facts)) != nullptr) {
        Dispatch(engine_.OnAlarmChanged(facts, now, event.time));
    }
    if (event.newAlarm == kAlarmNone) {
        DropWhatEnded();
    }
}

void Notifier::DropWhatEnded() {
    // The end itself may wait for its group; what it makes untrue goes now.
    for (const auto& delivery : deliveries_) {
        delivery->Drop([this](const Message& message) {
            return message.kind != NoticeKind::kEnded && message.kind != NoticeKind::kTest &&
                   std::none_of(message.alarms.begin(), message.alarms.end(),
                                [this](const std::string& alarm) { return engine_.Stands(alarm); });
        });
    }
}

void Notifier::HandleReading(const LiveEvent& event, double now) {
    const std::string rom = RomToHex(event.rom);
    for (const std::string& key : engine_.Awaiting()) {
        // The unit answers.
        if (key.empty()) {
            EndAwaiting(key, now);
            continue;
        }
        if (key != rom && key != rom + "/time") {
            continue;
        }
        if (++readingsSinceStart_[key] >= kReadingsToDecide && EndedMeanwhile(key)) {
            EndAwaiting(key, now);
        }
    }
}

void Notifier::CheckProbeNames() {
    std::vector<std::string> unknown;
    {
        const auto table = context_.table.Lock();
        unknown = UnknownProbeNames(config_.contacts, *table);
    }
    if (!checkProbeNames_.exchange(false) && unknown == unknownProbeNames_) {
        return;
    }
    for (const std::string& line : unknown) {
        context_.log.LogProblem(line);
    }
    unknownProbeNames_ = std::move(unknown);
}

void Notifier::CheckAwaitingProbes(double now) {
    for (const std::string& key : engine_.Awaiting()) {
        const StandingAlarm* alarm = engine_.Find(key);
        if (key.empty() || alarm == nullptr) {
            continue;
        }
        bool gone = false;
        {
            const auto table = context_.table.Lock();
            const SensorRecord* record = RecordOf(*table, alarm->facts.rom);
            gone = record == nullptr || record->Status == kStatusOff;
        }
        if (gone) {
            EndAwaiting(key, now);
        }
    }
}

bool Notifier::EndedMeanwhile(const std::string& key) const {
    const StandingAlarm* alarm = engine_.Find(key);
    if (alarm == nullptr) {
        return false;
    }
    if (alarm->facts.timeAlarm) {
        return context_.timeAlarms.Standing().count(alarm->facts.rom) == 0;
    }
    const auto table = context_.table.Lock();
    const SensorRecord* record = RecordOf(*table, alarm->facts.rom);
    // A delay counter that runs is an alarm on its way back.
    return record == nullptr ||
           (record->AlarmState == kAlarmNone && record->AlarmDelayCount == 0 &&
            record->TripDelayCount == 0 && record->LostCount <= acquisition::kLostCountLimit);
}

void Notifier::EndAwaiting(const std::string& key, double now) {
    const StandingAlarm* alarm = engine_.Find(key);
    if (alarm == nullptr) {
        return;
    }
    AlarmFacts facts = alarm->facts;
    Present(facts);
    const int taal = context_.settings.Taal();
    std::string line;
    if (facts.unit) {
        line = acquisition::kNetworkBackMessage;
    } else if (facts.timeAlarm) {
        line = acquisition::TimeAlarmMessage(kTimeAlarmEnded, facts.name,
                                             static_cast<int>(std::lround(facts.value)), taal);
    } else {
        SensorRecord record;
        record.Name = facts.name;
        record.SensorType = facts.sensorType;
        record.Units = facts.units;
        record.Value = facts.value;
        line = acquisition::ProbeAlarmMessage(kAlarmEndedMessage, record, taal);
    }
    context_.alarmFile.LogAlarmToDisk(line);
    context_.log.LogMessageToDisk(fmt::format(
        "Call list: the alarm of {} ended while the station was stopped; told to {} contact(s)",
        facts.unit ? "the interface unit" : facts.name, alarm->told.size()));
    facts.state = kAlarmNone;
    Dispatch(engine_.OnAlarmChanged(facts, now, context_.clock.Now()));
    DropWhatEnded();
}

void Notifier::Present(AlarmFacts& facts) const {
    if (facts.unit) {
        return;
    }
    {
        const auto table = context_.table.Lock();
        if (const SensorRecord* record = RecordOf(*table, facts.rom)) {
            AlarmFacts present = FactsOf(*record, facts.state);
            present.timeAlarm = facts.timeAlarm;
            if (facts.state == kAlarmLost || IsErrorValue(record->Value)) {
                present.value = facts.value;
            }
            facts = present;
        }
    }
    if (facts.timeAlarm) {
        const StandingTimeAlarms standing = context_.timeAlarms.Standing();
        if (const auto found = standing.find(facts.rom); found != standing.end()) {
            facts.value = found->second.minutes;
        }
    }
}

void Notifier::GivenUp(int contact, const Message& message, const std::string& detail) {
    LiveEvent event = StationEvent(LiveEventKind::kNoticeGivenUp, context_.clock.Now());
    event.by = config_.contacts.at(static_cast<std::size_t>(contact)).name;
    event.reason = detail;
    context_.feed.Publish(event);
    // Only a call for help goes down the list; a reminder or an end that
    // did not arrive calls nobody new.
    if (message.kind != NoticeKind::kAlarm && message.kind != NoticeKind::kEscalation &&
        message.kind != NoticeKind::kWorse) {
        return;
    }
    std::lock_guard lock(mutex_);
    for (const std::string& alarm : message.alarms) {
        unreached_.push_back({contact, alarm, detail});
    }
    news_ = true;
    if (wake_ != nullptr) {
        wake_->request_stop();
    }
}

void Notifier::CallNextForUnreached(double now) {
    std::vector<Unreached> unreached;
    {
        std::lock_guard lock(mutex_);
        unreached.swap(unreached_);
    }
    for (const Unreached& u : unreached) {
        const NotifyContact& contact = config_.contacts.at(static_cast<std::size_t>(u.contact));
        Dispatch(engine_.OnUnreachable(
            u.alarm, u.contact,
            fmt::format("{} by {}: {}", contact.name, ChannelName(contact.channel), u.detail), now,
            context_.clock.Now()));
    }
}

std::string Notifier::NextId() {
    return fmt::format("{}-{}", idPrefix_, ++lastId_);
}

void Notifier::Dispatch(std::vector<Notice> notices) {
    if (notices.empty()) {
        return;
    }
    if (config_.groupSeconds > 0) {
        notices = GroupedByContact(std::move(notices));
    }
    const int taal = context_.settings.Taal();
    const std::string station = context_.table.Lock()->NetworkName;
    for (Notice& notice : notices) {
        notice.id = NextId();
        const auto index = static_cast<std::size_t>(notice.contact);
        deliveries_.at(index)->Send(
            MessageOf(notice, taal, station, config_.contacts[index].topic, config_.publicUrl));
    }
}

void Notifier::SendTestMessage(int contact) {
    if (contact < 0 || contact >= static_cast<int>(deliveries_.size())) {
        return;
    }
    const auto index = static_cast<std::size_t>(contact);
    const std::string station = context_.table.Lock()->NetworkName;
    Notice notice = TestNotice(contact, context_.clock.Now());
    notice.id = NextId();
    deliveries_[index]->Send(MessageOf(notice, context_.settings.Taal(), station,
                                       config_.contacts[index].topic, config_.publicUrl));
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
