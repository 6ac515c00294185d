// The station's links as every front end starts them: an MQTT command is the
// station's own command, and a reload leaves an unchanged broker session up.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "app/live_station.h"
#include "app/shell/commands.h"
#include "feed/live_feed.h"
#include "notify/acknowledgement.h"
#include "records/audit_trail.h"
#include "station/station_links.h"
#include "support/audit_entries.h"
#include "test_broker.h"

namespace qrv::testing {
namespace {

using namespace std::chrono_literals;

constexpr LocalDateTime kLinksStart{2026, 3, 9, 14, 0, 30, 0};

int CountOf(const std::vector<Received>& messages, const std::string& topic,
            const std::string& payload) {
    return static_cast<int>(std::count_if(messages.begin(), messages.end(), [&](const auto& m) {
        return m.topic == topic && m.payload == payload;
    }));
}

class StationLinksTest : public ::testing::Test, protected LiveStation {
  protected:
    StationLinksTest() : LiveStation(kThreeProbeNetwork, kLinksStart) {
        AddProbe(1, 0, "Cold room");
        AddProbe(1, 1, "Office");
        broker.Start();
        config.mqtt.enabled = true;
        config.mqtt.host = "127.0.0.1";
        config.mqtt.port = broker.Port();
        config.mqtt.stationId = "s1";
        config.mqtt.commands = true;
    }
    ~StationLinksTest() override {
        links.reset();
        monitoring.DiscardAsyncNetworkTimer();
    }

    void StartLinks() {
        links = std::make_unique<shell::StationLinks>(state, monitoring, clock, log, dialogs);
        links->Start(config);
        ASSERT_NE(links->Mqtt(), nullptr);
        ASSERT_TRUE(Eventually([&] { return links->Mqtt()->Connected(); }));
    }

    std::vector<records::AuditEntry> Trail() const { return AuditEntries(state.auditTrail); }

    // Connected is said at the broker's answer, before the command topics are
    // subscribed; a command published in between is lost, as MQTT loses it.
    // The station says online on the same connection after subscribing, so a
    // watcher that has seen it knows the broker delivers commands from then on.
    static void AwaitCommandsHeard(const Watcher& watcher) {
        ASSERT_TRUE(watcher.WaitFor([](const std::vector<Received>& messages) {
            return CountOf(messages, "quorvanel/s1/status", "online") > 0;
        }));
    }

