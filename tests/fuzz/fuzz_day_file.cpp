// Any bytes as one day's result file, read by the history reader (HistoSensor)
// and the today reader: every value is one the readers accept, at a minute of
// the day, within its probe's extremes; and a sound block appended after the
// bytes, as the next store appends it, is read whole without changing
// anything read before it.
#include <algorithm>
#include <memory>

#include "fuzz/fuzz_support.h"
#include "storage/history_sensor.h"
#include "storage/read_progress.h"
#include "storage/today_reader.h"

namespace {

using qrv::fuzz::Expect;

const std::vector<qrv::fuzz::AppendedProbe>& Appended() {
    static const std::vector<qrv::fuzz::AppendedProbe> probes = qrv::fuzz::AppendedProbes();
    return probes;
}

bool IsKnownUnits(std::string_view units) {
    return units.empty() || units == "\u00B0C" || units == " %" || units == "  ";
}

int ReadDay(std::string_view bytes, qrv::HistoryData& data) {
    static qrv::SilentProgress silent;
    qrv::ClearHistoSensorStructure(data);
    data.HistoryFileName = "2026-03-14.qrd";
    const int result = qrv::ReadHistoryFromBytes(bytes, data, 0, silent);
    Expect(result <= 0 && result >= -4, "result is 0 or a header line mismatch");
    Expect(data.HistoryMaxIndex >= -1 && data.HistoryMaxIndex < qrv::kMaxHistoryEntries,
           "at most 100 probes");
    for (int e = 0; e < qrv::kMaxHistoryEntries; ++e) {
        const qrv::HistoEntry& entry = data.HistoSensor[static_cast<std::size_t>(e)];
        if (e > data.HistoryMaxIndex) {
            Expect(entry.LastIndex == -1, "entries above the highest one are unused");
            continue;
        }
        Expect(entry.LastIndex >= 0 &&
                   static_cast<std::size_t>(entry.LastIndex) < entry.SampleTime.size() &&
                   entry.SampleTime.size() == entry.SampleValue.size(),
               "a used entry holds its values");
        Expect(entry.ProbeKey[0] == '0', "keys are kept with type character 0");
        Expect(entry.ProbeName.rawLength <= qrv::kMaxStoredNameLength &&
                   qrv::fuzz::IsValidUtf8(entry.ProbeName.utf8),
               "names are short valid UTF-8");
        Expect(IsKnownUnits(entry.ProbeUnits), "units are one of the four");
        for (int i = 0; i <= entry.LastIndex; ++i) {
            const auto k = static_cast<std::size_t>(i);
            Expect(entry.SampleTime[k] >= 0 && entry.SampleTime[k] < 1440, "minutes of a day");
            Expect(entry.SampleValue[k] > qrv::kHistoryThreshold, "no value at or below -200");
            Expect(entry.SampleValue[k] >= entry.MinValue && entry.SampleValue[k] <= entry.MaxValue,
                   "values lie within the probe's extremes");
        }
    }
    return result;
}

struct TodaySeen {
    int result = 0;
    int count = 0;
};

TodaySeen ReadToday(std::string_view bytes, const qrv::SensorRecord& record, qrv::TodayView& view) {
    const int result = qrv::CollectTodayValues(bytes, record, view);
    const int count = result == 0 ? view.ViewArrayMaxIndex + 1 : 0;
    Expect(result == 0 || result == qrv::kNoTodayValues, "result codes");
    Expect(count >= 0 && static_cast<std::size_t>(count) <= view.ViewTime.size() &&
               view.ViewTime.size() == view.ViewTemp.size(),
           "values fit the arrays");
    if (result != 0) {
        Expect(view.ViewProbeName == "?" && view.ViewArrayMaxIndex == 0 &&
                   view.ViewMeasMin == 150.0 && view.ViewMeasMax == -50.0,
               "no value: name ?, start extremes");
    }
    for (int i = 0; i < count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        Expect(view.ViewTime[k] >= 0 && view.ViewTime[k] < 1440, "minutes of a day");
        Expect(view.ViewTemp[k] > -299.0, "no value at or below -299");
        Expect(view.ViewTemp[k] >= view.ViewMeasMin && view.ViewTemp[k] <= view.ViewMeasMax,
               "values lie within the extremes");
    }
    return {result, count};
}

void CheckAppendedBlockReadWhole(const qrv::HistoryData& before, const qrv::HistoryData& after) {
    for (int e = 0; e <= before.HistoryMaxIndex; ++e) {
        const qrv::HistoEntry& was = before.HistoSensor[static_cast<std::size_t>(e)];
        const qrv::HistoEntry& now = after.HistoSensor[static_cast<std::size_t>(e)];
        Expect(now.ProbeKey == was.ProbeKey && now.LastIndex >= was.LastIndex,
               "an appended block keeps every probe where it was");
        const int kept = was.LastIndex;
        Expect(std::equal(was.SampleTime.begin(), was.SampleTime.begin() + kept + 1,
                          now.SampleTime.begin()) &&
                   std::equal(was.SampleValue.begin(), was.SampleValue.begin() + kept + 1,
                              now.SampleValue.begin()),
               "an appended block changes no value read before it");
    }
    for (const qrv::fuzz::AppendedProbe& probe : Appended()) {
        const qrv::KeyChars key = qrv::fuzz::Normalised(probe.key);
        const auto end = after.HistoSensor.begin() + after.HistoryMaxIndex + 1;
        const auto entry =
            std::find_if(after.HistoSensor.begin(), end,
                         [&](const qrv::HistoEntry& e) { return e.ProbeKey == key; });
        if (entry == end) {
            Expect(before.HistoryMaxIndex == qrv::kMaxHistoryEntries - 1,
                   "an appended probe is missing only from a full table");
            continue;
        }
        const auto last = static_cast<std::size_t>(entry->LastIndex);
        Expect(entry->SampleTime[last] == qrv::fuzz::kAppendedMinutes &&
                   entry->SampleValue[last] == probe.value,
               "the appended block is read at its own minute with its own values");
        Expect(entry->ProbeName.utf8 == probe.nameUtf8, "the appended block names its probes");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const auto before = std::make_unique<qrv::HistoryData>();
    static const auto after = std::make_unique<qrv::HistoryData>();
    static const auto todayBefore = std::make_unique<qrv::TodayView>();
    static const auto todayAfter = std::make_unique<qrv::TodayView>();
    static const qrv::SensorRecord record = [] {
        const qrv::GeneratedProbe probe = qrv::MakeGeneratedProbes(1)[0];
        qrv::SensorRecord r;
        r.Rom = probe.rom;
        r.SensorType = probe.sensorType;
        r.Units = "\u00B0C";
        return r;
    }();

    const std::string_view bytes = qrv::fuzz::Bytes(data, size);
    const std::string appended = qrv::fuzz::WithAppendedBlock(bytes, Appended());
    const int headerBefore = ReadDay(bytes, *before);
    Expect(ReadDay(appended, *after) == headerBefore, "an appended block leaves the header alone");
    Expect(after->HistoryDatum == before->HistoryDatum, "an appended block leaves the date alone");
    CheckAppendedBlockReadWhole(*before, *after);

    const TodaySeen seenBefore = ReadToday(bytes, record, *todayBefore);
    const TodaySeen seenAfter = ReadToday(appended, record, *todayAfter);
    {
        Expect(seenAfter.count == seenBefore.count + 1,
               "today's reader takes the appended block's value");
        Expect(std::equal(todayBefore->ViewTemp.begin(),
                          todayBefore->ViewTemp.begin() + seenBefore.count,
                          todayAfter->ViewTemp.begin()) &&
                   std::equal(todayBefore->ViewTime.begin(),
                              todayBefore->ViewTime.begin() + seenBefore.count,
                              todayAfter->ViewTime.begin()),
               "today's reader keeps what it read before the appended block");
        const auto last = static_cast<std::size_t>(seenBefore.count);
        Expect(todayAfter->ViewTime[last] == qrv::fuzz::kAppendedMinutes &&
                   todayAfter->ViewTemp[last] == Appended()[0].value,
               "today's reader reads the appended value at its minute");
    }
    return 0;
}
