#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "config/notify_config.h"
#include "notify/notice.h"

namespace qrv::notify {

// Who is told what and when: the call list worked top-down until someone
// acknowledges. Pure logic on a monotonic time in seconds (the clock's
// Timer()), so every rule is checked in virtual time.
//  - a new alarm goes to the first contact for its probe at once;
//  - while unacknowledged, the next contact follows every escalate_after;
//    once the list is worked through, everyone told is reminded every
//    remind_after;
//  - an acknowledged alarm that still stands is reminded every remind_after
//    to the contacts of whoever acknowledged it (to everyone told when that
//    person is no contact);
//  - a worse state tells the first contact and everyone told, and counts as
//    unacknowledged again;
//  - the end goes to exactly those who were told, with the duration.
class EscalationEngine {
  public:
    EscalationEngine(std::vector<NotifyContact> contacts, int escalateAfterMinutes,
                     int remindAfterMinutes);

    // A probe's (or the unit's) alarm state moved; facts carry the new state.
    std::vector<Notice> OnAlarmChanged(const AlarmFacts& facts, double now,
                                       const LocalDateTime& when);
    // The alarm button (or a web account): every standing alarm is taken
    // care of by who.
    void OnAcknowledged(const std::string& who, double now);
    // The escalations and reminders due by now.
    std::vector<Notice> Advance(double now, const LocalDateTime& when);
    // When Advance() has something to do next; infinity when nothing stands.
    double NextDue() const;

    // Whether the contact is told about the probe at all.
    bool Covers(int contact, const AlarmFacts& facts) const;
    int StandingAlarms() const { return static_cast<int>(alarms_.size()); }

  private:
    struct Standing {
        AlarmFacts facts;
        double since = 0.0;
        // The contacts for this probe, in list order.
        std::vector<int> callList;
        std::size_t nextOnList = 0;
        double nextStep = 0.0;  // escalation or reminder, by acknowledged
        bool acknowledged = false;
        std::string acknowledgedBy;
        std::set<int> told;
    };
    // Probes by ROM (time alarms with "/time" after it); the unit under the
    // empty key.
    using Key = std::string;

    static Key KeyOf(const AlarmFacts& facts);
    void Tell(Standing& alarm, int contact, NoticeKind kind, const LocalDateTime& when, double now,
              std::vector<Notice>& out);
    std::vector<int> Acknowledgers(const Standing& alarm) const;

    std::vector<NotifyContact> contacts_;
    double escalateAfter_;
    double remindAfter_;
    std::map<Key, Standing> alarms_;
};

}  // namespace qrv::notify
