// The publisher against a real mosquitto: what arrives, in which order, and
// what a broker that goes away, refuses or wants TLS does to the station.
// The station runs on virtual time on the test's thread; the publisher's
// thread and the broker run for real. Also run under ThreadSanitizer in CI.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <nlohmann/json.hpp>
#include <set>

#include "app/live_station.h"
#include "ha_schema.h"
#include "mqtt/mqtt_publisher.h"
#include "mqtt/mqtt_settings.h"
#include "records/time_alarm.h"
#include "runtime/text_file.h"
#include "sensors/rom_text.h"
#include "support/recording_log.h"
#include "test_broker.h"

namespace qrv::testing {
namespace {

using nlohmann::json;
using namespace std::chrono_literals;

constexpr LocalDateTime kStart{2026, 3, 9, 14, 0, 30, 0};
// A value and an alarm entity per probe, a time alarm for each of the two
// temperatures and the station's alarm.
constexpr int kConfigs = 3 * 2 + 2 + 1;

int CountIn(const std::vector<std::string>& lines, const std::string& text) {
    return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) {
        return l.find(text) != std::string::npos;
    }));
}

bool Has(const std::vector<Received>& messages, const std::string& topic,
         const std::string& part = "") {
    return std::any_of(messages.begin(), messages.end(), [&](const Received& m) {
        return m.topic == topic && m.payload.find(part) != std::string::npos;
    });
}

// The time alarm of the latest state on topic; absent before the first one.
std::optional<json> LatestTimeAlarm(const std::vector<Received>& messages,
                                    const std::string& topic) {
    for (auto it = messages.rbegin(); it != messages.rend(); ++it) {
        if (it->topic == topic) {
            return json::parse(it->payload).value("time_alarm", json("absent"));
        }
    }
    return std::nullopt;
}

// What the broker passes on, as the station's commands see it.
struct CommandCounts {
    std::atomic<int> mutes = 0;
    std::atomic<int> unmutes = 0;
    std::atomic<int> tests = 0;

    mqtt::MqttCommands Commands() {
        return {[this](bool mute) { ++(mute ? mutes : unmutes); },
                [this] {
                    ++tests;
                    return std::string();
                }};
    }
};

class BrokerTest : public ::testing::Test, protected LiveStation {
  protected:
    BrokerTest() : LiveStation(kThreeProbeNetwork, kStart) {
        AddProbe(1, 0, "Cold room");
        office = AddProbe(1, 1, "B\u00FCro");
        AddProbe(1, 2, "Door");
        SystemSettings everyMinute = state.settings;
        everyMinute.KeuzeSampleTime = 1;
        state.settingsOwner.Replace(everyMinute);
    }
    ~BrokerTest() override {
        publisher.reset();
        monitoring.DiscardAsyncNetworkTimer();
    }

    mqtt::StandingTimeAlarmSource TimeAlarmSource() {
        return [this] { return monitoring.Acquisition().Alarms().TimeAlarms().Standing(); };
    }

    mqtt::MqttClientSettings Settings(int port, const std::string& station = "s1") {
        mqtt::MqttClientSettings settings;
        settings.host = "127.0.0.1";
        settings.port = port;
        settings.clientId = "test-" + station;
        settings.identity = {"quorvanel", station, "homeassistant", "3.03"};
        return settings;
    }

    void Publish(mqtt::MqttClientSettings settings, mqtt::MqttCommands commands = {}) {
        publisher = std::make_unique<mqtt::MqttPublisher>(std::move(settings), monitoring.Feed(),
                                                          state.sensors, TimeAlarmSource(), mqttLog,
                                                          clock, std::move(commands));
    }

    // A session that obeys commands, connected and announced online.
    void PublishWithCommands(int port, Watcher& watcher, CommandCounts& counts) {
        mqtt::MqttClientSettings settings = Settings(port);
        settings.commands = true;
        Publish(settings, counts.Commands());
        ASSERT_TRUE(Eventually([&] { return publisher->Connected(); }));
        ASSERT_TRUE(
            watcher.WaitFor([](auto& m) { return Has(m, "quorvanel/s1/status", "online"); }));
    }

    // The office alarms, without delay, as soon as it reads above 30.
    void AlarmTheOfficeAboveThirty() {
        auto table = state.sensors.Lock();
        SensorRecord& record = table->SensorArray[static_cast<std::size_t>(office)];
        record.AlarmHigh = 30;
        record.AlarmDelay = 0;
    }

    std::string StateTopic(int index, const std::string& station = "s1") {
        return "quorvanel/" + station + "/probe/" + RomToHex(Probe(index).Rom) + "/state";
    }

