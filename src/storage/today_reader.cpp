#include "storage/today_reader.h"

#include <algorithm>

#include "runtime/encoding.h"
#include "runtime/text_file.h"
#include "storage/file_access.h"
#include "storage/result_file_format.h"
#include "storage/result_file_scan.h"
#include "text/texts.h"

namespace qrv {

namespace {

constexpr double kTodayThreshold = -299.0;
constexpr std::size_t kTodayNameLimit = 70;

}  // namespace

void TodayView::SetValue(std::size_t index, std::int32_t minute, double value) {
    if (index >= ViewTime.size()) {
        ViewTime.resize(index + 1);
        ViewTemp.resize(index + 1);
    }
    ViewTime[index] = minute;
    ViewTemp[index] = value;
}

int ReadViewResultsFromDisk(const SensorRecord& record, const std::filesystem::path& dataDirectory,
                            const Clock& clock, StatusMessages& status, TodayView& view) {
    status.DoeDisplayMessage(text::Plain(text::Key::MESS_READING_TEMPS, status.Taal()));
    MakeDirectories(dataDirectory);
    const LocalDateTime now = clock.Now();
    std::string bytes;
    ReadWholeFile(ResultFilePath(dataDirectory, now.year, now.month, now.day), bytes);
    const int result = CollectTodayValues(bytes, record, view);
    status.RestoreStatusMessage();
    return result;
}

int CollectTodayValues(std::string_view bytes, const SensorRecord& record, TodayView& view) {
    view.ViewMeasMin = 150.0;
    view.ViewMeasMax = -50.0;
    view.ViewProbeType = record.SensorType;
    view.ViewProbeUnits = record.Units;
    const KeyChars searchKey = MakeProbeKey(record.Rom, record.SensorType);
    int k = 0;
    int blockMinutes = 0;
    std::string_view name;
    ScanResultFile(
        bytes,
        [&](const SampleHeader& header) {
            blockMinutes = header.minutes;
            return true;
        },
        [&](int, const ProbeLine& line) {
            if (line.key != searchKey || line.value <= kTodayThreshold) {
                return;
            }
            view.SetValue(static_cast<std::size_t>(k), blockMinutes, line.value);
            view.ViewMeasMin = std::min(view.ViewMeasMin, line.value);
            view.ViewMeasMax = std::max(view.ViewMeasMax, line.value);
            name = line.name.substr(0, std::min(line.name.size(), kTodayNameLimit));
            ++k;
        });

    int result = kNoTodayValues;
    if (k > 0) {
        view.ViewProbeName = Cp1252ToUtf8(name);
        view.ViewArrayMaxIndex = k - 1;
        result = 0;
    } else {
        // assign(count, char) rather than a literal: g++ 12 warns falsely
        // (-Wrestrict) on the literal assignment at -O2.
        view.ViewProbeName.assign(1, '?');
        view.ViewArrayMaxIndex = 0;
    }
    return result;
}

}  // namespace qrv
