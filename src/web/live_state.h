#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "feed/standing_time_alarms.h"
#include "runtime/clock.h"
#include "sensors/sensor_record.h"

namespace qrv::web {

// A probe's calibration as the dashboard notes it: when it is next due, and
// whether that is soon (within 30 days) or past.
struct LiveCalibration {
    std::string nextDue;  // YYYY-MM-DD
    std::string due;      // "soon", "overdue" or empty

    friend bool operator==(const LiveCalibration&, const LiveCalibration&) = default;
};

// A probe's standing alarm on its minutes out of range in the last 24 hours.
struct LiveTimeAlarm {
    std::string side;  // "high" or "low"
    int minutes = 0;

    friend bool operator==(const LiveTimeAlarm&, const LiveTimeAlarm&) = default;
};

// One line of the results table as the station's window shows it, plus what
// a page needs to draw and find it.
struct LiveRow {
    std::string rom;
    int index = 0;
    std::string name;
    std::string type;
    std::string units;
    std::string status;
    std::array<std::string, 4> cells;
    std::uint32_t background = 0;
    std::uint32_t color = 0;
    std::optional<double> value;
    int alarm = kAlarmNone;
    bool lost = false;
    std::optional<LocalDateTime> lastRead;
    std::optional<LiveCalibration> calibration;  // none for a probe without one
    std::optional<LiveTimeAlarm> timeAlarm;      // none unless one stands

    friend bool operator==(const LiveRow&, const LiveRow&) = default;
};

struct LiveStation {
    std::string networkName;
    bool networkLost = false;
    bool acquisition = false;
    bool alarmsEnabled = true;
    bool muted = false;
    bool alarm = false;
    std::string banner;
    std::array<std::string, 4> headers;
    int probesLost = 0;
    // The last notice of the call list given up, in the page's language;
    // empty while none stands.
    std::string noticeProblem;

    friend bool operator==(const LiveStation&, const LiveStation&) = default;
};

struct LiveSnapshot {
    LocalDateTime time;
    LiveStation station;
    std::vector<LiveRow> probes;
};

// The ROM of RomToHex's text, in either case.
std::optional<RomCode> ParseRomText(std::string_view text);
// "2026-12-08T11:40:05".
std::string IsoTime(const LocalDateTime& time);
// "temperature", "humidity", "switch" or "unknown".
std::string_view TypeName(int sensorType);
std::string_view StatusName(int status);
// "#RRGGBB".
std::string ColourText(std::uint32_t rgb);

// The dashboard's form of a standing time alarm; none for kAlarmNone.
std::optional<LiveTimeAlarm> TimeAlarmNote(const StandingTimeAlarm& standing);

// The parts of a row that come from the probe's record alone.
LiveRow RowFromRecord(const SensorRecord& record, int index);

std::string SnapshotJson(const LiveSnapshot& snapshot);
std::string RowJson(const LiveRow& row);

// What changed from before to after as the push stream's update, or nothing
// when nothing did. A different set or order of probes cannot be told as an
// update: the caller sends a snapshot then (needsSnapshot).
struct LiveChange {
    bool needsSnapshot = false;
    std::optional<std::string> update;
};
LiveChange Compare(const LiveSnapshot& before, const LiveSnapshot& after);

}  // namespace qrv::web