    // Moves virtual time on until the publisher's thread has seen it.
    void AdvanceAndLetThePublisherSee(double seconds) {
        clock.Advance(seconds);
        const std::uint64_t turns = publisher->Turns();
        ASSERT_TRUE(Eventually([&] { return publisher->Turns() >= turns + 2; }));
    }

    int office = 0;
    RecordingLog mqttLog;
    std::unique_ptr<mqtt::MqttPublisher> publisher;
};

TEST_F(BrokerTest, ReadingsAndAlarmChangesArriveInOrderWithTheirPayloads) {
    TestBroker broker;
    broker.Start();
    Watcher watcher(broker.Port());
    AlarmTheOfficeAboveThirty();
    FeedSubscription readings = monitoring.Feed().Subscribe(10000);
    Publish(Settings(broker.Port()));
    ASSERT_TRUE(Eventually([&] { return publisher->Connected(); }));
    Install();
    RunFor(180);

    std::vector<LiveEvent> events = readings.Drain().events;
    const auto last = std::find_if(events.rbegin(), events.rend(), [&](const LiveEvent& e) {
        return e.kind == LiveEventKind::kAlarmChanged;
    });
    ASSERT_NE(last, events.rend()) << "the office never went into alarm";
    const std::string alarmTopic = "quorvanel/s1/probe/" + RomToHex(last->rom) + "/alarm";
    ASSERT_TRUE(watcher.WaitFor([&](auto& m) { return Has(m, alarmTopic, "High Alarm"); }));
    const LiveEvent lastReading = *std::find_if(
        events.rbegin(), events.rend(), [](auto& e) { return e.kind == LiveEventKind::kReading; });
    ASSERT_TRUE(watcher.WaitFor([&](auto& m) {
        return Has(m, "quorvanel/s1/probe/" + RomToHex(lastReading.rom) + "/state",
                   "\"time\":\"" + mqtt::IsoTime(lastReading.time) + "\"");
    }));

    // Every reading and alarm change, in the feed's order, each with its payload.
    const std::vector<Received> received = watcher.Messages();
    std::size_t at = 0;
    int readingsSeen = 0;
    for (const LiveEvent& event : events) {
        if (event.kind != LiveEventKind::kReading && event.kind != LiveEventKind::kAlarmChanged) {
            continue;
        }
        const std::string probe = "quorvanel/s1/probe/" + RomToHex(event.rom);
        const std::string topic =
            probe + (event.kind == LiveEventKind::kReading ? "/state" : "/alarm");
        while (at < received.size()) {
            const Received& m = received[at++];
            if (m.topic != topic) {
                continue;
            }
            const json payload = json::parse(m.payload);
            if (event.kind == LiveEventKind::kAlarmChanged) {
                EXPECT_EQ(payload["code"], event.newAlarm);
                EXPECT_EQ(payload["previous_code"], event.oldAlarm);
                EXPECT_EQ(payload["state"], "High Alarm");
                break;
            }
            if (payload["time"] == mqtt::IsoTime(event.time)) {
                EXPECT_NEAR(payload["value"].get<double>(), event.value, 0.001);
                EXPECT_EQ(payload["name"], event.name);
                ++readingsSeen;
                break;
            }
        }
    }
    // About one reading every two seconds for three minutes.
    EXPECT_GE(readingsSeen, 80);
    const int expected = static_cast<int>(std::count_if(
        events.begin(), events.end(), [](auto& e) { return e.kind == LiveEventKind::kReading; }));
    EXPECT_EQ(readingsSeen, expected) << "a reading is missing or out of order";
    const json office = json::parse(*watcher.Latest(StateTopic(this->office)));
    EXPECT_EQ(office["name"], "B\u00FCro");
    EXPECT_EQ(office["unit"], "\u00B0C");
    EXPECT_EQ(office["alarm"], "High Alarm");
    EXPECT_EQ(watcher.Latest("quorvanel/s1/alarm"), "ON");
    EXPECT_TRUE(Has(received, "quorvanel/s1/event", "\"event\":\"stored\""));

    // The configs on the broker have what Home Assistant documents.
    int configs = 0;
    for (const Received& m : received) {
        if (!m.topic.starts_with("homeassistant/") || m.payload.empty()) {
            continue;
        }
        ++configs;
        const json config = json::parse(m.payload);
        const std::string component = m.topic.substr(14, m.topic.find('/', 14) - 14);
        ExpectEntityBasics(config, component, "quorvanel/s1/status");
        ASSERT_TRUE(Has(received, config["state_topic"])) << "no state for " << m.topic;
        if (m.topic.ends_with("_temperature/config")) {
            ExpectValueEntity(config, "temperature", 6);
        } else if (m.topic.ends_with("_contact/config")) {
            ExpectValueEntity(config, "door", 6);
        }
    }
    EXPECT_EQ(configs, kConfigs);
    // The attributes stay as they were through every reading and the alarm.
    const std::string attributes =
        "quorvanel/s1/probe/" + RomToHex(Probe(this->office).Rom) + "/attributes";
    EXPECT_EQ(std::count_if(received.begin(), received.end(),
                            [&](const Received& m) { return m.topic == attributes; }),
              1);
    EXPECT_FALSE(json::parse(*watcher.Latest(attributes)).contains("time"));
    EXPECT_EQ(watcher.Latest("quorvanel/s1/status"), "online");
    publisher.reset();
    EXPECT_TRUE(watcher.WaitFor([](auto& m) { return Has(m, "quorvanel/s1/status", "offline"); }));
}

