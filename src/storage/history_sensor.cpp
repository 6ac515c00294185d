#include "storage/history_sensor.h"

#include <algorithm>

#include "storage/file_access.h"
#include "storage/result_file_scan.h"
#include "text/texts.h"

namespace qrv {

namespace {

bool LooksLikeFileDate(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') {
        return false;
    }
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return (c >= '0' && c <= '9') || c == '-'; });
}

}  // namespace

void HistoEntry::Grow(std::int32_t minute, double value) {
    SampleTime.push_back(minute);
    SampleValue.push_back(value);
}

void ClearHistoSensorStructure(HistoryData& data) {
    for (HistoEntry& entry : data.HistoSensor) {
        entry.Clear();
    }
    data.HistoryMaxIndex = -1;
    data.HistoryIndex = 0;
    data.HistoryInitialized = 0;
}

int ReadHistoryFromDisk(HistoryData& data, StatusMessages& status, HistoryProgress& progress) {
    status.DoeDisplayMessage(text::Plain(text::Key::MESS_READING_HISTORY, status.Taal()));
    std::string bytes;
    const int readResult = ReadWholeFile(data.HistoryFileName, bytes);
    const int result = ReadHistoryFromBytes(bytes, data, status.Taal(), progress);
    status.RestoreStatusMessage();
    return readResult == kFileOk ? result : readResult;
}

void HistoryLineReader::Finish() {
    for (int e = 0; e <= data_.HistoryMaxIndex; ++e) {
        const auto i = static_cast<std::size_t>(e);
        HistoEntry& entry = data_.HistoSensor[i];
        entry.ProbeName.Update(LastName(e));
        entry.ProbeUnits = UnitsOfTypeCharacter(lastType_[i]);
        entry.ProbeType = ProbeTypeOfTypeCharacter(lastType_[i]);
    }
}

void SetHistoryDate(HistoryData& data, const ResultHeaderCheck& check) {
    // A file without its date line still steps and prints by its name.
    const std::string stem = data.HistoryFileName.stem().string();
    if (check.dateLine && LooksLikeFileDate(*check.dateLine)) {
        data.HistoryDatum = *check.dateLine;
    } else if (LooksLikeFileDate(stem)) {
        data.HistoryDatum = stem;
    } else {
        data.HistoryDatum = check.dateLine.value_or(std::string_view{});
    }
    data.EuroHistoryDatum = EuroDateOf(data.HistoryDatum);
}

int ReadHistoryFromBytes(std::string_view bytes, HistoryData& data, int taal,
                         HistoryProgress& progress) {
    const std::string prefix = text::Plain(text::Key::TXT_CONVERTING, taal) +
                               data.HistoryFileName.filename().string() + "   ";
    std::string message;
    int minutes = 0;
    HistoryLineReader lines(data);
    const ResultHeaderCheck check = ScanResultFile(
        bytes,
        [&](const SampleHeader& header) {
            message.assign(prefix).append(header.time);
            progress.DisplaySearchHistoryMessage(message);
            minutes = header.minutes;
            return true;
        },
        [&](int position, const ProbeLine& line) { lines.Add(position, minutes, line); });
    lines.Finish();
    SetHistoryDate(data, check);
    return check.result;
}

std::optional<double> ZoekInHistoSensor(const HistoryData& data, int entry, int minute) {
    if (entry < 0 || entry >= kMaxHistoryEntries) {
        return std::nullopt;
    }
    const HistoEntry& probe = data.HistoSensor[static_cast<std::size_t>(entry)];
    for (int i = 0; i <= probe.LastIndex; ++i) {
        const int time = probe.SampleTime[static_cast<std::size_t>(i)];
        if (time > minute) {
            break;
        }
        if (time == minute) {
            return probe.SampleValue[static_cast<std::size_t>(i)];
        }
    }
    return std::nullopt;
}

std::string EuroDateOf(std::string_view fileDate) {
    if (fileDate.size() < 10) {
        return {};
    }
    std::string euro;
    euro.append(fileDate.substr(8, 2)).append("/").append(fileDate.substr(5, 2)).append("/");
    euro.append(fileDate.substr(0, 4));
    return euro;
}

}  // namespace qrv
