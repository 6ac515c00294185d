#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "feed/standing_time_alarms.h"
#include "records/time_alarm.h"
#include "sensors/sensor_record.h"

namespace qrv::acquisition {

// The alarm on each probe's minutes out of range in the last 24 hours, for
// the probes that have a threshold: a rolling account per probe (by ROM, so
// it follows a probe whose slot moves), fed by the alarm walk with the
// reading the table holds and, for the time before the station started,
// from the stored values. Safe from any thread.
class TimeOutOfRangeAlarms {
  public:
    // Takes new thresholds, at the start or while the walk runs. A probe
    // keeps its account and the minutes counted; a probe whose
    // threshold went has its standing alarm ended at the next walk.
    void Configure(records::TimeAlarmBook book);
    // The probes with a threshold whose account has not been seeded.
    std::vector<RomCode> Unseeded() const;
    // The thresholds in use.
    records::TimeAlarmBook Book() const;
    // The account a probe starts from: the stored minutes before now, with
    // what the walk counted since its threshold came.
    void Seed(const RomCode& rom, const records::OutOfRangeWindow& stored);

    struct Step {
        int state = kAlarmNone;  // kTimeAlarmHigh, kTimeAlarmLow or kAlarmNone
        int previous = kAlarmNone;
        int minutes = 0;  // on the side of the state (or of the previous one)
    };
    // One evaluation of the probe in the walk: counts `seconds` of its
    // reading if it is out of range and measured, then says where its alarm
    // stands. The alarm stands only for an active probe inside its alarm
    // window, like the other alarms. None for a probe without a threshold
    // or an account.
    std::optional<Step> Evaluate(const SensorRecord& record, bool insideWindow, std::int64_t minute,
                                 int seconds);

    struct Ended {
        RomCode rom{};
        std::string name;
        int previous = kAlarmNone;
        int minutes = 0;
    };
    // Ends every standing alarm of a probe the walk did not meet (its
    // threshold or the probe itself is gone), and begins the next walk.
    std::vector<Ended> EndUnvisited();
    // Ends every standing alarm (alarms switched off); the counts stay.
    std::vector<Ended> EndAll();
    // The alarms that stand now, by probe.
    StandingTimeAlarms Standing() const;

  private:
    struct Account {
        records::OutOfRangeWindow window;
        bool seeded = false;
        bool visited = false;
        int state = kAlarmNone;
        int minutes = 0;
        std::string name;
    };

    mutable std::mutex mutex_;
    records::TimeAlarmBook book_;
    std::map<RomCode, Account> accounts_;
};

// Whether the probe's reading counts for its time out of range: a measured
// temperature or humidity that is not off and not lost.
bool CountsOutOfRange(const SensorRecord& record);

}  // namespace qrv::acquisition
