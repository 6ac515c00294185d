#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "feed/live_feed.h"
#include "feed/standing_time_alarms.h"
#include "mqtt/mqtt_message.h"
#include "mqtt/mqtt_topics.h"
#include "mqtt/probe_payloads.h"
#include "sensors/sensor_table.h"

namespace qrv::mqtt {

// What the station has told the broker, kept whether or not a broker is
// there: the latest state of every probe (one retained message per topic,
// never a backlog), the discovery configs and the station's alarm. Events
// and table copies go in; what has to be published to bring the broker up to
// date comes out. No I/O.
class PublishedStation {
  public:
    explicit PublishedStation(MqttIdentity identity);

    const MqttIdentity& Identity() const { return identity_; }

    // The probes and their settings as a copy of the table holds them, and
    // the time alarms that stand, at time now: configs of new, renamed or
    // changed probes, removals of deleted and switched-off ones, and changed
    // states. The values stay those of the events, unless events were lost
    // (missedEvents): then the table's are newer. The time alarms are taken
    // as they stand: the events queued after them lead to the same state.
    std::vector<MqttMessage> Refresh(const SensorTable& table, const StandingTimeAlarms& timeAlarms,
                                     const LocalDateTime& now, bool missedEvents = false);
    // One event of the feed: the messages it makes, in order.
    std::vector<MqttMessage> Apply(const LiveEvent& event);
    // An event named a probe this copy does not know: take a copy of the
    // table again (Refresh) before the next event.
    bool NeedsTable() const { return needsTable_; }
    // Whether the probe's time alarm stands as published.
    bool TimeAlarmStands(const RomCode& rom) const;
    // The minutes of the time alarms that stand on the side published; the
    // events only tell when an alarm rises, changes side or ends. What is
    // published changes with the probe's next state.
    void TakeTimeAlarmMinutes(const StandingTimeAlarms& timeAlarms);

    // Everything retained, for a broker that may have forgotten it (a new
    // connection): configs first, then removals, states and alarms.
    std::vector<MqttMessage> Everything() const;
    // The discovery configs and removals again, for Home Assistant starting.
    std::vector<MqttMessage> Discovery() const;

  private:
    struct Probe {
        PublishedProbe state;
        int slot = 0;
    };

    void Set(const std::string& topic, std::string payload, std::vector<MqttMessage>& out);
    void Retire(const std::string& topic, std::vector<MqttMessage>& out);
    void PublishProbe(const Probe& probe, std::vector<MqttMessage>& out);
    void PublishStationAlarm(std::vector<MqttMessage>& out);
    bool IsConfigTopic(const std::string& topic) const;

    MqttIdentity identity_;
    // Keyed by the ROM in hex: slots move on a delete, ROMs do not.
    std::map<std::string, Probe> probes_;
    // Retained topic -> payload as last handed out.
    std::map<std::string, std::string> retained_;
    // Topics that held something once and must stay empty.
    std::set<std::string> retired_;
    bool networkLost_ = false;
    bool needsTable_ = false;
};

}  // namespace qrv::mqtt