TEST_F(BrokerTest, TheTimeAlarmIsPublishedFromWhereItStandsUntilItEnds) {
    TestBroker broker;
    broker.Start();
    Watcher watcher(broker.Port());
    AlarmTheOfficeAboveThirty();
    const RomCode rom = Probe(office).Rom;
    records::TimeAlarmBook book;
    book.Set({rom, 1, std::nullopt});
    ASSERT_TRUE(records::WriteTimeAlarmFile(
        state.paths.CurrentDirName / records::kTimeAlarmFileName, book));
    Publish(Settings(broker.Port()));
    ASSERT_TRUE(Eventually([&] { return publisher->Connected(); }));
    Install();
    // Above 30 °C from two minutes on: more than a minute of it by four.
    RunFor(300);
    const StandingTimeAlarms standing = monitoring.Acquisition().Alarms().TimeAlarms().Standing();
    ASSERT_EQ(standing.count(rom), 1u) << "the office's time alarm never rose";
    ASSERT_EQ(standing.at(rom).side, kTimeAlarmHigh);

    const std::string officeState = StateTopic(office);
    ASSERT_TRUE(watcher.WaitFor([&](auto& m) { return Has(m, officeState, "\"side\":\"high\""); }));
    const json shown = json::parse(*watcher.Latest(officeState));
    EXPECT_GE(shown["time_alarm"]["minutes"].get<int>(), 2);
    EXPECT_LE(shown["time_alarm"]["minutes"].get<int>(), standing.at(rom).minutes);
    EXPECT_TRUE(json::parse(*watcher.Latest(StateTopic(0)))["time_alarm"].is_null())
        << "the cold room stays in range";
    const std::optional<std::string> config =
        watcher.Latest("homeassistant/binary_sensor/s1/" + RomToHex(rom) + "_time_alarm/config");
    ASSERT_TRUE(config.has_value());
    const json entity = json::parse(*config);
    ExpectEntityBasics(entity, "binary_sensor", "quorvanel/s1/status");
    EXPECT_EQ(entity["device_class"], "problem");
    EXPECT_EQ(PresenceTemplateValue(entity, shown), "ON");

    // A publisher that starts while it stands takes it from the station.
    mqtt::MqttPublisher late(Settings(broker.Port(), "s2"), monitoring.Feed(), state.sensors,
                             TimeAlarmSource(), mqttLog, clock);
    ASSERT_TRUE(watcher.WaitFor(
        [&](auto& m) { return Has(m, StateTopic(office, "s2"), "\"side\":\"high\""); }));

    // The threshold removed: the alarm ends at the next walk, on both.
    monitoring.Acquisition().Alarms().TimeAlarms().Configure({});
    RunFor(10);
    for (const char* station : {"s1", "s2"}) {
        const std::string topic = StateTopic(office, station);
        EXPECT_TRUE(watcher.WaitFor([&](auto& m) {
            const std::optional<json> timeAlarm = LatestTimeAlarm(m, topic);
            return timeAlarm && timeAlarm->is_null();
        })) << station
            << ": " << watcher.Latest(topic).value_or("nothing");
        EXPECT_EQ(PresenceTemplateValue(entity, json::parse(*watcher.Latest(topic))), "OFF");
    }
}

