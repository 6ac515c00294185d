#include "mqtt/mqtt_publisher.h"

#include <fmt/format.h>
#include <mosquitto.h>
#include <mqtt_protocol.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string_view>

#include "mqtt/mqtt_commands.h"
#include "mqtt/retained_topics_file.h"

namespace qrv::mqtt {

namespace {

// How long one turn of the thread waits for the socket or the feed: the
// longest a reading waits before it goes out.
constexpr int kTurnMilliseconds = 20;
constexpr double kLongestWait = 60.0;
// A broker that takes the connection but does not answer it is as good as
// none; libmosquitto itself would wait for ever.
constexpr double kAnswerWait = 30.0;
constexpr int kQos = 1;

// The CONNACK codes of a refused user name or password (MQTT 3.1.1 and 5).
bool IsCredentialRefusal(int code) {
    return code == 4 || code == 5 || code == 134 || code == 135;
}

// A broker of MQTT 3.1.1 or older answers an MQTT 5 connection so.
bool IsProtocolRefusal(int code) {
    return code == 1 || code == 132;
}

struct LibraryUse {
    LibraryUse() { mosquitto_lib_init(); }
};

mosquitto* NewClient(const MqttClientSettings& settings, void* self) {
    static const LibraryUse library;
    return mosquitto_new(settings.clientId.c_str(), true, self);
}

}  // namespace

MqttPublisher::MqttPublisher(MqttClientSettings settings, LiveFeed& feed, SharedSensorTable& table,
                             StandingTimeAlarmSource timeAlarms, EventLog& log, Clock& clock,
                             MqttCommands commands)
    : settings_(std::move(settings)),
      table_(table),
      timeAlarms_(std::move(timeAlarms)),
      log_(log),
      clock_(clock),
      commands_(std::move(commands)),
      // Subscribed before the thread copies the table: nothing falls between.
      events_(feed.Subscribe(kQueueCapacity)),
      station_(settings_.identity),
      client_(NewClient(settings_, this), mosquitto_destroy) {
    thread_ = std::jthread([this](const std::stop_token& stop) { Run(stop); });
}

MqttPublisher::~MqttPublisher() {
    thread_.request_stop();
    events_.Close();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void MqttPublisher::Configure() {
    mosquitto* client = client_.get();
    // Commands need MQTT 5: only its retain-as-published subscriptions tell
    // a retained command the broker passes on live from a fresh one. The
    // last will and the publications are the same in both.
    if (settings_.commands) {
        mosquitto_int_option(client, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
    }
    const std::string status = settings_.identity.StatusTopic();
    mosquitto_will_set(client, status.c_str(), 7, "offline", kQos, true);
    if (!settings_.user.empty()) {
        mosquitto_username_pw_set(
            client, settings_.user.c_str(),
            settings_.password.empty() ? nullptr : settings_.password.c_str());
    }
    if (settings_.tls) {
        const std::string caFile = settings_.caFile.string();
        const int result =
            caFile.empty()
                ? mosquitto_tls_set(client, nullptr, "/etc/ssl/certs", nullptr, nullptr, nullptr)
                : mosquitto_tls_set(client, caFile.c_str(), nullptr, nullptr, nullptr, nullptr);
        if (result != MOSQ_ERR_SUCCESS && reported_ == Reported::kNothing) {
            log_.LogMessageToDisk("MQTT: the certificate authority " + caFile +
                                  " cannot be used (" + WhyOf(result) + ")");
        }
    }
    mosquitto_connect_callback_set(client, ConnectCallback);
    mosquitto_log_callback_set(client, LogCallback);
    mosquitto_message_callback_set(client, MessageCallback);
}

std::string MqttPublisher::WhyOf(int result) const {
    switch (result) {
        case MOSQ_ERR_ERRNO:
            // libmosquitto's own text for it is errno's text already.
            return std::strerror(errno);
        case MOSQ_ERR_KEEPALIVE:
            return fmt::format("it did not answer within the keepalive time of {} s",
                               settings_.keepaliveSeconds);
        case MOSQ_ERR_TLS:
        case MOSQ_ERR_TLS_HANDSHAKE:
            if (tlsProblem_.find("certificate verify failed") != std::string::npos) {
                return fmt::format(
                    "the certificate of {} did not pass the check: it is not signed by the "
                    "certificate authority in use{} or not made out to that name",
                    settings_.host,
                    settings_.caFile.empty() ? "" : " (" + settings_.caFile.string() + ")");
            }
            return fmt::format("TLS with {} failed: {}", settings_.host,
                               tlsProblem_.empty() ? mosquitto_strerror(result) : tlsProblem_);
        default:
            return fmt::format("{} (libmosquitto error {})", mosquitto_strerror(result), result);
    }
}

void MqttPublisher::LogCallback(mosquitto* /*client*/, void* self, int /*level*/,
                                const char* text) {
    // "OpenSSL Error[0]: error:0A000086:SSL routines::certificate verify failed"
    const std::string_view line = text != nullptr ? text : "";
    if (line.starts_with("OpenSSL Error")) {
        const std::size_t reason = line.rfind(':');
        static_cast<MqttPublisher*>(self)->tlsProblem_ =
            std::string(reason == std::string_view::npos ? line : line.substr(reason + 1));
    }
}

void MqttPublisher::ConnectCallback(mosquitto* /*client*/, void* self, int result) {
    static_cast<MqttPublisher*>(self)->OnConnect(result);
}

void MqttPublisher::MessageCallback(mosquitto* /*client*/, void* self,
                                    const mosquitto_message* message) {
    static_cast<MqttPublisher*>(self)->OnMessage(*message);
}

std::string MqttPublisher::RefusalText() const {
    // MQTT 5's reason codes start at 128; below are 3.1.1's CONNACK codes.
    return refusal_ >= 128 ? mosquitto_reason_string(refusal_) : mosquitto_connack_string(refusal_);
}

void MqttPublisher::Run(const std::stop_token& stop) {
    LoadOnBroker();
    // A station starting links before it has read its probe file: until
    // acquisition runs, an empty table says nothing of which probes are gone.
    tableKnown_ = table_.Lock()->GetMax1820Index() >= 0;
    RefreshFromTable();
    nextAttempt_ = clock_.Timer();
    while (!stop.stop_requested()) {
        if (!linked_ && clock_.Timer() >= nextAttempt_) {
            Attempt();
        }
        if (linked_ && !connected_ && clock_.Timer() - attemptTime_ > kAnswerWait) {
            AttemptFailed("no answer to the connection");
        }
        if (linked_) {
            const int result = mosquitto_loop(client_.get(), kTurnMilliseconds, 1);
            if (accepted_) {
                Accepted();
            }
            std::vector<MqttMessage> incoming;
            incoming.swap(incoming_);
            for (const MqttMessage& message : incoming) {
                Received(message);
            }
            if (result != MOSQ_ERR_SUCCESS) {
                Lost(WhyOf(result));
            }
        } else if (const auto event =
                       events_.WaitFor(std::chrono::milliseconds(kTurnMilliseconds))) {
            Handle(*event);
        }
        TakeEvents();
        ++turns_;
    }
    Farewell();
}

void MqttPublisher::Attempt() {
    refusal_ = 0;
    tlsProblem_.clear();
    // The time first: whoever sees the count grow may move the clock on, and
    // the wait for an answer must count from before that.
    attemptTime_ = clock_.Timer();
    ++attempts_;
    // A fresh client each time: libmosquitto would otherwise send the
    // messages it still held from the lost connection after the new state,
    // and an old value would win on the broker.
    mosquitto_reinitialise(client_.get(), settings_.clientId.c_str(), true, this);
    Configure();
    const int result = mosquitto_connect_async(client_.get(), settings_.host.c_str(),
                                               settings_.port, settings_.keepaliveSeconds);
    if (result != MOSQ_ERR_SUCCESS) {
        AttemptFailed(WhyOf(result));
        return;
    }
    linked_ = true;
}

void MqttPublisher::AttemptFailed(const std::string& why) {
    linked_ = false;
    if (IsCredentialRefusal(refusal_)) {
        if (reported_ != Reported::kRefused) {
            log_.LogMessageToDisk("MQTT: broker " + settings_.BrokerName() +
                                  " refused the user name or password (" + RefusalText() +
                                  "); trying again once a minute");
            reported_ = Reported::kRefused;
        }
        wait_ = kLongestWait;
    } else if (reported_ == Reported::kNothing) {
        const bool protocol = settings_.commands && IsProtocolRefusal(refusal_);
        log_.LogMessageToDisk(
            "MQTT: broker " + settings_.BrokerName() + " cannot be reached (" +
            (refusal_ != 0 ? RefusalText() : why) + ")" +
            (protocol ? "; commands need a broker that speaks MQTT 5 (mosquitto 1.6 or later)"
                      : "") +
            "; trying again with waits of up to a minute");
        reported_ = Reported::kDown;
    }
    // Counted from the attempt's start: a slow refusal is no reason to try less often.
    nextAttempt_ = attemptTime_ + wait_;
    wait_ = std::min(wait_ * 2.0, kLongestWait);
}

void MqttPublisher::Lost(const std::string& why) {
    if (!connected_) {
        AttemptFailed(why);
        return;
    }
    // Logged before the state flips, so whoever sees the link down finds the reason written.
    log_.LogMessageToDisk("MQTT: broker " + settings_.BrokerName() + " went away (" + why +
                          "); the latest state of every probe is kept until it answers again");
    connected_ = false;
    linked_ = false;
    reported_ = Reported::kDown;
    wait_ = 1.0;
    nextAttempt_ = clock_.Timer() + wait_;
    wait_ *= 2.0;
}

// libmosquitto holds its own locks while it calls back; publishing from
// there takes them in another order, so the callbacks only note what came
// and Run() acts on it after the loop.
void MqttPublisher::OnConnect(int result) {
    if (result != 0) {
        refusal_ = result;
        return;
    }
    accepted_ = true;
}

void MqttPublisher::Accepted() {
    accepted_ = false;
    if (!everConnected_) {
        log_.LogMessageToDisk("MQTT: connected to broker " + settings_.BrokerName() +
                              " as station " + settings_.identity.stationId);
    } else if (reported_ != Reported::kNothing) {
        log_.LogMessageToDisk("MQTT: broker " + settings_.BrokerName() +
                              " is back; the station's state is published again");
    }
    everConnected_ = true;
    reported_ = Reported::kNothing;
    wait_ = 1.0;
    connected_ = true;
    mosquitto* client = client_.get();
    if (!settings_.identity.discoveryPrefix.empty()) {
        mosquitto_subscribe(client, nullptr, settings_.identity.HomeAssistantStatusTopic().c_str(),
                            kQos);
    }
    if (settings_.commands) {
        mosquitto_subscribe_v5(client, nullptr, settings_.identity.CommandTopic("+").c_str(), kQos,
                               MQTT_SUB_OPT_RETAIN_AS_PUBLISHED, nullptr);
    }
    Send({{settings_.identity.StatusTopic(), "online", true}});
    Send(station_.Everything());
    if (tableKnown_) {
        RemoveGone();
    }
}

// What an earlier run put on the broker for probes that have gone since
// (deleted or switched off while the station was stopped, or under a
// station id or prefix no longer used) would stay there for good.
void MqttPublisher::RemoveGone() {
    std::set<std::string> current;
    for (const MqttMessage& message : station_.Everything()) {
        if (!message.payload.empty()) {
            current.insert(message.topic);
        }
    }
    std::vector<MqttMessage> removals;
    for (const std::string& topic : onBroker_) {
        if (!current.contains(topic)) {
            removals.push_back({topic, "", true});
        }
    }
    if (removals.empty()) {
        return;
    }
    Send(removals);
    log_.LogMessageToDisk(
        fmt::format("MQTT: {} retained topics of probes that are no longer on the station removed",
                    removals.size()));
}

void MqttPublisher::OnMessage(const mosquitto_message& message) {
    incoming_.push_back({message.topic != nullptr ? message.topic : "",
                         std::string(static_cast<const char*>(message.payload),
                                     static_cast<std::size_t>(std::max(message.payloadlen, 0))),
                         message.retain});
}

void MqttPublisher::Received(const MqttMessage& message) {
    const std::string& topic = message.topic;
    const std::string& payload = message.payload;
    if (topic == settings_.identity.HomeAssistantStatusTopic()) {
        if (payload == "online") {
            Send(station_.Discovery());
        }
        return;
    }
    const std::string commandPrefix = settings_.identity.CommandTopic("");
    if (settings_.commands && topic.starts_with(commandPrefix)) {
        Command(topic.substr(commandPrefix.size()), payload, message.retained);
    }
}

// The station's own commands write their lines (who, via); only what is
// not obeyed is this front end's to tell.
void MqttPublisher::Command(const std::string& name, const std::string& payload, bool retained) {
    const CommandDecision decision = DecideCommand(name, payload, retained);
    switch (decision.kind) {
        case CommandDecision::Kind::kMute:
        case CommandDecision::Kind::kUnmute:
            if (commands_.muteAlarm) {
                commands_.muteAlarm(decision.kind == CommandDecision::Kind::kMute);
            }
            return;
        case CommandDecision::Kind::kTestMessage:
            TestMessage();
            return;
        case CommandDecision::Kind::kNothing:
            return;
        case CommandDecision::Kind::kRefused:
            log_.LogMessageToDisk("MQTT command refused: " + decision.why);
            return;
    }
}

void MqttPublisher::TestMessage() {
    const double now = clock_.Timer();
    if (lastTestMessage_ && now - *lastTestMessage_ < kTestMessagePeriodSeconds) {
        log_.LogMessageToDisk(fmt::format(
            "MQTT command refused: one test message a minute; the last went {:.0f} s ago",
            std::max(0.0, now - *lastTestMessage_)));
        return;
    }
    if (!commands_.testSms) {
        return;
    }
    const std::string problem = commands_.testSms();
    if (!problem.empty()) {
        log_.LogMessageToDisk("MQTT test message not sent: " + problem);
        return;
    }
    lastTestMessage_ = now;
}

void MqttPublisher::Handle(const LiveEvent& event) {
    if (event.kind == LiveEventKind::kReading && station_.TimeAlarmStands(event.rom)) {
        station_.TakeTimeAlarmMinutes(TimeAlarms());
    }
    const std::vector<MqttMessage> messages = station_.Apply(event);
    if (station_.NeedsTable() || AsksForAFreshTable(event.kind)) {
        RefreshFromTable();
    }
    Send(messages);
    if (event.kind == LiveEventKind::kAcquisitionResumed && !tableKnown_) {
        tableKnown_ = true;
        if (connected_) {
            RemoveGone();
        }
    }
}

void MqttPublisher::TakeEvents() {
    FeedBatch batch = events_.Drain();
    if (batch.dropped > 0) {
        RefreshFromTable(true);
    }
    for (const LiveEvent& event : batch.events) {
        Handle(event);
    }
}

void MqttPublisher::RefreshFromTable(bool missedEvents) {
    const SensorTable copy = table_.Copy();
    Send(station_.Refresh(copy, TimeAlarms(), clock_.Now(), missedEvents));
}

StandingTimeAlarms MqttPublisher::TimeAlarms() const {
    return timeAlarms_ ? timeAlarms_() : StandingTimeAlarms{};
}

void MqttPublisher::LoadOnBroker() {
    if (settings_.retainedFile.empty()) {
        return;
    }
    RetainedTopicsRead read = ReadRetainedTopics(settings_.retainedFile);
    if (!read.problem.empty()) {
        log_.LogMessageToDisk(read.problem);
    }
    onBroker_ = std::move(read.topics);
}

void MqttPublisher::KeepOnBroker() {
    if (!settings_.retainedFile.empty() &&
        !WriteRetainedTopics(settings_.retainedFile, onBroker_) && !retainedFileFailed_) {
        log_.LogMessageToDisk("MQTT: " + settings_.retainedFile.string() +
                              " cannot be written; entities of probes removed while the station "
                              "is stopped may stay in Home Assistant");
        retainedFileFailed_ = true;
    }
}

void MqttPublisher::Send(const std::vector<MqttMessage>& messages) {
    if (!connected_) {
        return;
    }
    // A topic is in the file before anything is retained on it, and leaves
    // it once its removal is handed to the connection: a stop in between
    // leaves at most a removal to repeat, not a ghost.
    const std::string status = settings_.identity.StatusTopic();
    bool grown = false;
    for (const MqttMessage& message : messages) {
        if (message.retained && !message.payload.empty() && message.topic != status) {
            grown = onBroker_.insert(message.topic).second || grown;
        }
    }
    if (grown) {
        KeepOnBroker();
    }
    bool shrunk = false;
    for (const MqttMessage& message : messages) {
        const int result = mosquitto_publish(client_.get(), nullptr, message.topic.c_str(),
                                             static_cast<int>(message.payload.size()),
                                             message.payload.data(), kQos, message.retained);
        if (result == MOSQ_ERR_SUCCESS) {
            ++published_;
            if (message.retained && message.payload.empty()) {
                shrunk = onBroker_.erase(message.topic) > 0 || shrunk;
            }
        }
    }
    if (shrunk) {
        KeepOnBroker();
    }
}

void MqttPublisher::Farewell() {
    if (connected_) {
        Send({{settings_.identity.StatusTopic(), "offline", true}});
        // Lets the queued messages go out, for at most a second.
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        while (mosquitto_want_write(client_.get()) && std::chrono::steady_clock::now() < end) {
            if (mosquitto_loop(client_.get(), kTurnMilliseconds, 1) != MOSQ_ERR_SUCCESS) {
                break;
            }
        }
        mosquitto_disconnect(client_.get());
        mosquitto_loop(client_.get(), kTurnMilliseconds, 1);
        connected_ = false;
    }
}

}  // namespace qrv::mqtt
