#include "mqtt/published_station.h"

#include <algorithm>
#include <optional>

#include "mqtt/discovery_configs.h"
#include "sensors/rom_text.h"

namespace qrv::mqtt {

namespace {

bool IsKnownType(int sensorType) {
    return sensorType == kTypeTemperature || sensorType == kTypeHumidity ||
           sensorType == kTypeSwitch;
}

bool AlarmStands(int alarm) {
    return alarm >= kAlarmHigh && alarm <= kAlarmLost;
}

bool IsTimeAlarmSide(int side) {
    return side == kTimeAlarmHigh || side == kTimeAlarmLow;
}

std::optional<StandingTimeAlarm> TimeAlarmOf(const StandingTimeAlarms& timeAlarms,
                                             const RomCode& rom) {
    const auto standing = timeAlarms.find(rom);
    if (standing == timeAlarms.end() || !IsTimeAlarmSide(standing->second.side)) {
        return std::nullopt;
    }
    return standing->second;
}

}  // namespace

PublishedStation::PublishedStation(MqttIdentity identity) : identity_(std::move(identity)) {}

void PublishedStation::Set(const std::string& topic, std::string payload,
                           std::vector<MqttMessage>& out) {
    retired_.erase(topic);
    auto [at, inserted] = retained_.try_emplace(topic, payload);
    if (!inserted && at->second == payload) {
        return;
    }
    at->second = payload;
    out.push_back({topic, std::move(payload), true});
}

void PublishedStation::Retire(const std::string& topic, std::vector<MqttMessage>& out) {
    if (retained_.erase(topic) > 0) {
        out.push_back({topic, "", true});
    }
    retired_.insert(topic);
}

bool PublishedStation::IsConfigTopic(const std::string& topic) const {
    return !identity_.discoveryPrefix.empty() &&
           topic.starts_with(identity_.discoveryPrefix + "/") && topic.ends_with("/config");
}

void PublishedStation::PublishProbe(const Probe& probe, std::vector<MqttMessage>& out) {
    Set(identity_.ProbeStateTopic(probe.state.rom), ProbeStateJson(probe.state), out);
    Set(identity_.ProbeAlarmTopic(probe.state.rom), ProbeAlarmJson(probe.state), out);
    Set(identity_.ProbeAttributesTopic(probe.state.rom), ProbeAttributesJson(probe.state), out);
}

void PublishedStation::PublishStationAlarm(std::vector<MqttMessage>& out) {
    const bool alarm = networkLost_ || std::any_of(probes_.begin(), probes_.end(), [](auto& p) {
                           const PublishedProbe& probe = p.second.state;
                           return probe.status != kStatusOff &&
                                  (AlarmStands(probe.alarm) || probe.timeAlarm.has_value());
                       });
    Set(identity_.StationAlarmTopic(), alarm ? "ON" : "OFF", out);
}

std::vector<MqttMessage> PublishedStation::Refresh(const SensorTable& table,
                                                   const StandingTimeAlarms& timeAlarms,
                                                   const LocalDateTime& now, bool missedEvents) {
    needsTable_ = false;
    std::map<std::string, Probe> fresh;
    int active = 0;
    for (int i = 0; i <= table.GetMax1820Index(); ++i) {
        const SensorRecord& record = table.SensorArray[static_cast<std::size_t>(i)];
        if (!IsKnownType(record.SensorType)) {
            continue;
        }
        Probe probe{PublishedProbeOf(record, now), i};
        probe.state.timeAlarm = TimeAlarmOf(timeAlarms, record.Rom);
        const auto known = probes_.find(RomToHex(record.Rom));
        if (known != probes_.end() && known->second.state.sensorType == record.SensorType) {
            // The events knew the value and its time; the table's settings win.
            if (!missedEvents || probe.state.value == known->second.state.value) {
                probe.state.value = known->second.state.value;
                probe.state.time = known->second.state.time;
            }
            probe.state.previousAlarm = known->second.state.previousAlarm;
            probe.state.alarmTime = known->second.state.alarmTime;
            if (probe.state.alarm != known->second.state.alarm) {
                probe.state.previousAlarm = known->second.state.alarm;
                probe.state.alarmTime = now;
            }
        }
        if (record.Status != kStatusOff) {
            ++active;
        }
        fresh.emplace(RomToHex(record.Rom), std::move(probe));
    }

    std::vector<MqttMessage> out;
    for (const auto& [rom, old] : probes_) {
        const auto kept = fresh.find(rom);
        if (kept == fresh.end()) {
            for (const std::string& topic : ProbeDiscoveryTopics(identity_, old.state)) {
                Retire(topic, out);
            }
            Retire(identity_.ProbeStateTopic(old.state.rom), out);
            Retire(identity_.ProbeAlarmTopic(old.state.rom), out);
            Retire(identity_.ProbeAttributesTopic(old.state.rom), out);
        } else if (kept->second.state.sensorType != old.state.sensorType) {
            for (const std::string& topic : ProbeDiscoveryTopics(identity_, old.state)) {
                Retire(topic, out);
            }
        }
    }
    probes_ = std::move(fresh);

    std::vector<std::pair<int, const Probe*>> bySlot;
    for (const auto& [rom, probe] : probes_) {
        bySlot.emplace_back(probe.slot, &probe);
    }
    std::sort(bySlot.begin(), bySlot.end());
    if (!identity_.discoveryPrefix.empty()) {
        const MqttMessage station = StationDiscovery(identity_);
        Set(station.topic, station.payload, out);
        const int expireAfter = ExpireAfterSeconds(active);
        for (const auto& [slot, probe] : bySlot) {
            std::vector<MqttMessage> configs = ProbeDiscovery(identity_, probe->state, expireAfter);
            if (configs.empty()) {
                for (const std::string& topic : ProbeDiscoveryTopics(identity_, probe->state)) {
                    Retire(topic, out);
                }
            }
            for (MqttMessage& config : configs) {
                Set(config.topic, std::move(config.payload), out);
            }
        }
    }
    for (const auto& [slot, probe] : bySlot) {
        PublishProbe(*probe, out);
    }
    PublishStationAlarm(out);
    return out;
}

std::vector<MqttMessage> PublishedStation::Apply(const LiveEvent& event) {
    std::vector<MqttMessage> out;
    if (event.kind == LiveEventKind::kReading || event.kind == LiveEventKind::kAlarmChanged) {
        const auto known = probes_.find(RomToHex(event.rom));
        if (known == probes_.end()) {
            needsTable_ = true;
            return out;
        }
        PublishedProbe& probe = known->second.state;
        probe.value = event.value;
        if (event.kind == LiveEventKind::kReading) {
            probe.time = event.time;
        } else {
            probe.previousAlarm = event.oldAlarm;
            probe.alarm = event.newAlarm;
            probe.alarmTime = event.time;
        }
        PublishProbe(known->second, out);
        PublishStationAlarm(out);
        return out;
    }
    if (event.kind == LiveEventKind::kTimeAlarmChanged) {
        const auto known = probes_.find(RomToHex(event.rom));
        if (known == probes_.end()) {
            // An end may name a probe that has left the table; a rise names
            // one that is new.
            needsTable_ = needsTable_ || IsTimeAlarmSide(event.newAlarm);
            return out;
        }
        std::optional<StandingTimeAlarm>& timeAlarm = known->second.state.timeAlarm;
        timeAlarm.reset();
        if (IsTimeAlarmSide(event.newAlarm)) {
            timeAlarm = StandingTimeAlarm{event.newAlarm, static_cast<int>(event.value)};
        }
        PublishProbe(known->second, out);
        PublishStationAlarm(out);
        return out;
    }
    if (event.kind == LiveEventKind::kNetworkLost || event.kind == LiveEventKind::kNetworkBack) {
        networkLost_ = event.kind == LiveEventKind::kNetworkLost;
    }
    if (const auto json = StationEventJson(event)) {
        out.push_back({identity_.EventTopic(), *json, false});
    }
    PublishStationAlarm(out);
    return out;
}

bool PublishedStation::TimeAlarmStands(const RomCode& rom) const {
    const auto known = probes_.find(RomToHex(rom));
    return known != probes_.end() && known->second.state.timeAlarm.has_value();
}

void PublishedStation::TakeTimeAlarmMinutes(const StandingTimeAlarms& timeAlarms) {
    for (auto& [rom, probe] : probes_) {
        std::optional<StandingTimeAlarm>& published = probe.state.timeAlarm;
        const std::optional<StandingTimeAlarm> standing = TimeAlarmOf(timeAlarms, probe.state.rom);
        // A side that changed or an end is the event's to tell, in its turn.
        if (published && standing && standing->side == published->side) {
            published->minutes = standing->minutes;
        }
    }
}

std::vector<MqttMessage> PublishedStation::Everything() const {
    std::vector<MqttMessage> out = Discovery();
    for (const auto& [topic, payload] : retained_) {
        if (!IsConfigTopic(topic)) {
            out.push_back({topic, payload, true});
        }
    }
    for (const std::string& topic : retired_) {
        if (!IsConfigTopic(topic)) {
            out.push_back({topic, "", true});
        }
    }
    return out;
}

std::vector<MqttMessage> PublishedStation::Discovery() const {
    std::vector<MqttMessage> out;
    for (const auto& [topic, payload] : retained_) {
        if (IsConfigTopic(topic)) {
            out.push_back({topic, payload, true});
        }
    }
    for (const std::string& topic : retired_) {
        if (IsConfigTopic(topic)) {
            out.push_back({topic, "", true});
        }
    }
    return out;
}

}  // namespace qrv::mqtt