TEST_F(BrokerTest, ABrokerAwayForTenMinutesCostsTheStationNothing) {
    TestBroker broker;
    broker.Start();
    Publish(Settings(broker.Port()));
    ASSERT_TRUE(Eventually([&] { return publisher->Connected(); }));
    Install();
    RunFor(60);

    broker.Stop();
    ASSERT_TRUE(Eventually([&] { return !publisher->Connected(); }));
    FeedSubscription events = monitoring.Feed().Subscribe(10000);
    RunFor(600);
    const std::vector<LiveEvent> during = events.Drain().events;
    const auto count = [&](LiveEventKind kind) {
        return std::count_if(during.begin(), during.end(),
                             [kind](const LiveEvent& e) { return e.kind == kind; });
    };
    // A reading every two seconds and a store every minute, as without a broker.
    EXPECT_GE(count(LiveEventKind::kReading), 295);
    EXPECT_EQ(count(LiveEventKind::kStored), 10);

    // Back on the same port: the station's state comes back on the broker.
    broker.Start();
    AdvanceAndLetThePublisherSee(60.0);
    ASSERT_TRUE(Eventually([&] { return publisher->Connected(); }));
    Watcher watcher(broker.Port());
    ASSERT_TRUE(watcher.WaitFor([&](auto& m) {
        return Has(m, StateTopic(0)) && Has(m, "quorvanel/s1/status", "online") &&
               Has(m, "homeassistant/sensor/s1/" + RomToHex(Probe(0).Rom) + "_temperature/config");
    }));
    const json cold = json::parse(*watcher.Latest(StateTopic(0)));
    EXPECT_EQ(cold["time"], mqtt::IsoTime(std::find_if(during.rbegin(), during.rend(),
                                                       [&](auto& e) {
                                                           return e.kind ==
                                                                      LiveEventKind::kReading &&
                                                                  e.rom == Probe(0).Rom;
                                                       })
                                              ->time))
        << "the latest reading kept while the broker was away";
    const std::vector<std::string> lines = mqttLog.Messages();
    EXPECT_EQ(CountIn(lines, "went away"), 1) << "once, not per retry";
    EXPECT_EQ(CountIn(lines, "is back;"), 1);
}

TEST_F(BrokerTest, ReconnectWaitsGrowToAMinute) {
    TestBroker broker;  // never started: nothing listens
    Publish(Settings(broker.Port()));
    ASSERT_TRUE(
        Eventually([&] { return publisher->Attempts() == 1 && !mqttLog.Messages().empty(); }));
    for (const double wait : {1.0, 2.0, 4.0, 8.0, 16.0, 32.0, 60.0, 60.0}) {
        const std::uint64_t attempts = publisher->Attempts();
        AdvanceAndLetThePublisherSee(wait - 0.5);
        EXPECT_EQ(publisher->Attempts(), attempts) << "tried again before " << wait << " s";
        AdvanceAndLetThePublisherSee(0.5);
        ASSERT_TRUE(Eventually([&] { return publisher->Attempts() == attempts + 1; }))
            << "no attempt after " << wait << " s";
    }
    const std::vector<std::string> lines = mqttLog.Messages();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("cannot be reached (Connection refused);"), std::string::npos)
        << lines[0];
}

TEST_F(BrokerTest, ABrokerThatStopsAnsweringIsSaidToBeSilentNotAnUnknownError) {
    TestBroker broker;
    broker.Start();
    mqtt::MqttClientSettings settings = Settings(broker.Port());
    settings.keepaliveSeconds = 5;  // the least libmosquitto takes
    Publish(settings);
    ASSERT_TRUE(Eventually([&] { return publisher->Connected(); }));
    broker.Pause(true);
    const bool left = Eventually([&] { return !publisher->Connected(); }, 30s);
    broker.Pause(false);
    ASSERT_TRUE(left);
    const std::vector<std::string> lines = mqttLog.Messages();
    EXPECT_EQ(CountIn(lines, "went away (it did not answer within the keepalive time of 5 s)"), 1)
        << (lines.empty() ? "" : lines.back());
}

