#pragma once

#include <optional>
#include <string>

#include "feed/live_feed.h"
#include "feed/standing_time_alarms.h"
#include "mqtt/mqtt_topics.h"
#include "runtime/clock.h"
#include "sensors/sensor_record.h"

namespace qrv::mqtt {

// A probe as the broker sees it.
struct PublishedProbe {
    RomCode rom{};
    std::string name;
    int sensorType = kTypeUnknown;
    int status = kStatusActive;
    int alarm = kAlarmNone;
    int previousAlarm = kAlarmNone;
    // The latest good reading and when it came; none before the first one.
    std::optional<double> value;
    std::optional<LocalDateTime> time;
    // When the alarm state last changed.
    std::optional<LocalDateTime> alarmTime;
    // The alarm on the minutes out of range in the last 24 hours, while it
    // stands (beside the alarm state, never in it).
    std::optional<StandingTimeAlarm> timeAlarm;

    friend bool operator==(const PublishedProbe&, const PublishedProbe&) = default;
};

// A record of the probe table, read at time now: its value when it holds a
// reading (not an error code or the "not read yet" mark).
PublishedProbe PublishedProbeOf(const SensorRecord& record, const LocalDateTime& now);

// "2026-01-05T12:00:00", the station's local time.
std::string IsoTime(const LocalDateTime& time);
// The state as the alarm sensor shows it: "OK", "High Alarm", ...
std::string AlarmText(int alarm);

// BASE/STATION/probe/ROM/state: value, unit, status, alarm and time, and for
// a temperature or humidity the time alarm ({"side": "high"|"low",
// "minutes": N} or null). A probe that is off publishes no value ("value":
// null), and neither does one whose alarm state says it is lost.
std::string ProbeStateJson(const PublishedProbe& probe);
// BASE/STATION/probe/ROM/attributes: rom, status and, for a temperature or
// humidity, the time alarm; nothing that changes with every reading.
std::string ProbeAttributesJson(const PublishedProbe& probe);
// BASE/STATION/probe/ROM/alarm: the state, the one before and when.
std::string ProbeAlarmJson(const PublishedProbe& probe);
// BASE/STATION/event for the station's own events; none for probe events.
std::optional<std::string> StationEventJson(const LiveEvent& event);

}  // namespace qrv::mqtt
