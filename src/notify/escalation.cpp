#include "notify/escalation.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <set>

#include "sensors/rom_text.h"

namespace qrv::notify {

namespace {

bool SameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

bool NamesProbe(std::string_view entry, std::string_view name, const RomCode& rom) {
    return SameText(entry, name) || SameText(entry, RomToHex(rom));
}

EscalationEngine::EscalationEngine(std::vector<NotifyContact> contacts, int escalateAfterMinutes,
                                   int remindAfterMinutes, int groupSeconds)
    : contacts_(std::move(contacts)),
      escalateAfter_(escalateAfterMinutes * 60.0),
      remindAfter_(remindAfterMinutes * 60.0),
      groupSeconds_(std::max(0, groupSeconds)),
      risingTold_(-std::numeric_limits<double>::infinity()),
      endingTold_(-std::numeric_limits<double>::infinity()) {}

bool EscalationEngine::Covers(int contact, const AlarmFacts& facts) const {
    const NotifyContact& c = contacts_.at(static_cast<std::size_t>(contact));
    if (c.probes.empty() || facts.unit) {
        return true;
    }
    return std::any_of(c.probes.begin(), c.probes.end(), [&](const std::string& probe) {
        return NamesProbe(probe, facts.name, facts.rom);
    });
}

void EscalationEngine::Tell(StandingAlarm& alarm, int contact, NoticeKind kind,
                            const LocalDateTime& when, double now, std::vector<Notice>& out) {
    alarm.told[contact] = now;
    Notice notice;
    notice.contact = contact;
    notice.kind = kind;
    notice.facts = alarm.facts;
    notice.when = when;
    notice.rose = alarm.rose;
    notice.stoodSeconds = now - alarm.since;
    notice.acknowledgedBy = alarm.acknowledgedBy;
    out.push_back(std::move(notice));
}

void EscalationEngine::TellWorse(StandingAlarm& alarm, const LocalDateTime& when, double now,
                                 std::vector<Notice>& out) {
    std::set<int> targets;
    for (const auto& [contact, at] : alarm.told) {
        targets.insert(contact);
    }
    targets.insert(alarm.callList.front());
    for (int contact : targets) {
        Tell(alarm, contact, NoticeKind::kWorse, when, now, out);
    }
}

void EscalationEngine::TellEnd(const StandingAlarm& alarm, const LocalDateTime& when,
                               std::vector<Notice>& out) const {
    std::vector<int> targets;
    for (const auto& [contact, at] : alarm.told) {
        targets.push_back(contact);
    }
    // It ended while it waited for its group: the first contact still hears
    // that it was there, and for how long.
    if (targets.empty() && alarm.nextOnList == 0) {
        targets.push_back(alarm.callList.front());
    }
    for (int contact : targets) {
        Notice notice;
        notice.contact = contact;
        notice.kind = NoticeKind::kEnded;
        notice.facts = alarm.facts;
        notice.when = when;
        notice.rose = alarm.rose;
        notice.stoodSeconds = alarm.endedAt - alarm.since;
        notice.acknowledgedBy = alarm.acknowledgedBy;
        out.push_back(std::move(notice));
    }
}

double EscalationEngine::Following(const StandingAlarm& alarm) const {
    return alarm.nextOnList < alarm.callList.size() && !alarm.acknowledged ? escalateAfter_
                                                                           : remindAfter_;
}

double EscalationEngine::JoinGroup(double& groupTold, double now) {
    if (now > groupTold) {
        groupTold = now + groupSeconds_;
    }
    return groupTold;
}

std::vector<Notice> EscalationEngine::OnAlarmChanged(const AlarmFacts& facts, double now,
                                                     const LocalDateTime& when) {
    std::vector<Notice> out;
    const std::string key = AlarmKeyOf(facts);
    auto found = alarms_.find(key);
    if (facts.state == kAlarmNone) {
        if (found == alarms_.end() || found->second.ending) {
            return out;
        }
        StandingAlarm& alarm = found->second;
        alarm.facts = facts;
        alarm.ending = true;
        alarm.endedAt = now;
        alarm.worsePending = false;
        alarm.awaiting = false;
        if (groupSeconds_ > 0.0) {
            alarm.nextStep = JoinGroup(endingTold_, now);
            return out;
        }
        TellEnd(alarm, when, out);
        alarms_.erase(found);
        return out;
    }
    if (found != alarms_.end() && found->second.ending) {
        // Back before its end was told: the end goes out now, and this is a
        // new alarm.
        TellEnd(found->second, when, out);
        alarms_.erase(found);
        found = alarms_.end();
    }
    if (found == alarms_.end()) {
        StandingAlarm alarm;
        alarm.facts = facts;
        alarm.since = now;
        alarm.rose = when;
        for (int i = 0; i < static_cast<int>(contacts_.size()); ++i) {
            if (Covers(i, facts)) {
                alarm.callList.push_back(i);
            }
        }
        if (alarm.callList.empty()) {
            return out;
        }
        if (groupSeconds_ > 0.0) {
            alarm.nextStep = JoinGroup(risingTold_, now);
            alarms_.emplace(key, std::move(alarm));
            return out;
        }
        alarm.nextOnList = 1;
        alarm.nextStep = now + Following(alarm);
        StandingAlarm& stored = alarms_.emplace(key, std::move(alarm)).first->second;
        Tell(stored, stored.callList.front(), NoticeKind::kAlarm, when, now, out);
        return out;
    }
    StandingAlarm& alarm = found->second;
    const int severity = Severity(facts.state);
    const bool worse = severity > std::max(Severity(alarm.facts.state), alarm.restoredSeverity);
    const bool wasAwaiting = alarm.awaiting;
    alarm.awaiting = false;
    if (severity >= alarm.restoredSeverity) {
        alarm.restoredSeverity = 0;
    }
    alarm.facts = facts;
    if (wasAwaiting && groupSeconds_ > 0.0 && (alarm.nextOnList == 0 || alarm.worsePending)) {
        // A group that waited when the station stopped gathers again from
        // the alarms that come back now.
        alarm.nextStep = JoinGroup(risingTold_, now);
    }
    if (!worse) {
        return out;
    }
    alarm.acknowledged = false;
    alarm.acknowledgedBy.clear();
    if (alarm.nextOnList == 0) {
        // Nobody heard of it yet: its first notice tells the worse state.
        return out;
    }
    if (groupSeconds_ > 0.0) {
        alarm.worsePending = true;
        alarm.nextStep = JoinGroup(risingTold_, now);
        return out;
    }
    TellWorse(alarm, when, now, out);
    alarm.nextStep = now + Following(alarm);
    return out;
}

std::vector<Notice> EscalationEngine::OnUnreachable(const std::string& key, int contact,
                                                    const std::string& unreached, double now,
                                                    const LocalDateTime& when) {
    std::vector<Notice> out;
    const auto found = alarms_.find(key);
    if (found == alarms_.end() || found->second.awaiting || found->second.ending) {
        return out;
    }
    StandingAlarm& alarm = found->second;
    const auto at = std::find(alarm.callList.begin(), alarm.callList.end(), contact);
    if (at == alarm.callList.end() || alarm.callList.size() < 2) {
        return out;
    }
    const std::size_t next =
        (static_cast<std::size_t>(at - alarm.callList.begin()) + 1) % alarm.callList.size();
    if (next >= alarm.nextOnList) {
        // Their turn comes now; the one after follows a full step later.
        alarm.nextOnList = next + 1;
        alarm.nextStep =
            now + (alarm.nextOnList < alarm.callList.size() ? escalateAfter_ : remindAfter_);
    }
    Tell(alarm, alarm.callList[next], NoticeKind::kEscalation, when, now, out);
    out.back().unreached = unreached;
    return out;
}

void EscalationEngine::OnAcknowledged(const std::string& who, double now) {
    for (auto& [key, alarm] : alarms_) {
        alarm.acknowledged = true;
        alarm.acknowledgedBy = who;
        // A notice that waits for its group still goes out; the reminders
        // count from it.
        if (!alarm.ending && alarm.nextOnList > 0 && !alarm.worsePending) {
            alarm.nextStep = now + remindAfter_;
        }
    }
}

std::vector<int> EscalationEngine::Acknowledgers(const StandingAlarm& alarm) const {
    std::vector<int> matching;
    for (int contact : alarm.callList) {
        const NotifyContact& c = contacts_[static_cast<std::size_t>(contact)];
        const bool isThem =
            SameText(c.name, alarm.acknowledgedBy) ||
            std::any_of(c.logins.begin(), c.logins.end(), [&](const std::string& login) {
                return SameText(login, alarm.acknowledgedBy);
            });
        if (isThem) {
            matching.push_back(contact);
        }
    }
    if (matching.empty()) {
        for (const auto& [contact, at] : alarm.told) {
            matching.push_back(contact);
        }
    }
    return matching;
}

std::vector<Notice> EscalationEngine::Advance(double now, const LocalDateTime& when,
                                              const std::function<void(AlarmFacts&)>& present) {
    std::vector<Notice> out;
    for (auto it = alarms_.begin(); it != alarms_.end();) {
        StandingAlarm& alarm = it->second;
        if (alarm.awaiting || alarm.nextStep > now) {
            ++it;
            continue;
        }
        if (alarm.ending) {
            TellEnd(alarm, when, out);
            it = alarms_.erase(it);
            continue;
        }
        present(alarm.facts);
        while (alarm.nextStep <= now) {
            const double step = alarm.nextStep;
            if (alarm.nextOnList == 0) {
                alarm.nextOnList = 1;
                Tell(alarm, alarm.callList.front(), NoticeKind::kAlarm, when, now, out);
                alarm.nextStep = step + Following(alarm);
                continue;
            }
            if (alarm.worsePending) {
                alarm.worsePending = false;
                TellWorse(alarm, when, now, out);
                alarm.nextStep = step + Following(alarm);
                continue;
            }
            if (alarm.nextOnList < alarm.callList.size() && !alarm.acknowledged) {
                // Every contact the list reached meanwhile is called, in order.
                Tell(alarm, alarm.callList[alarm.nextOnList++], NoticeKind::kEscalation, when, now,
                     out);
                alarm.nextStep = step + Following(alarm);
                continue;
            }
            std::vector<int> targets = Acknowledgers(alarm);
            if (!alarm.acknowledged) {
                targets.clear();
                for (const auto& [contact, at] : alarm.told) {
                    targets.push_back(contact);
                }
            }
            for (int contact : targets) {
                Tell(alarm, contact, NoticeKind::kReminder, when, now, out);
            }
            // Reminders missed meanwhile are not made up in a burst.
            alarm.nextStep = std::max(step, now) + remindAfter_;
        }
        ++it;
    }
    return out;
}

double EscalationEngine::NextDue() const {
    double next = std::numeric_limits<double>::infinity();
    for (const auto& [key, alarm] : alarms_) {
        if (!alarm.awaiting) {
            next = std::min(next, alarm.nextStep);
        }
    }
    return next;
}

std::vector<StandingAlarm> EscalationEngine::Snapshot() const {
    std::vector<StandingAlarm> alarms;
    for (const auto& [key, alarm] : alarms_) {
        alarms.push_back(alarm);
    }
    return alarms;
}

void EscalationEngine::Restore(const std::vector<StandingAlarm>& alarms) {
    for (StandingAlarm alarm : alarms) {
        if (alarm.callList.empty()) {
            continue;
        }
        // An end that waited for its group is told at once; it needs no news.
        alarm.awaiting = !alarm.ending;
        if (!alarm.ending) {
            alarm.restoredSeverity = std::max(alarm.restoredSeverity, Severity(alarm.facts.state));
        }
        alarms_[AlarmKeyOf(alarm.facts)] = std::move(alarm);
    }
}

std::vector<std::string> EscalationEngine::Awaiting() const {
    std::vector<std::string> keys;
    for (const auto& [key, alarm] : alarms_) {
        if (alarm.awaiting) {
            keys.push_back(key);
        }
    }
    return keys;
}

const StandingAlarm* EscalationEngine::Find(const std::string& key) const {
    const auto found = alarms_.find(key);
    return found == alarms_.end() ? nullptr : &found->second;
}

bool EscalationEngine::Stands(const std::string& key) const {
    const StandingAlarm* alarm = Find(key);
    return alarm != nullptr && !alarm->ending;
}

std::vector<Notice> GroupedByContact(std::vector<Notice> notices) {
    std::vector<Notice> grouped;
    for (Notice& notice : notices) {
        const auto same = std::find_if(grouped.begin(), grouped.end(), [&](const Notice& first) {
            return first.contact == notice.contact && first.kind == notice.kind &&
                   first.kind != NoticeKind::kTest && first.unreached == notice.unreached;
        });
        if (same == grouped.end()) {
            grouped.push_back(std::move(notice));
            continue;
        }
        same->also.push_back({notice.facts, notice.rose, notice.stoodSeconds});
        same->also.insert(same->also.end(), notice.also.begin(), notice.also.end());
        if (same->acknowledgedBy.empty()) {
            same->acknowledgedBy = notice.acknowledgedBy;
        }
    }
    return grouped;
}

}  // namespace qrv::notify