TEST_F(BrokerTest, ABrokerThatTakesTheConnectionButNeverAnswersIsLeftAfterHalfAMinute) {
    // The kernel completes the connections of a listening socket that
    // never accepts or answers them.
    const int mute = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    ASSERT_EQ(::bind(mute, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(::listen(mute, 8), 0);
    ::getsockname(mute, reinterpret_cast<sockaddr*>(&address), &length);
    Publish(Settings(ntohs(address.sin_port)));
    ASSERT_TRUE(Eventually([&] { return publisher->Attempts() == 1; }));
    AdvanceAndLetThePublisherSee(29.0);
    EXPECT_EQ(publisher->Attempts(), 1u);
    EXPECT_TRUE(mqttLog.Messages().empty());
    AdvanceAndLetThePublisherSee(2.0);
    EXPECT_TRUE(Eventually([&] { return publisher->Attempts() == 2; }));
    ASSERT_EQ(mqttLog.Messages().size(), 1u);
    EXPECT_NE(mqttLog.Messages()[0].find("no answer"), std::string::npos);
    publisher.reset();
    ::close(mute);
}

TEST_F(BrokerTest, RefusedCredentialsAreOneLineAndOneTryAMinute) {
    TestBroker broker({"station:right\n", false});
    broker.Start();
    mqtt::MqttClientSettings settings = Settings(broker.Port());
    settings.user = "station";
    settings.password = "wrong";
    Publish(settings);
    ASSERT_TRUE(Eventually([&] { return CountIn(mqttLog.Messages(), "refused") == 1; }));
    for (int minute = 0; minute < 10; ++minute) {
        const std::uint64_t attempts = publisher->Attempts();
        AdvanceAndLetThePublisherSee(59.0);
        EXPECT_EQ(publisher->Attempts(), attempts) << "a retry within the minute";
        AdvanceAndLetThePublisherSee(1.0);
        ASSERT_TRUE(Eventually([&] { return publisher->Attempts() == attempts + 1; }));
    }
    EXPECT_FALSE(publisher->Connected());
    const std::vector<std::string> lines = mqttLog.Messages();
    EXPECT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("user name or password"), std::string::npos) << lines[0];
    EXPECT_EQ(lines[0].find("wrong"), std::string::npos) << "the password stays out of the log";

    settings.password = "right";
    Publish(settings);
    EXPECT_TRUE(Eventually([&] { return publisher->Connected(); }));
}

// Entity ids hold no "-": stations whose ids differ only there stay apart.
TEST_F(BrokerTest, TwoStationsOnOneBrokerAreTwoDevices) {
    TestBroker broker;
    broker.Start();
    Watcher watcher(broker.Port(), "homeassistant/#");
    Publish(Settings(broker.Port(), "cold-store"));
    mqtt::MqttPublisher south(Settings(broker.Port(), "cold_store"), monitoring.Feed(),
                              state.sensors, TimeAlarmSource(), mqttLog, clock);
    ASSERT_TRUE(watcher.WaitFor([](auto& m) { return m.size() >= 2 * kConfigs; }));
    std::set<std::string> uniqueIds;
    std::set<std::string> entityIds;
    std::map<std::string, std::set<std::string>> devices;
    for (const Received& m : watcher.Messages()) {
        const json config = json::parse(m.payload);
        uniqueIds.insert(config["unique_id"]);
        entityIds.insert(config["default_entity_id"]);
        const std::string station =
            m.topic.find("/cold-store/") != std::string::npos ? "cold-store" : "cold_store";
        devices[station].insert(config["device"]["identifiers"].dump());
        EXPECT_TRUE(
            config["state_topic"].get<std::string>().starts_with("quorvanel/" + station + "/"));
    }
    EXPECT_EQ(uniqueIds.size(), 2u * kConfigs);
    EXPECT_EQ(entityIds.size(), uniqueIds.size());
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices["cold-store"].size(), 1u) << "one device per station";
    EXPECT_EQ(devices["cold_store"].size(), 1u);
    EXPECT_NE(*devices["cold-store"].begin(), *devices["cold_store"].begin());
}

TEST_F(BrokerTest, TlsWithTheStationsCertificateAuthority) {
    TestBroker broker({"", true});
    broker.Start();
    Watcher watcher(broker.Port());
    mqtt::MqttClientSettings settings = Settings(broker.TlsPort());
    settings.host = "localhost";
    settings.tls = true;
    settings.caFile = broker.OtherCaFile();
    Publish(settings);
    ASSERT_TRUE(Eventually([&] { return !mqttLog.Messages().empty(); }));
    EXPECT_FALSE(publisher->Connected()) << "a broker the CA did not sign is not trusted";
    EXPECT_NE(mqttLog.Messages()[0].find("the certificate of localhost did not pass the check: it "
                                         "is not signed by the certificate authority in use (" +
                                         broker.OtherCaFile().string() + ")"),
              std::string::npos)
        << mqttLog.Messages()[0];

    settings.caFile = broker.CaFile();
    Publish(settings);
    ASSERT_TRUE(Eventually([&] { return publisher->Connected(); }));
    EXPECT_TRUE(watcher.WaitFor([](auto& m) { return Has(m, "quorvanel/s1/status", "online"); }));
}

