#include "reports/printouts/time_out_of_range.h"

#include <fmt/format.h>

#include <memory>
#include <span>

#include "runtime/text_file.h"
#include "storage/read_progress.h"
#include "text/texts.h"

namespace qrv {

using text::Key;

std::optional<records::TimeOutOfRange> EntryTimeOutOfRange(const HistoEntry& entry,
                                                           const PrintContext& context) {
    const auto limits = context.LimitsOf(KeyText(entry.ProbeKey));
    if (!limits) {
        return std::nullopt;
    }
    const std::size_t count =
        entry.LastIndex < 0 ? 0 : static_cast<std::size_t>(entry.LastIndex) + 1;
    return records::DayTimeOutOfRange(std::span(entry.SampleTime).first(count),
                                      std::span(entry.SampleValue).first(count), limits->alarmLow,
                                      limits->alarmHigh);
}

PeriodOutOfRangeTally::PeriodOutOfRangeTally(LimitsLookup limits) : limits_(std::move(limits)) {}

PeriodOutOfRangeTally::AlarmLimits PeriodOutOfRangeTally::AlarmLimitsOf(
    const std::optional<ProbeLimits>& limits) {
    return limits ? AlarmLimits(std::pair{limits->alarmLow, limits->alarmHigh}) : std::nullopt;
}

void PeriodOutOfRangeTally::AddDay(const HistoryData& day) {
    for (int e = 0; e <= day.HistoryMaxIndex; ++e) {
        const HistoEntry& entry = day.HistoSensor[static_cast<std::size_t>(e)];
        const std::string_view key = KeyText(entry.ProbeKey);
        auto counted = countedAgainst_.find(key);
        if (counted == countedAgainst_.end()) {
            // Looked up once a probe: the lookup walks the probe table.
            counted =
                countedAgainst_.emplace(std::string(key), AlarmLimitsOf(LimitsOf(limits_, key)))
                    .first;
        }
        const AlarmLimits& limits = counted->second;
        if (!limits) {
            continue;
        }
        const std::size_t count =
            entry.LastIndex < 0 ? 0 : static_cast<std::size_t>(entry.LastIndex) + 1;
        const records::TimeOutOfRange minutes = records::DayTimeOutOfRange(
            std::span(entry.SampleTime).first(count), std::span(entry.SampleValue).first(count),
            limits->first, limits->second);
        auto sum = sums_.find(key);
        if (sum == sums_.end()) {
            sum = sums_.emplace(std::string(key), records::TimeOutOfRange{}).first;
        }
        sum->second.minutesAbove += minutes.minutesAbove;
        sum->second.minutesBelow += minutes.minutesBelow;
    }
}

std::optional<PeriodTimesOutOfRange> PeriodOutOfRangeTally::SumsIfLimitsHold(
    const PrintContext& now) const {
    for (const auto& [key, limits] : countedAgainst_) {
        if (AlarmLimitsOf(now.LimitsOf(key)) != limits) {
            return std::nullopt;
        }
    }
    return sums_;
}

PeriodTimesOutOfRange PeriodTimeOutOfRange(const PeriodData& period, const PrintContext& context) {
    PeriodOutOfRangeTally tally(context.limitsOf);
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
