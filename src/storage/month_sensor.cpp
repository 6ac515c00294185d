#include "storage/month_sensor.h"

#include <algorithm>

#include "runtime/text_file.h"
#include "storage/file_access.h"
#include "storage/result_file_scan.h"
#include "text/texts.h"

namespace qrv {

namespace {

void AddPeriodValue(PeriodData& data, int position, int slot, const ProbeLine& line) {
    if (line.value <= kPeriodThreshold) {
        return;
    }
    const KeyChars key = WithTemperatureType(line.key);
    const int e = SearchMonthSensorForNetAddress(data, position, key);
    if (e < 0) {
        return;
    }
    MonthEntry& entry = data.MonthSensor[static_cast<std::size_t>(e)];
    entry.ProbeName.Update(line.name);
    entry.ProbeUnits = UnitsOfTypeCharacter(line.key[0]);
    entry.ProbeType = ProbeTypeOfTypeCharacter(line.key[0]);
    entry.MinValue = std::min(entry.MinValue, line.value);
    entry.MaxValue = std::max(entry.MaxValue, line.value);
    // A value opens a new slot entry when its slot lies after the entry's
    // last one, so a probe that missed the first block of an hour still gets
    // its own entry for that hour instead of being folded into an older one;
    // blocks of the same slot, and blocks whose time went back, fold into the
    // current entry.
    if (entry.LastIndex < 0 || slot > entry.SlotNumber[static_cast<std::size_t>(entry.LastIndex)]) {
        if (entry.LastIndex < kMaxSlotEntries - 1) {
            ++entry.LastIndex;
        }
        const auto i = static_cast<std::size_t>(entry.LastIndex);
        entry.SlotNumber[i] = slot;
        entry.SlotMax[i] = line.value;
        entry.SlotMin[i] = line.value;
    } else {
        const auto i = static_cast<std::size_t>(entry.LastIndex);
        entry.SlotMax[i] = std::max(entry.SlotMax[i], line.value);
        entry.SlotMin[i] = std::min(entry.SlotMin[i], line.value);
    }
}

}  // namespace

void ClearSensorStructure(PeriodData& data) {
    for (MonthEntry& entry : data.MonthSensor) {
        entry.Clear();
    }
    data.MonthMaxIndex = -1;
    data.ListSelection = 0;
}

int SearchMonthSensorForNetAddress(PeriodData& data, int hint, const KeyChars& key) {
    return FindOrClaimProbeEntry(data.MonthSensor, hint, key, data.MonthMaxIndex);
}

int ReadDayOfMonthFromDisk(PeriodData& data, int position, bool hourly, ReportProgress& progress) {
    const int readResult = ReadWholeFile(data.WantedMonthFile, data.readBuffer);
    if (readResult != kFileOk) {
        return readResult;
    }
    return ReadDayOfMonthFromBytes(data.readBuffer, data, position, hourly, progress);
}

PeriodSlots::PeriodSlots(int position, bool hourly)
    : base_((hourly ? 24 : 96) * (position - 1)), hourly_(hourly) {}

int ReadDayOfMonthFromBytes(std::string_view bytes, PeriodData& data, int position, bool hourly,
                            ReportProgress& progress) {
    const PeriodSlots slots(position, hourly);
    int slot = 0;
    const ResultHeaderCheck check = ScanResultFile(
        bytes,
        [&](const SampleHeader& header) {
            progress.DisplayMonthlyMessage(data.ReportMessage, header.time);
            slot = slots.Of(header.minutes);
            return true;
        },
        [&](int linePosition, const ProbeLine& line) {
            AddPeriodValue(data, linePosition, slot, line);
        });
    return check.result;
}

int GetAllDataFromDisk(PeriodData& data, bool hourly, int taal, ReportProgress& progress) {
    int count = 0;
    const std::string converting = text::Plain(text::Key::TXT_CONVERTING, taal);
    for (int position = 1; position < kPrintFileCount; ++position) {
        if (progress.ReportAbort()) {
            return 0;
        }
        const std::string& file = data.PrintFile[static_cast<std::size_t>(position)];
        if (file.empty() || file == kNoPrintFile) {
            continue;
        }
        ++count;
        data.WantedMonthFile = file;
        data.ReportMessage = converting + file;
        progress.DisplayMonthlyMessage(data.ReportMessage, "");
        ReadDayOfMonthFromDisk(data, position, hourly, progress);
    }
    return progress.ReportAbort() ? 0 : count;
}

}  // namespace qrv