// Only the documented payloads are commands, and nothing retained is one:
// neither what waits on the broker when the station connects nor what is
// published with retain while it is connected (which MQTT 3.1.1 would pass
// on looking fresh), nor the empty retained message that clears one.
TEST_F(BrokerTest, OnlyDocumentedFreshCommandsAreObeyed) {
    TestBroker broker;
    broker.Start();
    Watcher watcher(broker.Port());
    CommandCounts counts;
    watcher.Publish("quorvanel/s1/command/mute", "ON", true);
    ASSERT_TRUE(watcher.WaitFor([](auto& m) { return Has(m, "quorvanel/s1/command/mute"); }));
    mqtt::MqttClientSettings settings = Settings(broker.Port());
    settings.commands = true;
    Publish(settings, counts.Commands());
    ASSERT_TRUE(Eventually([&] { return publisher->Connected(); }));
    ASSERT_TRUE(Eventually([&] { return CountIn(mqttLog.Messages(), "retained") == 1; }));
    EXPECT_EQ(broker.LogCount("as test-s1 (p5,"), 1) << "commands need MQTT 5";

    // Each message ends with a marker the station refuses in turn, so that
    // what it did with the message before is known by then.
    int markers = 0;
    const auto send = [&](const std::string& command, const std::string& payload, bool retained) {
        watcher.Publish("quorvanel/s1/command/" + command, payload, retained);
        watcher.Publish("quorvanel/s1/command/marker", "");
        ++markers;
        ASSERT_TRUE(Eventually(
            [&] { return CountIn(mqttLog.Messages(), "unknown command \"marker\"") == markers; }));
    };
    send("mute", "ON", true);
    send("mute", "", true);
    send("mute", "banana", false);
    send("mute", "on", false);
    send("test_sms", "ON", false);
    send("test_sms", "", true);
    EXPECT_EQ(counts.mutes, 0);
    EXPECT_EQ(counts.unmutes, 0);
    EXPECT_EQ(counts.tests, 0);
    const std::vector<std::string> lines = mqttLog.Messages();
    EXPECT_EQ(CountIn(lines, "MQTT command refused: command/mute is a retained message"), 2)
        << "the one waiting at the connection and the one published live";
    EXPECT_EQ(CountIn(lines, "command/mute takes ON or nothing to mute, or OFF, not \"banana\""),
              1);
    EXPECT_EQ(CountIn(lines, "not \"on\""), 1);
    EXPECT_EQ(CountIn(lines, "command/test_sms takes no payload"), 1);
    // The connection, the retained command it found, six markers and four
    // refusals: the two empty retained messages are said nothing of.
    EXPECT_EQ(lines.size(), 12u);

    send("mute", "ON", false);
    send("mute", "", false);
    send("mute", "OFF", false);
    EXPECT_EQ(counts.mutes, 2);
    EXPECT_EQ(counts.unmutes, 1);
}

// Like the dashboard, at most one test message a minute: a second within
// the minute is refused with a line, one after it goes.
TEST_F(BrokerTest, OneTestMessageAMinute) {
    TestBroker broker;
    broker.Start();
    Watcher watcher(broker.Port());
    CommandCounts counts;
    ASSERT_NO_FATAL_FAILURE(PublishWithCommands(broker.Port(), watcher, counts));

    watcher.Publish("quorvanel/s1/command/test_sms", "");
    ASSERT_TRUE(Eventually([&] { return counts.tests == 1; }));
    AdvanceAndLetThePublisherSee(59.0);
    watcher.Publish("quorvanel/s1/command/test_sms", "");
    ASSERT_TRUE(
        Eventually([&] { return CountIn(mqttLog.Messages(), "one test message a minute"); }));
    EXPECT_EQ(counts.tests, 1);
    AdvanceAndLetThePublisherSee(1.0);
    watcher.Publish("quorvanel/s1/command/test_sms", "");
    ASSERT_TRUE(Eventually([&] { return counts.tests == 2; }));
}

TEST_F(BrokerTest, CommandsWhenAllowedAndHomeAssistantStarting) {
    TestBroker broker;
    broker.Start();
    Watcher watcher(broker.Port());
    CommandCounts counts;
    ASSERT_NO_FATAL_FAILURE(PublishWithCommands(broker.Port(), watcher, counts));

    watcher.Publish("quorvanel/s1/command/mute", "");
    watcher.Publish("quorvanel/s1/command/mute", "OFF");
    watcher.Publish("quorvanel/s1/command/test_sms", "");
    watcher.Publish("quorvanel/s1/command/reboot", "");
    ASSERT_TRUE(Eventually([&] { return CountIn(mqttLog.Messages(), "reboot") == 1; }));
    EXPECT_EQ(counts.mutes, 1);
    EXPECT_EQ(counts.unmutes, 1);
    EXPECT_EQ(counts.tests, 1);
    const std::vector<std::string> lines = mqttLog.Messages();
    EXPECT_EQ(lines.size(), 2u) << "the station's commands write their own lines";
    EXPECT_EQ(CountIn(lines, "unknown command \"reboot\""), 1);

    // Home Assistant starting again asks for the configs.
    const auto configs = [](const std::vector<Received>& m) {
        return std::count_if(m.begin(), m.end(),
                             [](auto& r) { return r.topic.ends_with("/config"); });
    };
    const auto before = configs(watcher.Messages());
    watcher.Publish("homeassistant/status", "online");
    EXPECT_TRUE(watcher.WaitFor([&](auto& m) { return configs(m) >= before + kConfigs; }));
}

