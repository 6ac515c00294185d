#pragma once

#include <vector>

#include "acquisition/alarm_log.h"
#include "acquisition/alarm_texts.h"
#include "sensors/sensor_table.h"

namespace qrv::shell {

// The alarm states and delay counters of the probes across a reinstallation,
// which reloads the table from the sensor file: an alarm whose cause still
// stands must not vanish, and one that does vanish must say so in the alarm
// file. Used on the user-interface thread while acquisition is paused.
class StandingAlarms {
  public:
    // Remembers every probe with an alarm or a running delay.
    static StandingAlarms Take(const SensorTable& table);

    // Every probe that the installation found again gets its state and
    // counters back; the alarm of any other is written off as not found.
    void GiveBack(SensorTable& table, acquisition::AlarmLog& alarmFile) const;

    // Writes every remembered alarm off for the reason given.
    void WriteOff(acquisition::AlarmClearReason reason, acquisition::AlarmLog& alarmFile) const;

    bool Empty() const { return kept_.empty(); }

  private:
    std::vector<SensorRecord> kept_;
};

}  // namespace qrv::shell