    TestBroker broker;
    StationConfig config;
    std::unique_ptr<shell::StationLinks> links;
};

// The alarm button and the MQTT mute are one command: the same lines in the
// alarm file, the audit trail and the feed, differing only in who and via.
TEST_F(StationLinksTest, AnMqttMuteAcknowledgesAsTheAlarmButtonDoes) {
    StartLinks();
    Watcher watcher(broker.Port());
    AwaitCommandsHeard(watcher);
    FeedSubscription events = monitoring.Feed().Subscribe();
    dialogs.QueueText("checked the door");
    shell::AlarmButton(state, services, 0);
    state.AlarmUserStatus = 1;

    watcher.Publish("quorvanel/s1/command/mute", "ON");
    ASSERT_TRUE(Eventually([&] { return state.AlarmUserStatus == 0; }));
    ASSERT_TRUE(Eventually([&] { return Count(AlarmText(), "Acknowledged by") == 2; }));
    // The audit line follows the alarm-file line on the MQTT client's thread.
    ASSERT_TRUE(Eventually([&] { return Trail().size() == 2u; }));

    const std::string login = notify::LoginName();
    EXPECT_EQ(Count(AlarmText(), "Acknowledged by " + login + " (window): checked the door\r\n"),
              1);
    EXPECT_EQ(Count(AlarmText(), "Acknowledged by mqtt (mqtt)\r\n"), 1);
    const auto trail = Trail();
    ASSERT_EQ(trail.size(), 2u);
    EXPECT_EQ(trail[0].who, login + " (window)");
    EXPECT_EQ(trail[1].who, "mqtt (mqtt)");
    EXPECT_EQ(trail[0].what, trail[1].what);
    EXPECT_EQ(trail[1].what, "alarm acknowledged");
    std::vector<std::string> acknowledgedBy;
    for (const LiveEvent& event : events.Drain().events) {
        if (event.kind == LiveEventKind::kAcknowledged) {
            acknowledgedBy.push_back(event.by);
        }
    }
    EXPECT_EQ(acknowledgedBy, (std::vector<std::string>{login + " (window)", "mqtt (mqtt)"}));

    watcher.Publish("quorvanel/s1/command/mute", "OFF");
    ASSERT_TRUE(Eventually([&] { return state.AlarmUserStatus == 1; }));
    ASSERT_TRUE(Eventually([&] { return Trail().size() == 3u; }));
    EXPECT_EQ(Trail()[2].what, "alarm switched on");
    EXPECT_EQ(Count(LogText(), "Alarm switched ON by mqtt (mqtt)"), 1);
}

// A test message over MQTT is the station's own, with its lines; one that
// could not go is said so and does not use up the minute, a second one
// within the minute is refused.
TEST_F(StationLinksTest, AnMqttTestMessageIsTheStationsOwnAtMostOnceAMinute) {
    StartLinks();
    Watcher watcher(broker.Port());
    AwaitCommandsHeard(watcher);
    const std::string topic = "quorvanel/s1/command/test_sms";
    watcher.Publish(topic, "");
    ASSERT_TRUE(Eventually([&] {
        return Count(LogText(), "MQTT test message not sent: no SMS program or destination") == 1;
    }));

    ConfigureSms();
    watcher.Publish(topic, "");
    ASSERT_TRUE(Eventually([&] { return Count(LogText(), "Test SMS sent by mqtt (mqtt)") == 1; }));
    clock.Advance(30.0);
    watcher.Publish(topic, "");
    ASSERT_TRUE(Eventually(
        [&] { return Count(LogText(), "MQTT command refused: one test message a minute") == 1; }));
    EXPECT_EQ(Count(LogText(), "Test SMS sent by mqtt (mqtt)"), 1);
    const auto trail = Trail();
    EXPECT_EQ(std::count_if(trail.begin(), trail.end(),
                            [](const auto& e) { return e.what == "test message sent"; }),
              1);
    FinishHandOffs();
}

// A retained mute published while the station is connected reaches it live;
// it still does not acknowledge anything.
TEST_F(StationLinksTest, ARetainedMutePublishedWhileConnectedAcknowledgesNothing) {
    StartLinks();
    Watcher watcher(broker.Port());
    AwaitCommandsHeard(watcher);
    state.AlarmUserStatus = 1;
    watcher.Publish("quorvanel/s1/command/mute", "ON", true);
    watcher.Publish("quorvanel/s1/command/mute", "", true);
    ASSERT_TRUE(Eventually([&] { return Count(LogText(), "is a retained message") == 1; }));
    // A plain mute after them is taken, and it is the only one.
    watcher.Publish("quorvanel/s1/command/mute", "ON");
    ASSERT_TRUE(Eventually([&] { return Count(AlarmText(), "Acknowledged by mqtt (mqtt)") == 1; }));
    EXPECT_EQ(state.AlarmUserStatus, 0);
    // The audit line follows the alarm-file line on the MQTT client's thread.
    ASSERT_TRUE(Eventually([&] { return Trail().size() == 1u; }));
    EXPECT_EQ(Count(AlarmText(), "Acknowledged by"), 1);
}

TEST_F(StationLinksTest, AReloadKeepsAnUnchangedBrokerSessionAndRenewsAChangedOne) {
    StartLinks();
    Watcher watcher(broker.Port());
    const auto offlineCount = [&] {
        return CountOf(watcher.Messages(), "quorvanel/s1/status", "offline");
    };
    const mqtt::MqttPublisher* first = links->Mqtt();
    links->Reload(config);
    EXPECT_EQ(links->Mqtt(), first) << "unchanged settings keep their session";
    // An ended session says offline before the reload returns; a marker sent
    // after it arrives after anything the reload made the station say.
    watcher.Publish("test/marker", "after the reload");
    ASSERT_TRUE(watcher.WaitFor([](const std::vector<Received>& m) {
        return CountOf(m, "test/marker", "after the reload");
    }));
    EXPECT_EQ(offlineCount(), 0) << "an unchanged reload took the session down";

    // A changed setting starts a new session: offline, then online again.
    config.mqtt.keepaliveSeconds = 30;
    links->Reload(config);
    ASSERT_NE(links->Mqtt(), nullptr);
    EXPECT_TRUE(watcher.WaitFor([](const std::vector<Received>& m) {
        bool offline = false;
        for (const Received& r : m) {
            offline = offline || (r.topic == "quorvanel/s1/status" && r.payload == "offline");
            if (offline && r.topic == "quorvanel/s1/status" && r.payload == "online") {
                return true;
            }
        }
        return false;
    }));

    config.mqtt.enabled = false;
    links->Reload(config);
    EXPECT_EQ(links->Mqtt(), nullptr);
}

}  // namespace
}  // namespace qrv::testing