// The retained topics of a probe deleted or switched off while the station
// was stopped are removed at the next connection, found in the file the
// station keeps; what the broker keeps afterwards is only the present.
TEST_F(BrokerTest, ProbesThatLeftWhileStoppedLeaveHomeAssistant) {
    TestBroker broker;
    broker.Start();
    mqtt::MqttClientSettings settings = Settings(broker.Port());
    settings.retainedFile = dir.path() / mqtt::kRetainedTopicsFile;
    const std::string door = "quorvanel/s1/probe/" + RomToHex(Probe(2).Rom);
    const std::string coldRoom = "quorvanel/s1/probe/" + RomToHex(Probe(0).Rom);
    const std::string doorConfig =
        "homeassistant/binary_sensor/s1/" + RomToHex(Probe(2).Rom) + "_contact/config";
    const std::string coldConfig =
        "homeassistant/sensor/s1/" + RomToHex(Probe(0).Rom) + "_temperature/config";
    {
        Watcher watcher(broker.Port());
        Publish(settings);
        ASSERT_TRUE(watcher.WaitFor([&](auto& m) {
            return Has(m, doorConfig) && Has(m, door + "/attributes") && Has(m, coldConfig);
        }));
        publisher.reset();
    }
    const std::string kept = ReadFileBytes(settings.retainedFile).bytes;
    EXPECT_NE(kept.find(doorConfig), std::string::npos) << kept;
    EXPECT_NE(kept.find(door + "/state"), std::string::npos) << kept;

    // While stopped: the door deleted, the cold room switched off.
    state.sensors.Lock()->DeleteSensorFromDataBase(2);
    Probe(0).Status = kStatusOff;
    Watcher live(broker.Port(), "quorvanel/s1/probe/#");
    Publish(settings);
    ASSERT_TRUE(Eventually([&] { return publisher->Connected(); }));
    ASSERT_TRUE(Eventually(
        [&] { return CountIn(mqttLog.Messages(), "no longer on the station removed") == 1; }));
    // Once the removals have come by, the broker has forgotten the topics.
    ASSERT_TRUE(live.WaitFor([&](auto& m) {
        return std::count_if(m.begin(), m.end(), [&](const Received& r) {
                   return r.topic.starts_with(door) && r.payload.empty();
               }) == 3;
    }));

    // A newcomer sees what the broker keeps: nothing of the door, the cold
    // room without its entities, the office as it was.
    Watcher late(broker.Port());
    ASSERT_TRUE(late.WaitFor([](auto& m) { return Has(m, "quorvanel/s1/status", "online"); }));
    // The broker passes a cleared topic on to no newcomer at all.
    const auto held = [](const std::vector<Received>& m, const std::string& topic) {
        return Has(m, topic) && !std::any_of(m.rbegin(), m.rend(), [&](const Received& r) {
                   return r.topic == topic && r.payload.empty();
               });
    };
    const auto retained = [&](const std::string& topic) { return held(late.Messages(), topic); };
    const std::string officeConfig =
        "homeassistant/sensor/s1/" + RomToHex(Probe(1).Rom) + "_temperature/config";
    ASSERT_TRUE(late.WaitFor(
        [&](auto& m) { return held(m, coldRoom + "/state") && held(m, officeConfig); }));
    for (const std::string suffix : {"/state", "/alarm", "/attributes"}) {
        EXPECT_FALSE(retained(door + suffix)) << door + suffix;
    }
    EXPECT_FALSE(retained(doorConfig));
    EXPECT_FALSE(retained(coldConfig)) << "a probe that is off has no entity";
    const std::string now = ReadFileBytes(settings.retainedFile).bytes;
    EXPECT_EQ(now.find(door), std::string::npos) << now;
    EXPECT_EQ(now.find(coldConfig), std::string::npos) << now;
    EXPECT_NE(now.find(coldRoom + "/state"), std::string::npos) << now;

    // Started again on the same table, nothing is a ghost any more.
    publisher.reset();
    Publish(settings);
    ASSERT_TRUE(Eventually([&] { return publisher->Connected(); }));
    EXPECT_EQ(CountIn(mqttLog.Messages(), "no longer on the station removed"), 1);
}

