#include "reports/printouts/time_out_of_range.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <memory>
#include <span>

#include "runtime/text_file.h"
#include "storage/read_progress.h"
#include "text/texts.h"

namespace qrv {

using text::Key;

namespace {

std::optional<int> Digits(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() ? std::optional(value)
                                                                    : std::nullopt;
}

std::optional<FileDay> ParseFileDay(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') {
        return std::nullopt;
    }
    const auto year = Digits(text.substr(0, 4));
    const auto month = Digits(text.substr(5, 2));
    const auto day = Digits(text.substr(8, 2));
    if (!year || !month || !day) {
        return std::nullopt;
    }
    return FileDay{*year, *month, *day};
}

}  // namespace

std::optional<FileDay> DayOfFile(const HistoryData& day) {
    // The day is the one the finder looked for, whatever the date line says.
    if (auto named = ParseFileDay(day.HistoryFileName.stem().string())) {
        return named;
    }
    return ParseFileDay(day.HistoryDatum);
}

std::optional<records::TimeOutOfRange> EntryTimeOutOfRange(const HistoEntry& entry,
                                                           const PrintContext& context,
                                                           const std::optional<FileDay>& date) {
    const std::string_view key = KeyText(entry.ProbeKey);
    const auto limits = context.LimitsOf(key);
    if (!limits) {
        return std::nullopt;
    }
    const std::size_t count =
        entry.LastIndex < 0 ? 0 : static_cast<std::size_t>(entry.LastIndex) + 1;
    const auto times = std::span(entry.SampleTime).first(count);
    const auto values = std::span(entry.SampleValue).first(count);
    const std::string serial =
        context.limitHistory && date ? context.limitHistory->SerialOfKey(key) : std::string();
    if (serial.empty()) {
        return records::DayTimeOutOfRange(times, values, limits->alarmLow, limits->alarmHigh);
    }
    return context.limitHistory->DayOutOfRange(serial, {limits->alarmLow, limits->alarmHigh},
                                               date->year, date->month, date->day, times, values);
}

PeriodOutOfRangeTally::PeriodOutOfRangeTally(LimitsLookup limits,
                                             std::shared_ptr<const records::LimitHistory> history)
    : limits_(std::move(limits)), history_(std::move(history)) {}

PeriodOutOfRangeTally::AlarmLimits PeriodOutOfRangeTally::AlarmLimitsOf(
    const std::optional<ProbeLimits>& limits) {
    return limits ? AlarmLimits(std::pair{limits->alarmLow, limits->alarmHigh}) : std::nullopt;
}

void PeriodOutOfRangeTally::AddDay(const HistoryData& day) {
    const std::optional<FileDay> date = history_ ? DayOfFile(day) : std::nullopt;
    for (int e = 0; e <= day.HistoryMaxIndex; ++e) {
        const HistoEntry& entry = day.HistoSensor[static_cast<std::size_t>(e)];
        const std::string_view key = KeyText(entry.ProbeKey);
        auto counted = countedAgainst_.find(key);
        if (counted == countedAgainst_.end()) {
            // Looked up once a probe: the lookup walks the probe table.
            Counted limits{AlarmLimitsOf(LimitsOf(limits_, key)),
                           history_ ? history_->SerialOfKey(key) : std::string()};
            counted = countedAgainst_.emplace(std::string(key), std::move(limits)).first;
        }
        const AlarmLimits& limits = counted->second.limits;
        if (!limits) {
            continue;
        }
        const std::size_t count =
            entry.LastIndex < 0 ? 0 : static_cast<std::size_t>(entry.LastIndex) + 1;
        const auto times = std::span(entry.SampleTime).first(count);
        const auto values = std::span(entry.SampleValue).first(count);
        const std::string& serial = counted->second.serial;
        const records::TimeOutOfRange minutes =
            serial.empty() || !date
                ? DayTimeOutOfRange(times, values, limits->first, limits->second)
                : history_->DayOutOfRange(serial, *limits, date->year, date->month, date->day,
                                          times, values);
        auto sum = sums_.find(key);
        if (sum == sums_.end()) {
            sum = sums_.emplace(std::string(key), records::TimeOutOfRange{}).first;
        }
        sum->second.minutesAbove += minutes.minutesAbove;
        sum->second.minutesBelow += minutes.minutesBelow;
    }
}

records::TimeOutOfRange PeriodOutOfRangeTally::DayTimeOutOfRange(std::span<const int> times,
                                                                 std::span<const double> values,
                                                                 double low, double high) {
    records::TimeOutOfRange out;
    // As records::OutOfRangeSide says (a value at a limit is within), here
    // without a call for each value of the period.
    const auto outside = [&](std::size_t i) { return values[i] > high || values[i] < low; };
    std::size_t first = 0;
    while (first < times.size() && !outside(first)) {
        ++first;
    }
    if (first == times.size()) {
        return out;
    }
    if (!std::ranges::equal(times, countedTimes_)) {
        countedTimes_.assign(times.begin(), times.end());
        countedMinutes_ = records::CountedMinutes(times);
    }
    for (std::size_t i = first; i < times.size(); ++i) {
        const int counted = countedMinutes_[i];
        out.minutesAbove += values[i] > high ? counted : 0;
        out.minutesBelow += values[i] < low ? counted : 0;
    }
    return out;
}

std::optional<PeriodTimesOutOfRange> PeriodOutOfRangeTally::SumsIfLimitsHold(
    const PrintContext& now) const {
    for (const auto& [key, counted] : countedAgainst_) {
        if (AlarmLimitsOf(now.LimitsOf(key)) != counted.limits) {
            return std::nullopt;
        }
    }
    return sums_;
}

PeriodTimesOutOfRange PeriodTimeOutOfRange(const PeriodData& period, const PrintContext& context) {
    PeriodOutOfRangeTally tally(context.limitsOf, context.limitHistory);
    auto day = std::make_unique<HistoryData>();
    SilentProgress progress;
    for (std::size_t position = 1; position < period.PrintFile.size(); ++position) {
        const std::string& file = period.PrintFile[position];
        if (file == kNoPrintFile) {
            continue;
        }
        const FileBytes bytes = ReadFileBytes(file);
        ClearHistoSensorStructure(*day);
        day->HistoryFileName = file;
        ReadHistoryFromBytes(bytes.bytes, *day, context.taal, progress);
        tally.AddDay(*day);
    }
    return tally.Sums();
}

std::optional<records::TimeOutOfRange> OutOfRangeOf(const PeriodTimesOutOfRange& sums,
                                                    std::string_view probeKey) {
    const auto found = sums.find(probeKey);
    return found == sums.end() ? std::nullopt : std::optional(found->second);
}

std::array<std::string, kOutOfRangeLineCount> OutOfRangeLines(
    const records::TimeOutOfRange& minutes, int taal) {
    const auto line = [taal](Key label, int value) {
        return fmt::format("{}  {:6d} min", text::Plain(label, taal), value);
    };
    return {line(Key::TXT_STAT_MINUTES_ABOVE, minutes.minutesAbove),
            line(Key::TXT_STAT_MINUTES_BELOW, minutes.minutesBelow)};
}

}  // namespace qrv
