#include "notify/escalation.h"

#include <algorithm>
#include <cctype>
#include <limits>

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

EscalationEngine::EscalationEngine(std::vector<NotifyContact> contacts, int escalateAfterMinutes,
                                   int remindAfterMinutes)
    : contacts_(std::move(contacts)),
      escalateAfter_(escalateAfterMinutes * 60.0),
      remindAfter_(remindAfterMinutes * 60.0) {}

EscalationEngine::Key EscalationEngine::KeyOf(const AlarmFacts& facts) {
    if (facts.unit) {
        return {};
    }
    // A probe's time alarm is escalated and ended on its own, beside the
    // alarm on its value.
    return facts.timeAlarm ? RomToHex(facts.rom) + "/time" : RomToHex(facts.rom);
}

bool EscalationEngine::Covers(int contact, const AlarmFacts& facts) const {
    const NotifyContact& c = contacts_.at(static_cast<std::size_t>(contact));
    if (c.probes.empty() || facts.unit) {
        return true;
    }
    const std::string rom = RomToHex(facts.rom);
    return std::any_of(c.probes.begin(), c.probes.end(), [&](const std::string& probe) {
        return SameText(probe, facts.name) || SameText(probe, rom);
    });
}

void EscalationEngine::Tell(Standing& alarm, int contact, NoticeKind kind,
                            const LocalDateTime& when, double now, std::vector<Notice>& out) {
    alarm.told.insert(contact);
    out.push_back({contact, kind, alarm.facts, when, now - alarm.since, alarm.acknowledgedBy});
}

std::vector<Notice> EscalationEngine::OnAlarmChanged(const AlarmFacts& facts, double now,
                                                     const LocalDateTime& when) {
    std::vector<Notice> out;
    const Key key = KeyOf(facts);
    auto found = alarms_.find(key);
    if (facts.state == kAlarmNone) {
        if (found == alarms_.end()) {
            return out;
        }
        Standing& alarm = found->second;
        alarm.facts = facts;
        for (int contact : alarm.told) {
            out.push_back({contact, NoticeKind::kEnded, facts, when, now - alarm.since,
                           alarm.acknowledgedBy});
        }
        alarms_.erase(found);
        return out;
    }
    if (found == alarms_.end()) {
        Standing alarm;
        alarm.facts = facts;
        alarm.since = now;
        for (int i = 0; i < static_cast<int>(contacts_.size()); ++i) {
            if (Covers(i, facts)) {
                alarm.callList.push_back(i);
            }
        }
        if (alarm.callList.empty()) {
            return out;
        }
        alarm.nextOnList = 1;
        alarm.nextStep = now + (alarm.callList.size() > 1 ? escalateAfter_ : remindAfter_);
        Standing& stored = alarms_.emplace(key, std::move(alarm)).first->second;
        Tell(stored, stored.callList.front(), NoticeKind::kAlarm, when, now, out);
        return out;
    }
    Standing& alarm = found->second;
    const bool worse = Severity(facts.state) > Severity(alarm.facts.state);
    alarm.facts = facts;
    if (!worse) {
        return out;
    }
    alarm.acknowledged = false;
    alarm.acknowledgedBy.clear();
    std::set<int> targets = alarm.told;
    targets.insert(alarm.callList.front());
    for (int contact : targets) {
        Tell(alarm, contact, NoticeKind::kWorse, when, now, out);
    }
    alarm.nextStep =
        now + (alarm.nextOnList < alarm.callList.size() ? escalateAfter_ : remindAfter_);
    return out;
}

void EscalationEngine::OnAcknowledged(const std::string& who, double now) {
    for (auto& [key, alarm] : alarms_) {
        alarm.acknowledged = true;
        alarm.acknowledgedBy = who;
        alarm.nextStep = now + remindAfter_;
    }
}

std::vector<int> EscalationEngine::Acknowledgers(const Standing& alarm) const {
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
        matching.assign(alarm.told.begin(), alarm.told.end());
    }
    return matching;
}

std::vector<Notice> EscalationEngine::Advance(double now, const LocalDateTime& when) {
    std::vector<Notice> out;
    for (auto& [key, alarm] : alarms_) {
        while (alarm.nextStep <= now) {
            const double step = alarm.nextStep;
            if (alarm.acknowledged) {
                for (int contact : Acknowledgers(alarm)) {
                    Tell(alarm, contact, NoticeKind::kReminder, when, now, out);
                }
                alarm.nextStep = step + remindAfter_;
            } else if (alarm.nextOnList < alarm.callList.size()) {
                Tell(alarm, alarm.callList[alarm.nextOnList++], NoticeKind::kEscalation, when, now,
                     out);
                alarm.nextStep = step + (alarm.nextOnList < alarm.callList.size() ? escalateAfter_
                                                                                  : remindAfter_);
            } else {
                const std::set<int> told = alarm.told;
                for (int contact : told) {
                    Tell(alarm, contact, NoticeKind::kReminder, when, now, out);
                }
                alarm.nextStep = step + remindAfter_;
            }
        }
    }
    return out;
}

double EscalationEngine::NextDue() const {
    double next = std::numeric_limits<double>::infinity();
    for (const auto& [key, alarm] : alarms_) {
        next = std::min(next, alarm.nextStep);
    }
    return next;
}

}  // namespace qrv::notify