// The service starts its links before it reads the probe file: an empty
// table then is no sign that the probes have gone, and removing their
// entities would lose what Home Assistant keeps of them. What has gone is
// known once acquisition runs.
TEST_F(BrokerTest, AnEmptyTableAtTheStartRemovesNothingUntilAcquisitionRuns) {
    TestBroker broker;
    broker.Start();
    mqtt::MqttClientSettings settings = Settings(broker.Port());
    settings.retainedFile = dir.path() / mqtt::kRetainedTopicsFile;
    const std::string door = "quorvanel/s1/probe/" + RomToHex(Probe(2).Rom);
    const std::string coldRoom = "quorvanel/s1/probe/" + RomToHex(Probe(0).Rom);
    Watcher watcher(broker.Port(), "quorvanel/s1/probe/#");
    Publish(settings);
    ASSERT_TRUE(watcher.WaitFor([&](auto& m) { return Has(m, door + "/attributes"); }));
    publisher.reset();

    const SensorTable loaded = *state.sensors.Lock();
    for (int index = 2; index >= 0; --index) {
        state.sensors.Lock()->DeleteSensorFromDataBase(index);
    }
    Publish(settings);
    ASSERT_TRUE(Eventually([&] { return publisher->Connected(); }));
    // The probe file read, without the door, and acquisition started.
    {
        auto table = state.sensors.Lock();
        *table = loaded;
        table->DeleteSensorFromDataBase(2);
    }
    AdvanceAndLetThePublisherSee(1.0);
    EXPECT_EQ(CountIn(mqttLog.Messages(), "no longer on the station removed"), 0);
    monitoring.Feed().Publish(StationEvent(LiveEventKind::kAcquisitionResumed, clock.Now()));
    ASSERT_TRUE(Eventually(
        [&] { return CountIn(mqttLog.Messages(), "no longer on the station removed") == 1; }));
    ASSERT_TRUE(watcher.WaitFor([&](auto& m) {
        return std::count_if(m.begin(), m.end(), [&](const Received& r) {
                   return r.topic.starts_with(door) && r.payload.empty();
               }) == 3;
    }));
    for (const Received& m : watcher.Messages()) {
        EXPECT_FALSE(m.topic.starts_with(coldRoom) && m.payload.empty())
            << m.topic << " was emptied";
    }
}

TEST_F(BrokerTest, ADamagedRetainedTopicsFileIsKeptAsideAndNamed) {
    TestBroker broker;
    broker.Start();
    mqtt::MqttClientSettings settings = Settings(broker.Port());
    settings.retainedFile = dir.path() / mqtt::kRetainedTopicsFile;
    ASSERT_EQ(WriteFileAtomically(settings.retainedFile,
                                  "{\"format\": \"quorvanel-mqtt-retained-"
                                  "topics\", \"version\": 1, \"topics\": "
                                  "[\"a/#\"]}"),
              kFileOk);
    Watcher watcher(broker.Port());
    Publish(settings);
    ASSERT_TRUE(Eventually([&] { return publisher->Connected(); }));
    const std::vector<std::string> lines = mqttLog.Messages();
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines[0].find(settings.retainedFile.string() +
                            " holds something that is not a topic; kept aside as " +
                            settings.retainedFile.string() + ".damaged"),
              std::string::npos)
        << lines[0];
    EXPECT_TRUE(FileExists(settings.retainedFile.string() + ".damaged"));
    // The station goes on and keeps a new list.
    ASSERT_TRUE(watcher.WaitFor([](auto& m) { return Has(m, "quorvanel/s1/alarm"); }));
    EXPECT_TRUE(Eventually([&] {
        return ReadFileBytes(settings.retainedFile).bytes.find("quorvanel/s1/alarm") !=
               std::string::npos;
    }));
}

TEST_F(BrokerTest, CommandsAreOffUnlessAllowed) {
    TestBroker broker;
    broker.Start();
    Watcher watcher(broker.Port());
    CommandCounts counts;
    Publish(Settings(broker.Port()), counts.Commands());
    ASSERT_TRUE(Eventually([&] { return publisher->Connected(); }));
    ASSERT_TRUE(watcher.WaitFor([](auto& m) { return Has(m, "quorvanel/s1/status", "online"); }));
    watcher.Publish("quorvanel/s1/command/mute", "");
    // The watcher sees its own command once the broker has passed it on,
    // by which time a subscribed publisher would have it too.
    ASSERT_TRUE(watcher.WaitFor([](auto& m) { return Has(m, "quorvanel/s1/command/mute"); }));
    watcher.Publish("homeassistant/status", "online");
    const std::uint64_t published = publisher->Published();
    ASSERT_TRUE(watcher.WaitFor([](auto& m) { return Has(m, "homeassistant/status"); }));
    ASSERT_TRUE(Eventually([&] { return publisher->Published() > published; }));
    EXPECT_EQ(counts.mutes, 0);
    EXPECT_EQ(CountIn(mqttLog.Messages(), "command"), 0);
    EXPECT_EQ(broker.LogCount("as test-s1 (p2,"), 1) << "without commands, MQTT 3.1.1 as before";
}

}  // namespace
}  // namespace qrv::testing
