// What the station tells the broker, without a broker: topics, payloads and
// Home Assistant discovery configs checked against Home Assistant's
// documented keys, written out here.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <regex>
#include <set>

#include "ha_schema.h"
#include "mqtt/published_station.h"
#include "sensors/rom_text.h"

namespace qrv::mqtt {
namespace {

using nlohmann::json;
using testing::TemplateKey;

constexpr RomCode kFreezerRom{0x28, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77};
constexpr RomCode kCellarRom{0x26, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x99};
constexpr RomCode kDoorRom{0x12, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7};
constexpr LocalDateTime kNoon{2026, 3, 9, 12, 0, 0, 0};

MqttIdentity Identity(const std::string& station = "site1") {
    return {"quorvanel", station, "homeassistant", "3.03"};
}

SensorRecord Record(const RomCode& rom, int type, const std::string& name, double value) {
    SensorRecord record;
    record.Line = 1;
    record.Rom = rom;
    record.SensorType = type;
    record.Name = name;
    record.Value = value;
    return record;
}

SensorTable ThreeProbes() {
    SensorTable table;
    table.SensorArray[0] = Record(kFreezerRom, kTypeTemperature, "Vriezer 2 \u00B0", -18.5);
    table.SensorArray[1] = Record(kCellarRom, kTypeHumidity, "K\u00FChlraum", 55.4);
    table.SensorArray[2] = Record(kDoorRom, kTypeSwitch, "Back door", 1.0);
    return table;
}

LiveEvent Reading(const RomCode& rom, double value, LocalDateTime time) {
    LiveEvent event;
    event.kind = LiveEventKind::kReading;
    event.time = time;
    event.rom = rom;
    event.value = value;
    return event;
}

LiveEvent AlarmChange(const RomCode& rom, double value, int from, int to) {
    LiveEvent event = Reading(rom, value, kNoon);
    event.kind = LiveEventKind::kAlarmChanged;
    event.oldAlarm = from;
    event.newAlarm = to;
    return event;
}

LiveEvent TimeAlarmChange(const RomCode& rom, int minutes, int from, int to) {
    LiveEvent event = AlarmChange(rom, minutes, from, to);
    event.kind = LiveEventKind::kTimeAlarmChanged;
    return event;
}

const MqttMessage* Find(const std::vector<MqttMessage>& messages, const std::string& topic) {
    for (auto it = messages.rbegin(); it != messages.rend(); ++it) {
        if (it->topic == topic) {
            return &*it;
        }
    }
    return nullptr;
}

json Payload(const std::vector<MqttMessage>& messages, const std::string& topic) {
    const MqttMessage* message = Find(messages, topic);
    if (message == nullptr) {
        ADD_FAILURE() << "nothing published on " << topic;
        return {};
    }
    return json::parse(message->payload);
}

std::string Config(const std::string& component, const RomCode& rom, const std::string& what,
                   const std::string& station = "site1") {
    return "homeassistant/" + component + "/" + station + "/" + RomToHex(rom) + "_" + what +
           "/config";
}

void ExpectEntityBasics(const json& config, const std::string& component,
                        const std::string& station) {
    testing::ExpectEntityBasics(config, component, "quorvanel/" + station + "/status");
    EXPECT_EQ(config["device"]["sw_version"], "3.03");
}

TEST(PublishedStation, DiscoveryConfigsHaveTheKeysHomeAssistantAsksFor) {
    PublishedStation station(Identity());
    const std::vector<MqttMessage> out = station.Refresh(ThreeProbes(), {}, kNoon);

    const json temperature = Payload(out, Config("sensor", kFreezerRom, "temperature"));
    ExpectEntityBasics(temperature, "sensor", "site1");
    testing::ExpectValueEntity(temperature, "temperature", 3 * 2);
    EXPECT_EQ(temperature["name"], "Vriezer 2 \u00B0") << "the name as typed, UTF-8";
    EXPECT_EQ(temperature["state_topic"], "quorvanel/site1/probe/2811223344556677/state");

    const json humidity = Payload(out, Config("sensor", kCellarRom, "humidity"));
    ExpectEntityBasics(humidity, "sensor", "site1");
    testing::ExpectValueEntity(humidity, "humidity", 3 * 2);

    const json door = Payload(out, Config("binary_sensor", kDoorRom, "contact"));
    ExpectEntityBasics(door, "binary_sensor", "site1");
    testing::ExpectValueEntity(door, "door", 3 * 2);
    // The template takes from the state what the payloads say.
    const json doorState = Payload(out, "quorvanel/site1/probe/" + RomToHex(kDoorRom) + "/state");
    EXPECT_EQ(doorState[TemplateKey(door)], "ON");
    const json freezerState = Payload(out, temperature["state_topic"]);
    EXPECT_EQ(freezerState[TemplateKey(temperature)], -18.5);

    for (const RomCode& rom : {kFreezerRom, kCellarRom, kDoorRom}) {
        const json alarm = Payload(out, Config("sensor", rom, "alarm"));
        ExpectEntityBasics(alarm, "sensor", "site1");
        const json state = Payload(out, alarm["state_topic"]);
        EXPECT_EQ(state[TemplateKey(alarm)], "OK");
    }
    const json stationAlarm = Payload(out, "homeassistant/binary_sensor/site1/alarm/config");
    ExpectEntityBasics(stationAlarm, "binary_sensor", "site1");
    EXPECT_EQ(stationAlarm["device_class"], "problem");
    ASSERT_NE(Find(out, stationAlarm["state_topic"]), nullptr);
    EXPECT_EQ(Find(out, stationAlarm["state_topic"])->payload, "OFF");

    for (const MqttMessage& message : out) {
        EXPECT_TRUE(message.retained) << message.topic;
    }
    // Every config shares one device.
    EXPECT_EQ(temperature["device"], door["device"]);
}

TEST(PublishedStation, IdsFollowTheRomAndTheStationNotTheName) {
    PublishedStation first(Identity("site1"));
    PublishedStation second(Identity("site2"));
    SensorTable table = ThreeProbes();
    const json before =
        Payload(first.Refresh(table, {}, kNoon), Config("sensor", kFreezerRom, "temperature"));
    const json other = Payload(second.Refresh(table, {}, kNoon),
                               Config("sensor", kFreezerRom, "temperature", "site2"));
    EXPECT_NE(before["unique_id"], other["unique_id"]);
    EXPECT_NE(before["device"]["identifiers"], other["device"]["identifiers"]);

    // Renamed and moved to another slot: the same entity with a new name.
    table.SensorArray[0].Name = "Freezer 2";
    std::swap(table.SensorArray[0], table.SensorArray[2]);
    const std::vector<MqttMessage> renamed = first.Refresh(table, {}, kNoon);
    const json after = Payload(renamed, Config("sensor", kFreezerRom, "temperature"));
    EXPECT_EQ(after["unique_id"], before["unique_id"]);
    EXPECT_EQ(after["name"], "Freezer 2");
    // Unchanged probes are not published again.
    EXPECT_EQ(Find(renamed, Config("sensor", kCellarRom, "humidity")), nullptr);
    EXPECT_TRUE(first.Refresh(table, {}, kNoon).empty()) << "nothing changed";
}

// Entity ids hold only a-z, 0-9 and "_": ids that would fold into one are
// kept apart, and an id that needs no folding keeps its plain form.
TEST(PublishedStation, StationIdsThatFoldAlikeKeepDistinctEntityIds) {
    EXPECT_EQ(StationEntityPart("cold_store_2"), "cold_store_2");
    std::set<std::string> parts;
    for (const char* id :
         {"cold_store", "cold-store", "Cold_store", "cold-_store", "cold_-store", "cold__store"}) {
        const std::string part = StationEntityPart(id);
        EXPECT_TRUE(std::regex_match(part, std::regex("[a-z0-9_]+"))) << part;
        EXPECT_TRUE(parts.insert(part).second) << id << " folds into another's " << part;
    }
    // As the README shows it: once suggested to Home Assistant, it must not
    // change with a new version.
    EXPECT_EQ(StationEntityPart("cold-store"), "cold_store_a9d929d7");
}

TEST(PublishedStation, ProbesSwitchedOffOrDeletedLoseTheirEntities) {
    PublishedStation station(Identity());
    SensorTable table = ThreeProbes();
    station.Refresh(table, {}, kNoon);

    table.SensorArray[0].Status = kStatusOff;
    std::vector<MqttMessage> out = station.Refresh(table, {}, kNoon);
    ASSERT_NE(Find(out, Config("sensor", kFreezerRom, "temperature")), nullptr);
    EXPECT_EQ(Find(out, Config("sensor", kFreezerRom, "temperature"))->payload, "");
    EXPECT_EQ(Find(out, Config("sensor", kFreezerRom, "alarm"))->payload, "");
    ASSERT_NE(Find(out, Config("binary_sensor", kFreezerRom, "time_alarm")), nullptr);
    EXPECT_EQ(Find(out, Config("binary_sensor", kFreezerRom, "time_alarm"))->payload, "");
    // Its state says so, without a value.
    const json off = Payload(out, "quorvanel/site1/probe/" + RomToHex(kFreezerRom) + "/state");
    EXPECT_EQ(off["status"], "off");
    EXPECT_TRUE(off["value"].is_null());
    // Readings of a probe that is off never show up as values.
    out = station.Apply(Reading(kFreezerRom, -17.0, kNoon));
    for (const MqttMessage& message : out) {
        if (message.topic.ends_with("/state")) {
            EXPECT_TRUE(json::parse(message.payload)["value"].is_null());
        }
    }

    table.DeleteSensorFromDataBase(2);
    out = station.Refresh(table, {}, kNoon);
    for (const std::string& topic :
         {Config("binary_sensor", kDoorRom, "contact"), Config("sensor", kDoorRom, "alarm"),
          "quorvanel/site1/probe/" + RomToHex(kDoorRom) + "/state"}) {
        ASSERT_NE(Find(out, topic), nullptr) << topic;
        EXPECT_EQ(Find(out, topic)->payload, "") << topic;
    }
    // A broker that missed the removals gets them with everything else.
    const std::vector<MqttMessage> all = station.Everything();
    ASSERT_NE(Find(all, Config("binary_sensor", kDoorRom, "contact")), nullptr);
    EXPECT_EQ(Find(all, Config("binary_sensor", kDoorRom, "contact"))->payload, "");
    const std::vector<MqttMessage> discovery = station.Discovery();
    EXPECT_EQ(Find(discovery, "quorvanel/site1/probe/" + RomToHex(kDoorRom) + "/state"), nullptr);
    EXPECT_NE(Find(discovery, Config("sensor", kCellarRom, "humidity")), nullptr);
}

TEST(PublishedStation, ReadingsAndAlarmsBecomeStatesInOrder) {
    PublishedStation station(Identity());
    station.Refresh(ThreeProbes(), {}, kNoon);
    const std::string state = "quorvanel/site1/probe/" + RomToHex(kCellarRom) + "/state";
    const std::string alarm = "quorvanel/site1/probe/" + RomToHex(kCellarRom) + "/alarm";

    LocalDateTime later = kNoon;
    later.second = 6;
    std::vector<MqttMessage> out = station.Apply(Reading(kCellarRom, 55.133333333, later));
    json reading = Payload(out, state);
    EXPECT_EQ(reading["value"], 55.133);
    EXPECT_EQ(reading["unit"], "%");
    EXPECT_EQ(reading["time"], "2026-03-09T12:00:06");
    EXPECT_EQ(reading["name"], "K\u00FChlraum");
    EXPECT_EQ(reading["alarm"], "OK");

    out = station.Apply(AlarmChange(kCellarRom, 80.0, kAlarmNone, kPreAlarmHigh));
    ASSERT_EQ(out.size(), 3u) << "state, alarm and the station's alarm";
    EXPECT_EQ(out[2].topic, "quorvanel/site1/alarm");
    EXPECT_EQ(out[2].payload, "ON");
    out = station.Apply(AlarmChange(kCellarRom, 85.0, kPreAlarmHigh, kAlarmHigh));
    ASSERT_EQ(out.size(), 2u) << "the station's alarm stands already";
    EXPECT_EQ(out[0].topic, state);
    EXPECT_EQ(json::parse(out[0].payload)["alarm"], "High Alarm");
    EXPECT_EQ(json::parse(out[0].payload)["alarm_code"], kAlarmHigh);
    EXPECT_EQ(out[1].topic, alarm);
    const json high = json::parse(out[1].payload);
    EXPECT_EQ(high["state"], "High Alarm");
    EXPECT_EQ(high["previous"], "Pre-High Alarm");

    // A lost probe shows no value, not its last one.
    out = station.Apply(AlarmChange(kCellarRom, 85.0, kAlarmHigh, kAlarmLost));
    EXPECT_TRUE(Payload(out, state)["value"].is_null());
    EXPECT_EQ(Payload(out, alarm)["state"], "Probe lost");
    out = station.Apply(AlarmChange(kCellarRom, 50.0, kAlarmLost, kAlarmNone));
    EXPECT_EQ(Payload(out, alarm)["state"], "OK");
    EXPECT_EQ(Find(out, "quorvanel/site1/alarm")->payload, "OFF");

    // The unit lost is the station's alarm too, and an event.
    LiveEvent lost;
    lost.kind = LiveEventKind::kNetworkLost;
    lost.time = later;
    out = station.Apply(lost);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].topic, "quorvanel/site1/event");
    EXPECT_FALSE(out[0].retained);
    EXPECT_EQ(json::parse(out[0].payload)["event"], "network_lost");
    EXPECT_EQ(out[1].payload, "ON");
}

