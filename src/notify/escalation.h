#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "config/notify_config.h"
#include "notify/notice.h"

namespace qrv::notify {

// Whether an entry of a contact's probes means the probe of that name or ROM
// code (16 hex digits), in either case.
bool NamesProbe(std::string_view entry, std::string_view name, const RomCode& rom);

// A standing alarm as the call list keeps it, times on the monotonic clock.
struct StandingAlarm {
    AlarmFacts facts;
    double since = 0.0;
    LocalDateTime rose;
    // The contacts for this probe, in list order.
    std::vector<int> callList;
    // The next on the list to call; 0 while the alarm waits for the others
    // of its group before the first contact hears of it.
    std::size_t nextOnList = 0;
    double nextStep = 0.0;  // escalation or reminder, by acknowledged
    bool acknowledged = false;
    std::string acknowledgedBy;
    // Who was told, and when last.
    std::map<int, double> told;
    // Taken over from before a restart and not seen since: whether it still
    // stands is not known yet, so it neither escalates nor reminds.
    bool awaiting = false;
    // The severity it had before the restart: coming back up to it is no
    // worse state.
    int restoredSeverity = 0;
    // A worse state that waits for its group before it is told.
    bool worsePending = false;
    // It ended (facts hold the end) and its end waits for its group; when.
    bool ending = false;
    double endedAt = 0.0;
};

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
// Steps that came due while nothing could send them (a late thread, a
// station that was stopped) are taken late: every escalation, but one
// reminder, and the next counts from then.
//
// Grouping (groupSeconds above 0): a new alarm, a worse state or an end is
// told groupSeconds after the first of those that came close together, so
// that alarms rising (or ending) together come out of one Advance() with
// the same kind and, merged by GroupedByContact(), reach a contact as one
// notice; their escalations and reminders keep in step from then on. An
// end drops the alarm from the escalation at once; one that ends before
// anyone heard of it is told to the first contact as ended, so that no
// alarm passes unseen.
class EscalationEngine {
  public:
    EscalationEngine(std::vector<NotifyContact> contacts, int escalateAfterMinutes,
                     int remindAfterMinutes, int groupSeconds);

    // A probe's (or the unit's) alarm state moved; facts carry the new state.
    std::vector<Notice> OnAlarmChanged(const AlarmFacts& facts, double now,
                                       const LocalDateTime& when);
    // A notice of the alarm (AlarmKeyOf) to contact was given up: the next
    // contact on its list is called now, told who could not be reached and
    // why (unreached). Nothing when the alarm no longer stands or the list
    // has no one else.
    std::vector<Notice> OnUnreachable(const std::string& alarm, int contact,
                                      const std::string& unreached, double now,
                                      const LocalDateTime& when);
    // The alarm button (or a web account): every standing alarm is taken
    // care of by who.
    void OnAcknowledged(const std::string& who, double now);
    // The escalations and reminders due by now; present() brings an alarm's
    // facts (value, limits, minutes) up to date before they are told.
    std::vector<Notice> Advance(double now, const LocalDateTime& when,
                                const std::function<void(AlarmFacts&)>& present);
    // When Advance() has something to do next; infinity when nothing stands.
    double NextDue() const;

    // Whether the contact is told about the probe at all.
    bool Covers(int contact, const AlarmFacts& facts) const;
    int StandingAlarms() const { return static_cast<int>(alarms_.size()); }

    // What stands, to be kept over a restart, and taking it back after one:
    // every alarm taken back awaits news of its probe.
    std::vector<StandingAlarm> Snapshot() const;
    void Restore(const std::vector<StandingAlarm>& alarms);
    // The alarms (by AlarmKeyOf) that await news after a restart.
    std::vector<std::string> Awaiting() const;
    // A standing alarm by its key; nullptr when none stands.
    const StandingAlarm* Find(const std::string& key) const;
    // Whether the alarm stands and has not ended (its end may still wait).
    bool Stands(const std::string& key) const;

  private:
    void Tell(StandingAlarm& alarm, int contact, NoticeKind kind, const LocalDateTime& when,
              double now, std::vector<Notice>& out);
    void TellWorse(StandingAlarm& alarm, const LocalDateTime& when, double now,
                   std::vector<Notice>& out);
    void TellEnd(const StandingAlarm& alarm, const LocalDateTime& when,
                 std::vector<Notice>& out) const;
    // The wait before the next step once a notice went out.
    double Following(const StandingAlarm& alarm) const;
    // When the group a change at `now` belongs to is told: the open one's
    // time, or a new group's.
    double JoinGroup(double& groupTold, double now);
    std::vector<int> Acknowledgers(const StandingAlarm& alarm) const;

    std::vector<NotifyContact> contacts_;
    double escalateAfter_;
    double remindAfter_;
    double groupSeconds_;
    // When the open group of rising (worse) alarms and of ends is told.
    double risingTold_;
    double endingTold_;
    std::map<std::string, StandingAlarm> alarms_;
};

// Notices of one batch merged: those of one kind to one contact become one
// notice naming every alarm (the first keeps its place, the others go into
// its `also`). An escalation that says who could not be reached merges only
// with those that say the same.
std::vector<Notice> GroupedByContact(std::vector<Notice> notices);

}  // namespace qrv::notify
