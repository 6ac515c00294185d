#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>

#include "feed/live_feed.h"
#include "mqtt/mqtt_settings.h"
#include "mqtt/published_station.h"
#include "runtime/clock.h"
#include "runtime/event_log.h"
#include "sensors/shared_sensor_table.h"

struct mosquitto;
struct mosquitto_message;

namespace qrv::mqtt {

// What the broker may ask of the station when commands are on. Each runs on
// the publisher's thread and must only set flags or queue work.
struct MqttCommands {
    // true: mute the audible alarm and the relay, as the alarm button does;
    // false: make it audible again.
    std::function<void(bool mute)> muteAlarm;
    // Hand a test message to the SMS program or the call list's first
    // contact: empty when it went, else why not.
    std::function<std::string()> testSms;
};

// The time alarms that stand now, read whenever the publisher rebuilds what
// it shows of the station. Called on the publisher's thread.
using StandingTimeAlarmSource = std::function<StandingTimeAlarms()>;

// The station's MQTT client on a thread of its own: it takes the live-event
// feed through a bounded queue, keeps the latest state of every probe
// (PublishedStation) and brings the broker up to date whenever it is
// connected. A broker that is down, slow or refusing costs the station
// nothing but this thread's own work: reconnects wait 1, 2, 4 ... up to 60
// seconds of the station's clock, and the program log says once when the
// broker went away and once when it came back.
class MqttPublisher {
  public:
    // The feed's queue for the publisher: a few minutes of events of a full
    // network; when it overflows the table is copied again.
    static constexpr std::size_t kQueueCapacity = 4096;
    // At most one test message in this time, as on the web dashboard: the
    // on-call phone is not a toy for whoever may publish.
    static constexpr double kTestMessagePeriodSeconds = 60.0;

    MqttPublisher(MqttClientSettings settings, LiveFeed& feed, SharedSensorTable& table,
                  StandingTimeAlarmSource timeAlarms, EventLog& log, Clock& clock,
                  MqttCommands commands = {});
    // Publishes "offline" (a clean end sends no last will) and disconnects.
    ~MqttPublisher();
    MqttPublisher(const MqttPublisher&) = delete;
    MqttPublisher& operator=(const MqttPublisher&) = delete;

    // Connected and accepted by the broker.
    bool Connected() const { return connected_; }
    // Messages handed to the broker since the start.
    std::uint64_t Published() const { return published_; }
    // Connection attempts since the start.
    std::uint64_t Attempts() const { return attempts_; }
    // Turns of the thread: one more means it has looked at the clock again.
    std::uint64_t Turns() const { return turns_; }

  private:
    enum class Reported { kNothing, kDown, kRefused };

    void Configure();
    void Run(const std::stop_token& stop);
    void Attempt();
    void AttemptFailed(const std::string& why);
    void Lost(const std::string& why);
    void OnConnect(int result);
    void Accepted();
    void OnMessage(const mosquitto_message& message);
    void Received(const MqttMessage& message);
    void Command(const std::string& name, const std::string& payload, bool retained);
    void TestMessage();
    void LoadOnBroker();
    void KeepOnBroker();
    void RemoveGone();
    std::string RefusalText() const;
    void Handle(const LiveEvent& event);
    void TakeEvents();
    void RefreshFromTable(bool missedEvents = false);
    StandingTimeAlarms TimeAlarms() const;
    void Send(const std::vector<MqttMessage>& messages);
    void Farewell();

    // Why a call failed, in words that name the cause.
    std::string WhyOf(int result) const;

    static void ConnectCallback(mosquitto* client, void* self, int result);
    static void LogCallback(mosquitto* client, void* self, int level, const char* text);
    static void MessageCallback(mosquitto* client, void* self, const mosquitto_message* message);

    MqttClientSettings settings_;
    SharedSensorTable& table_;
    StandingTimeAlarmSource timeAlarms_;
    EventLog& log_;
    Clock& clock_;
    MqttCommands commands_;
    FeedSubscription events_;
    PublishedStation station_;
    std::unique_ptr<mosquitto, void (*)(mosquitto*)> client_;

    // The thread's own state.
    bool linked_ = false;
    // Noted by the callbacks, acted on after the loop.
    bool accepted_ = false;
    std::vector<MqttMessage> incoming_;
    bool everConnected_ = false;
    int refusal_ = 0;
    // What OpenSSL last said went wrong (libmosquitto's log is where it says so).
    std::string tlsProblem_;
    Reported reported_ = Reported::kNothing;
    // The retained topics this station has put on the broker, as the file
    // of settings_.retainedFile keeps them across restarts.
    std::set<std::string> onBroker_;
    bool retainedFileFailed_ = false;
    // The table holds the station's probes (it did at the start, or
    // acquisition has run since): what is not in it has gone.
    bool tableKnown_ = false;
    std::optional<double> lastTestMessage_;
    double attemptTime_ = 0.0;
    double nextAttempt_ = 0.0;
    double wait_ = 1.0;

    std::atomic<bool> connected_{false};
    std::atomic<std::uint64_t> published_{0};
    std::atomic<std::uint64_t> attempts_{0};
    std::atomic<std::uint64_t> turns_{0};
    std::jthread thread_;
};

}  // namespace qrv::mqtt