TEST(PublishedStation, TheTimeAlarmIsAProblemEntityOfTemperaturesAndHumidities) {
    PublishedStation station(Identity());
    const std::vector<MqttMessage> out = station.Refresh(ThreeProbes(), {}, kNoon);
    for (const RomCode& rom : {kFreezerRom, kCellarRom}) {
        const json config = Payload(out, Config("binary_sensor", rom, "time_alarm"));
        ExpectEntityBasics(config, "binary_sensor", "site1");
        EXPECT_EQ(config["device_class"], "problem");
        EXPECT_EQ(config["availability"],
                  Payload(out, Config("sensor", rom, "alarm"))["availability"]);
        EXPECT_EQ(config["state_topic"], "quorvanel/site1/probe/" + RomToHex(rom) + "/state");
        EXPECT_EQ(testing::PresenceTemplateValue(config, Payload(out, config["state_topic"])),
                  "OFF");
    }
    EXPECT_EQ(Find(out, Config("binary_sensor", kDoorRom, "time_alarm")), nullptr)
        << "a door contact is never out of range";
    EXPECT_FALSE(Payload(out, "quorvanel/site1/probe/" + RomToHex(kDoorRom) + "/state")
                     .contains("time_alarm"));
}

TEST(PublishedStation, TheTimeAlarmStandsInTheStateUntilItEnds) {
    PublishedStation station(Identity());
    const std::vector<MqttMessage> first = station.Refresh(ThreeProbes(), {}, kNoon);
    const json config = Payload(first, Config("binary_sensor", kFreezerRom, "time_alarm"));
    const std::string state = "quorvanel/site1/probe/" + RomToHex(kFreezerRom) + "/state";

    std::vector<MqttMessage> out =
        station.Apply(TimeAlarmChange(kFreezerRom, 61, kAlarmNone, kTimeAlarmHigh));
    json shown = Payload(out, state);
    EXPECT_EQ(shown["time_alarm"], json({{"side", "high"}, {"minutes", 61}}));
    EXPECT_EQ(shown["alarm"], "OK") << "beside the alarm state, never in it";
    EXPECT_EQ(shown["value"], -18.5) << "the event's minutes are no reading";
    EXPECT_EQ(testing::PresenceTemplateValue(config, shown), "ON");
    EXPECT_EQ(Find(out, "quorvanel/site1/alarm")->payload, "ON") << "the station's alarm too";

    // The minutes grow with the next state, on the side published; a side
    // that changed waits for its event.
    LocalDateTime later = kNoon;
    later.minute = 14;
    station.TakeTimeAlarmMinutes({{kFreezerRom, {kTimeAlarmHigh, 75}}});
    out = station.Apply(Reading(kFreezerRom, -17.0, later));
    EXPECT_EQ(Payload(out, state)["time_alarm"], json({{"side", "high"}, {"minutes", 75}}));
    station.TakeTimeAlarmMinutes({{kFreezerRom, {kTimeAlarmLow, 3}}});
    later.minute = 15;
    out = station.Apply(Reading(kFreezerRom, -17.0, later));
    EXPECT_EQ(Payload(out, state)["time_alarm"]["side"], "high");
    out = station.Apply(TimeAlarmChange(kFreezerRom, 3, kTimeAlarmHigh, kTimeAlarmLow));
    EXPECT_EQ(Payload(out, state)["time_alarm"], json({{"side", "low"}, {"minutes", 3}}));

    out = station.Apply(TimeAlarmChange(kFreezerRom, 3, kTimeAlarmLow, kAlarmNone));
    shown = Payload(out, state);
    EXPECT_TRUE(shown["time_alarm"].is_null()) << shown.dump();
    EXPECT_EQ(testing::PresenceTemplateValue(config, shown), "OFF");
    EXPECT_EQ(Find(out, "quorvanel/site1/alarm")->payload, "OFF");
    EXPECT_FALSE(station.TimeAlarmStands(kFreezerRom));

    // The end of a probe that left the table needs nothing; a rise on a
    // probe the copy does not know asks for the table.
    const RomCode gone{0x28, 9, 9, 9, 9, 9, 9, 9};
    EXPECT_TRUE(station.Apply(TimeAlarmChange(gone, 70, kTimeAlarmHigh, kAlarmNone)).empty());
    EXPECT_FALSE(station.NeedsTable());
    EXPECT_TRUE(station.Apply(TimeAlarmChange(gone, 70, kAlarmNone, kTimeAlarmHigh)).empty());
    EXPECT_TRUE(station.NeedsTable());
}

