#include "acquisition/time_alarms.h"

#include "acquisition/alarm_evaluation.h"

namespace qrv::acquisition {

bool CountsOutOfRange(const SensorRecord& record) {
    return (record.SensorType == kTypeTemperature || record.SensorType == kTypeHumidity) &&
           record.Status != kStatusOff && record.LostCount <= kLostCountLimit &&
           !IsErrorValue(record.Value);
}

void TimeOutOfRangeAlarms::Configure(records::TimeAlarmBook book) {
    const std::lock_guard lock(mutex_);
    book_ = std::move(book);
    for (const records::TimeAlarm& alarm : book_.entries) {
        accounts_.try_emplace(alarm.rom);
    }
}

std::vector<RomCode> TimeOutOfRangeAlarms::Unseeded() const {
    const std::lock_guard lock(mutex_);
    std::vector<RomCode> roms;
    for (const records::TimeAlarm& alarm : book_.entries) {
        const auto found = accounts_.find(alarm.rom);
        if (found != accounts_.end() && !found->second.seeded) {
            roms.push_back(alarm.rom);
        }
    }
    return roms;
}

records::TimeAlarmBook TimeOutOfRangeAlarms::Book() const {
    const std::lock_guard lock(mutex_);
    return book_;
}

void TimeOutOfRangeAlarms::Seed(const RomCode& rom, const records::OutOfRangeWindow& stored) {
    const std::lock_guard lock(mutex_);
    const auto found = accounts_.find(rom);
    if (found != accounts_.end() && !found->second.seeded) {
        // A threshold that came while the walk runs has been counting since.
        records::OutOfRangeWindow window = stored;
        window.Merge(found->second.window);
        found->second.window = window;
        found->second.seeded = true;
    }
}

std::optional<TimeOutOfRangeAlarms::Step> TimeOutOfRangeAlarms::Evaluate(const SensorRecord& record,
                                                                         bool insideWindow,
                                                                         std::int64_t minute,
                                                                         int seconds) {
    const std::lock_guard lock(mutex_);
    const records::TimeAlarm* alarm = book_.Find(record.Rom);
    const auto found = accounts_.find(record.Rom);
    if (alarm == nullptr || found == accounts_.end()) {
        return std::nullopt;
    }
    Account& account = found->second;
    account.visited = true;
    account.name = record.Name;
    if (CountsOutOfRange(record)) {
        account.window.Add(minute,
                           records::OutOfRangeSide(record.Value, record.AlarmLow, record.AlarmHigh),
                           seconds);
    }
    const records::OutOfRangeWindow::Seconds sum = account.window.Last24Hours(minute);
    const bool watched = record.Status == kStatusActive && insideWindow;
    // Low over high, as with the limits themselves.
    int state = kAlarmNone;
    if (watched && alarm->minutesAbove && sum.above > *alarm->minutesAbove * 60) {
        state = kTimeAlarmHigh;
    }
    if (watched && alarm->minutesBelow && sum.below > *alarm->minutesBelow * 60) {
        state = kTimeAlarmLow;
    }
    Step step;
    step.previous = account.state;
    step.state = state;
    const int side = state != kAlarmNone ? state : account.state;
    step.minutes = records::MinutesOf(side == kTimeAlarmLow ? sum.below : sum.above);
    account.state = state;
    account.minutes = step.minutes;
    return step;
}

std::vector<TimeOutOfRangeAlarms::Ended> TimeOutOfRangeAlarms::EndUnvisited() {
    const std::lock_guard lock(mutex_);
    std::vector<Ended> ended;
    for (auto it = accounts_.begin(); it != accounts_.end();) {
        Account& account = it->second;
        if (!account.visited && account.state != kAlarmNone) {
            ended.push_back({it->first, account.name, account.state, account.minutes});
            account.state = kAlarmNone;
        }
        account.visited = false;
        // A probe without a threshold keeps no account.
        if (book_.Find(it->first) == nullptr) {
            it = accounts_.erase(it);
        } else {
            ++it;
        }
    }
    return ended;
}

std::vector<TimeOutOfRangeAlarms::Ended> TimeOutOfRangeAlarms::EndAll() {
    const std::lock_guard lock(mutex_);
    std::vector<Ended> ended;
    for (auto& [rom, account] : accounts_) {
        if (account.state != kAlarmNone) {
            ended.push_back({rom, account.name, account.state, account.minutes});
            account.state = kAlarmNone;
        }
    }
    return ended;
}

StandingTimeAlarms TimeOutOfRangeAlarms::Standing() const {
    const std::lock_guard lock(mutex_);
    StandingTimeAlarms standing;
    for (const auto& [rom, account] : accounts_) {
        if (account.state != kAlarmNone) {
            standing.emplace(rom, StandingTimeAlarm{account.state, account.minutes});
        }
    }
    return standing;
}

}  // namespace qrv::acquisition
