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

PeriodTimesOutOfRange PeriodTimeOutOfRange(const PeriodData& period, const PrintContext& context) {
    PeriodTimesOutOfRange sums;
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
        for (int e = 0; e <= day->HistoryMaxIndex; ++e) {
            const HistoEntry& entry = day->HistoSensor[static_cast<std::size_t>(e)];
            if (const auto minutes = EntryTimeOutOfRange(entry, context)) {
                records::TimeOutOfRange& sum = sums[std::string(KeyText(entry.ProbeKey))];
                sum.minutesAbove += minutes->minutesAbove;
                sum.minutesBelow += minutes->minutesBelow;
            }
        }
    }
    return sums;
}

std::optional<records::TimeOutOfRange> OutOfRangeOf(const PeriodTimesOutOfRange& sums,
                                                    std::string_view probeKey) {
    const auto found = sums.find(probeKey);
    return found == sums.end() ? std::nullopt : std::optional(found->second);
}

std::optional<records::TimeOutOfRange> ProbeTimeOutOfRange(const PeriodData& period,
                                                           const MonthEntry& entry,
                                                           const PrintContext& context) {
    return OutOfRangeOf(PeriodTimeOutOfRange(period, context), KeyText(entry.ProbeKey));
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