TEST(PublishedStation, ARebuildTakesTheTimeAlarmsAsTheyStand) {
    PublishedStation station(Identity());
    station.Refresh(ThreeProbes(), {}, kNoon);
    const std::string state = "quorvanel/site1/probe/" + RomToHex(kCellarRom) + "/state";

    // Events were lost while the alarm rose.
    std::vector<MqttMessage> out =
        station.Refresh(ThreeProbes(), {{kCellarRom, {kTimeAlarmLow, 90}}}, kNoon, true);
    EXPECT_EQ(Payload(out, state)["time_alarm"], json({{"side", "low"}, {"minutes", 90}}));
    EXPECT_EQ(Find(out, "quorvanel/site1/alarm")->payload, "ON");
    // A broker that comes back gets it with everything else.
    EXPECT_EQ(Payload(station.Everything(), state)["time_alarm"]["side"], "low");

    // ... and while it ended.
    out = station.Refresh(ThreeProbes(), {}, kNoon, true);
    EXPECT_TRUE(Payload(out, state)["time_alarm"].is_null());
    EXPECT_EQ(Find(out, "quorvanel/site1/alarm")->payload, "OFF");
}

TEST(PublishedStation, KeepsOnlyTheLatestStateOfEachProbe) {
    PublishedStation station(Identity());
    station.Refresh(ThreeProbes(), {}, kNoon);
    LocalDateTime time = kNoon;
    for (int i = 0; i < 50; ++i) {
        time.second = i;
        station.Apply(Reading(kFreezerRom, -20.0 + i * 0.1, time));
        LiveEvent stored;
        stored.kind = LiveEventKind::kStored;
        station.Apply(stored);
    }
    const std::vector<MqttMessage> all = station.Everything();
    const std::string state = "quorvanel/site1/probe/" + RomToHex(kFreezerRom) + "/state";
    EXPECT_EQ(std::count_if(all.begin(), all.end(), [&](auto& m) { return m.topic == state; }), 1);
    EXPECT_EQ(Payload(all, state)["value"], -15.1);
    EXPECT_EQ(Find(all, "quorvanel/site1/event"), nullptr) << "events are not kept";
    // Three probes: a state, an alarm and attributes each, their configs,
    // the time alarm configs of the temperature and the humidity, the
    // station's alarm and its config.
    EXPECT_EQ(all.size(), 3u * 5u + 2u + 2u);

    // An event about a probe the copy of the table does not know asks for a new copy.
    EXPECT_FALSE(station.NeedsTable());
    EXPECT_TRUE(station.Apply(Reading(RomCode{0x28, 9, 9, 9, 9, 9, 9, 9}, 1.0, kNoon)).empty());
    EXPECT_TRUE(station.NeedsTable());
}

TEST(PublishedStation, DamagedNameBytesDoNotStopThePublisher) {
    PublishedStation station(Identity());
    SensorTable table = ThreeProbes();
    table.SensorArray[0].Name = "Bad \xB0 byte";
    const std::vector<MqttMessage> out = station.Refresh(table, {}, kNoon);
    const json config = Payload(out, Config("sensor", kFreezerRom, "temperature"));
    EXPECT_EQ(config["name"], "Bad \uFFFD byte");
}

TEST(PublishedStation, WithoutDiscoveryOnlyStatesArePublished) {
    MqttIdentity identity = Identity();
    identity.discoveryPrefix.clear();
    PublishedStation station(identity);
    const std::vector<MqttMessage> out = station.Refresh(ThreeProbes(), {}, kNoon);
    for (const MqttMessage& message : out) {
        EXPECT_TRUE(message.topic.starts_with("quorvanel/site1/")) << message.topic;
    }
    EXPECT_EQ(out.size(), 3u * 3u + 1u);
}

}  // namespace
}  // namespace qrv::mqtt
