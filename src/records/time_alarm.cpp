#include "records/time_alarm.h"

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include <algorithm>

#include "runtime/calendar.h"
#include "runtime/text_file.h"
#include "sensors/rom_text.h"

namespace qrv::records {

namespace {

using nlohmann::json;

constexpr int kSecondsPerMinute = 60;

std::optional<int> ThresholdOf(const json& entry, const char* key) {
    if (!entry.contains(key)) {
        return std::nullopt;
    }
    const json& value = entry.at(key);
    if (!value.is_number_integer()) {
        throw std::invalid_argument(fmt::format("{} is not a whole number of minutes", key));
    }
    const int minutes = value.get<int>();
    if (const std::string problem = TimeAlarmThresholdProblem(minutes); !problem.empty()) {
        throw std::invalid_argument(fmt::format("{}: {}", key, problem));
    }
    return minutes;
}

TimeAlarm TimeAlarmFromJson(const json& entry) {
    if (!entry.is_object()) {
        throw std::invalid_argument("not an object");
    }
    for (const auto& [key, value] : entry.items()) {
        if (key != "rom" && key != "minutes_above" && key != "minutes_below") {
            throw std::invalid_argument(fmt::format("unknown key {}", key));
        }
    }
    TimeAlarm alarm;
    const auto rom = RomFromHex(entry.at("rom").get<std::string>());
    if (!rom) {
        throw std::invalid_argument("rom is not 16 hexadecimal digits");
    }
    alarm.rom = *rom;
    alarm.minutesAbove = ThresholdOf(entry, "minutes_above");
    alarm.minutesBelow = ThresholdOf(entry, "minutes_below");
    if (!alarm.minutesAbove && !alarm.minutesBelow) {
        throw std::invalid_argument("neither minutes_above nor minutes_below is set");
    }
    return alarm;
}

}  // namespace

std::string TimeAlarmThresholdProblem(int minutes) {
    if (minutes < 1 || minutes >= kTimeAlarmWindowMinutes) {
        return fmt::format("{} minutes is not within 1 to {}", minutes,
                           kTimeAlarmWindowMinutes - 1);
    }
    return {};
}

const TimeAlarm* TimeAlarmBook::Find(const RomCode& rom) const {
    const auto found = std::find_if(entries.begin(), entries.end(),
                                    [&rom](const TimeAlarm& a) { return a.rom == rom; });
    return found == entries.end() ? nullptr : &*found;
}

void TimeAlarmBook::Set(const TimeAlarm& alarm) {
    Remove(alarm.rom);
    entries.push_back(alarm);
}

bool TimeAlarmBook::Remove(const RomCode& rom) {
    return std::erase_if(entries, [&rom](const TimeAlarm& a) { return a.rom == rom; }) > 0;
}

TimeAlarmFileResult ReadTimeAlarmFile(const std::filesystem::path& path) {
    TimeAlarmFileResult result;
    const FileBytes file = ReadFileBytes(path, 1024 * 1024);
    if (file.result == kFileDoesNotExist) {
        return result;
    }
    if (file.result != kFileOk) {
        result.error = path.string() + ": " + file.reason;
        return result;
    }
    std::size_t number = 0;
    try {
        const json document = json::parse(file.bytes);
        for (const json& entry : document.at("time_alarms")) {
            ++number;
            const TimeAlarm alarm = TimeAlarmFromJson(entry);
            if (result.book.Find(alarm.rom) != nullptr) {
                throw std::invalid_argument("a second entry for " + RomToHex(alarm.rom));
            }
            result.book.Set(alarm);
        }
    } catch (const std::exception& e) {
        result.book = {};
        result.error = number == 0
                           ? fmt::format("{}: {}", path.string(), e.what())
                           : fmt::format("{}: entry {}: {}", path.string(), number, e.what());
    }
    return result;
}

bool WriteTimeAlarmFile(const std::filesystem::path& path, const TimeAlarmBook& book) {
    json entries = json::array();
    for (const TimeAlarm& alarm : book.entries) {
        json entry{{"rom", RomToHex(alarm.rom)}};
        if (alarm.minutesAbove) {
            entry["minutes_above"] = *alarm.minutesAbove;
        }
        if (alarm.minutesBelow) {
            entry["minutes_below"] = *alarm.minutesBelow;
        }
        entries.push_back(std::move(entry));
    }
    const std::string text = json{{"time_alarms", entries}}.dump(2) + "\n";
    return WriteFileAtomically(path, text) == kFileOk;
}

TimeAlarmUpdate UpdateTimeAlarmFile(const std::filesystem::path& file, const RomCode& rom,
                                    const std::optional<TimeAlarm>& after) {
    TimeAlarmUpdate update;
    TimeAlarmFileResult read = ReadTimeAlarmFile(file);
    if (!read.error.empty()) {
        update.error = read.error;
        return update;
    }
    if (const TimeAlarm* old = read.book.Find(rom)) {
        update.before = *old;
    }
    if (after) {
        TimeAlarm entry = *after;
        entry.rom = rom;
        update.after = entry;
    }
    if (update.before == update.after) {
        return update;
    }
    if (update.after) {
        read.book.Set(*update.after);
    } else {
        read.book.Remove(rom);
    }
    if (!WriteTimeAlarmFile(file, read.book)) {
        update.error = "cannot write " + file.string();
        return update;
    }
    update.changed = true;
    return update;
}

std::string TimeAlarmSummary(const TimeAlarm& alarm) {
    std::string text = "more than";
    if (alarm.minutesAbove) {
        text += fmt::format(" {} min above", *alarm.minutesAbove);
    }
    if (alarm.minutesBelow) {
        text += fmt::format("{} {} min below", alarm.minutesAbove ? "," : "", *alarm.minutesBelow);
    }
    return text + " in 24 h";
}

std::int64_t MinuteKey(const LocalDateTime& when) {
    const auto days = CivilDay(when.year, when.month, when.day).time_since_epoch().count();
    return static_cast<std::int64_t>(days) * 1440 + when.hour * 60 + when.minute;
}

void OutOfRangeWindow::Add(std::int64_t minute, int side, int seconds) {
    if (side == 0 || seconds <= 0 || minute < 0) {
        return;
    }
    Bucket& bucket = buckets_[static_cast<std::size_t>(minute % kTimeAlarmWindowMinutes)];
    if (bucket.minute != minute) {
        bucket = Bucket{minute, 0, 0};
    }
    std::uint8_t& count = side > 0 ? bucket.above : bucket.below;
    count = static_cast<std::uint8_t>(std::min(kSecondsPerMinute, count + seconds));
}

void OutOfRangeWindow::Merge(const OutOfRangeWindow& other) {
    for (const Bucket& bucket : other.buckets_) {
        Add(bucket.minute, 1, bucket.above);
        Add(bucket.minute, -1, bucket.below);
    }
}

OutOfRangeWindow::Seconds OutOfRangeWindow::Last24Hours(std::int64_t now) const {
    Seconds sum;
    for (const Bucket& bucket : buckets_) {
        if (bucket.minute <= now && bucket.minute > now - kTimeAlarmWindowMinutes) {
            sum.above += bucket.above;
            sum.below += bucket.below;
        }
    }
    return sum;
}

int MinutesOf(int seconds) {
    return (seconds + kSecondsPerMinute - 1) / kSecondsPerMinute;
}

void AddStoredDay(OutOfRangeWindow& window, const LocalDateTime& day, std::span<const int> minutes,
                  std::span<const double> values, double low, double high, std::int64_t before) {
    LocalDateTime midnight;
    midnight.year = day.year;
    midnight.month = day.month;
    midnight.day = day.day;
    const std::int64_t start = MinuteKey(midnight);
    const std::size_t n = std::min(minutes.size(), values.size());
    const std::vector<int> counted = CountedMinutes(minutes.first(n));
    for (std::size_t i = 0; i < n; ++i) {
        const int side = OutOfRangeSide(values[i], low, high);
        for (int m = 0; side != 0 && m < counted[i]; ++m) {
            const std::int64_t minute = start + minutes[i] + m;
            if (minute < before) {
                window.Add(minute, side, kSecondsPerMinute);
            }
        }
    }
}

}  // namespace qrv::records
