// Any bytes as the result files of a week or a month, read by the period
// reader into MonthSensor and summed up by the report statistics: slots stay
// in the period and in time order, every slot lies within its probe's
// extremes, the statistics are ordered and finite, and a sound block appended
// to the last file is read whole without changing anything read before it.
//
// The first byte chooses hourly slots (a month, days 1..31) or quarter hours
// (a week, days 1..7) and the language of the statistics; the rest is split
// into files at form feeds.
#include <algorithm>
#include <cmath>
#include <memory>

#include "fuzz/fuzz_support.h"
#include "reports/statistics.h"
#include "storage/month_sensor.h"
#include "storage/read_progress.h"

namespace {

using qrv::fuzz::Expect;

struct Period {
    bool hourly = true;
    int taal = 0;
    std::vector<std::string_view> files;  // at position 1, 2, ...
};

Period SplitPeriod(std::string_view input) {
    Period period;
    if (input.empty()) {
        return period;
    }
    period.hourly = (input[0] & 1) != 0;
    period.taal = (input[0] >> 1) & 3;
    const std::size_t positions = period.hourly ? 31 : 7;
    input.remove_prefix(1);
    while (period.files.size() < positions) {
        const std::size_t cut = input.find('\f');
        period.files.push_back(input.substr(0, cut));
        if (cut == std::string_view::npos) {
            break;
        }
        input.remove_prefix(cut + 1);
    }
    return period;
}

void ReadPeriod(const Period& period, const std::string& lastFile, qrv::PeriodData& data) {
    static qrv::SilentProgress silent;
    qrv::ClearSensorStructure(data);
    for (std::size_t i = 0; i < period.files.size(); ++i) {
        const std::string_view file = i + 1 == period.files.size() ? lastFile : period.files[i];
        const int result = qrv::ReadDayOfMonthFromBytes(file, data, static_cast<int>(i) + 1,
                                                        period.hourly, silent);
        Expect(result <= 0 && result >= -4, "result is 0 or a header line mismatch");
    }
    const int slotsInPeriod = static_cast<int>(period.files.size()) * (period.hourly ? 24 : 96);
    Expect(data.MonthMaxIndex >= -1 && data.MonthMaxIndex < qrv::kMaxMonthEntries,
           "at most 100 probes");
    for (int e = 0; e <= data.MonthMaxIndex; ++e) {
        const qrv::MonthEntry& entry = data.MonthSensor[static_cast<std::size_t>(e)];
        Expect(entry.LastIndex >= 0 && entry.LastIndex < qrv::kMaxSlotEntries,
               "a used entry holds 1..745 slots");
        for (int i = 0; i <= entry.LastIndex; ++i) {
            const auto k = static_cast<std::size_t>(i);
            Expect(entry.SlotNumber[k] >= 0 && entry.SlotNumber[k] < slotsInPeriod,
                   "slots lie within the period");
            Expect(i == 0 || entry.SlotNumber[k] > entry.SlotNumber[k - 1],
                   "slots follow each other in time");
            Expect(entry.SlotMin[k] > qrv::kPeriodThreshold && entry.SlotMin[k] <= entry.SlotMax[k],
                   "a slot's minimum is a value and not above its maximum");
            Expect(entry.SlotMin[k] >= entry.MinValue && entry.SlotMax[k] <= entry.MaxValue,
                   "slots lie within the probe's extremes");
        }
        const qrv::Statisticals stats =
            qrv::ComputeStatisticals(entry.SlotMax, entry.SlotMin, entry.LastIndex);
        Expect(stats.count == 2 * (entry.LastIndex + 1), "every slot counts twice");
        Expect(stats.minimum <= stats.p10 && stats.p10 <= stats.p25 && stats.p25 <= stats.median &&
                   stats.median <= stats.p75 && stats.p75 <= stats.p90 &&
                   stats.p90 <= stats.maximum,
               "percentiles are ordered");
        Expect(std::isfinite(stats.mean) && std::isfinite(stats.stdDev) && stats.stdDev >= 0.0,
               "mean and deviation are finite");
        const double slack = 1e-9 * std::max(1.0, std::fabs(stats.maximum - stats.minimum) +
                                                      std::fabs(stats.maximum));
        Expect(stats.mean >= stats.minimum - slack && stats.mean <= stats.maximum + slack,
               "the mean lies between minimum and maximum");
        // Listing the texts costs more than reading the files: the first
        // probes only, in the language the input chose.
        if (e < 3) {
            for (const std::string& line :
                 qrv::CalculateAndListStatisticals(stats, entry.ProbeUnits, period.taal)) {
                Expect(qrv::fuzz::IsValidUtf8(line), "statistics lines are valid UTF-8");
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const auto before = std::make_unique<qrv::PeriodData>();
    static const auto after = std::make_unique<qrv::PeriodData>();
    static const std::vector<qrv::fuzz::AppendedProbe> appended = qrv::fuzz::AppendedProbes();

    const Period period = SplitPeriod(qrv::fuzz::Bytes(data, size));
    if (period.files.empty()) {
        return 0;
    }
    const std::string_view last = period.files.back();
    ReadPeriod(period, std::string(last), *before);
    ReadPeriod(period, qrv::fuzz::WithAppendedBlock(last, appended), *after);

    for (int e = 0; e <= before->MonthMaxIndex; ++e) {
        const qrv::MonthEntry& was = before->MonthSensor[static_cast<std::size_t>(e)];
        const qrv::MonthEntry& now = after->MonthSensor[static_cast<std::size_t>(e)];
        Expect(now.ProbeKey == was.ProbeKey && now.LastIndex >= was.LastIndex,
               "an appended block keeps every probe where it was");
        const auto closed = static_cast<std::size_t>(was.LastIndex);
        Expect(
            std::equal(was.SlotNumber.begin(), was.SlotNumber.begin() + closed,
                       now.SlotNumber.begin()) &&
                std::equal(was.SlotMax.begin(), was.SlotMax.begin() + closed,
                           now.SlotMax.begin()) &&
                std::equal(was.SlotMin.begin(), was.SlotMin.begin() + closed, now.SlotMin.begin()),
            "an appended block changes no slot before the last one");
    }
    const int appendedSlot = static_cast<int>(period.files.size() - 1) * (period.hourly ? 24 : 96) +
                             qrv::fuzz::kAppendedMinutes / (period.hourly ? 60 : 15);
    for (const qrv::fuzz::AppendedProbe& probe : appended) {
        const qrv::KeyChars key = qrv::fuzz::Normalised(probe.key);
        const auto end = after->MonthSensor.begin() + after->MonthMaxIndex + 1;
        const auto entry =
            std::find_if(after->MonthSensor.begin(), end,
                         [&](const qrv::MonthEntry& e) { return e.ProbeKey == key; });
        if (entry == end) {
            Expect(before->MonthMaxIndex == qrv::kMaxMonthEntries - 1,
                   "an appended probe is missing only from a full table");
            continue;
        }
        const auto lastSlot = static_cast<std::size_t>(entry->LastIndex);
        Expect(entry->SlotNumber[lastSlot] == appendedSlot &&
                   entry->SlotMin[lastSlot] <= probe.value &&
                   entry->SlotMax[lastSlot] >= probe.value,
               "the appended block's value lies in its own slot");
    }
    return 0;
}
