#pragma once

#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "config/notify_config.h"
#include "notify/contact_delivery.h"
#include "notify/escalation.h"
#include "runtime/clock.h"
#include "runtime/event_log.h"

namespace qrv::notify {

// The file of the station directory that keeps the call list over a restart.
inline constexpr const char* kCallListFileName = "QRVCallList.json";

// Seconds of a local date and time on one scale: what the file keeps, as
// the monotonic clock starts anew with every start.
double CivilSeconds(const LocalDateTime& when);

// What the call list had when the station stopped: the standing alarms and,
// per contact (index into the contacts), the messages not yet delivered;
// times on the clock of this start.
struct CallListState {
    std::vector<StandingAlarm> alarms;
    std::vector<std::vector<QueuedMessage>> queued;
};

// The call list's state file: rewritten whole (temporary file and rename)
// after every change, so a crash or a power cut leaves the last state or
// the one before, never half of one. Contacts are kept by name, so a
// reordered list still finds them. Safe from any thread.
class CallListFile {
  public:
    CallListFile(std::filesystem::path path, std::vector<NotifyContact> contacts,
                 const Clock& clock, EventLog& log);

    // The state kept in the file; nothing when there is none. A damaged or
    // foreign file is named in the log and renamed aside, and nothing is
    // taken from it.
    CallListState Load();
    void SaveAlarms(const std::vector<StandingAlarm>& alarms);
    void SaveQueued(int contact, const std::vector<QueuedMessage>& queued);

  private:
    int ContactIndex(const std::string& name) const;
    nlohmann::json AlarmJson(const StandingAlarm& alarm, double offset) const;
    StandingAlarm AlarmOf(const nlohmann::json& doc, double offset) const;
    void SetAside(const std::string& problem);
    void WriteLocked();

    const std::filesystem::path path_;
    const std::vector<NotifyContact> contacts_;
    const Clock& clock_;
    EventLog& log_;
    // Civil seconds minus the clock's monotonic seconds, taken once: times
    // kept stay as far apart as they were, whatever the system clock does.
    const double offset_;

    std::mutex mutex_;
    nlohmann::json alarms_ = nlohmann::json::array();
    std::vector<nlohmann::json> queued_;
    // A write that failed is logged once, until one succeeds again.
    bool failing_ = false;
    // Until the first write, the file holds what another start left.
    bool written_ = false;
};

}  // namespace qrv::notify
