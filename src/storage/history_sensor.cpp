#include "storage/history_sensor.h"

#include <algorithm>
#include <cstring>

#include "runtime/encoding.h"
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

void StoredName::Clear() {
    utf8.clear();
    rawLength = 0;
}

void StoredName::Update(std::string_view cp1252) {
    cp1252 = cp1252.substr(0, std::min(cp1252.size(), kMaxStoredNameLength));
    if (cp1252.size() == rawLength && std::memcmp(cp1252.data(), raw.data(), rawLength) == 0) {
        return;
    }
    std::copy(cp1252.begin(), cp1252.end(), raw.begin());
    rawLength = cp1252.size();
    utf8 = Cp1252ToUtf8(cp1252);
}

void ClearHistoSensorStructure(HistoryData& data) {
    for (HistoEntry& entry : data.HistoSensor) {
        entry.ProbeName.Clear();
        entry.ProbeKey.fill('\0');
        entry.ProbeUnits = {};
        entry.ProbeType = kTypeTemperature;
        entry.LastIndex = -1;
        entry.MinValue = 0.0;
        entry.MaxValue = 0.0;
    }
    data.HistoryMaxIndex = -1;
    data.HistoryIndex = 0;
    data.HistoryInitialized = 0;
}

int SearchHistoSensorForNetAddress(HistoryData& data, int hint, const KeyChars& key) {
    if (hint >= 0 && hint < kMaxHistoryEntries &&
        data.HistoSensor[static_cast<std::size_t>(hint)].ProbeKey == key) {
        return hint;
    }
    for (int i = 0; i < kMaxHistoryEntries; ++i) {
        HistoEntry& entry = data.HistoSensor[static_cast<std::size_t>(i)];
        if (entry.LastIndex >= 0 && entry.ProbeKey == key) {
            return i;
        }
        if (entry.LastIndex < 0) {
            entry.ProbeKey = key;
            entry.LastIndex = -1;
            entry.MinValue = 150.0;
            entry.MaxValue = -50.0;
            entry.ProbeUnits = {};
            entry.ProbeType = kTypeTemperature;
            data.HistoryMaxIndex = i;
            return i;
        }
    }
    return -1;
}

int ReadHistoryFromDisk(HistoryData& data, StatusMessages& status, HistoryProgress& progress) {
    status.DoeDisplayMessage(text::Plain(text::Key::MESS_READING_HISTORY, status.Taal()));
    std::string bytes;
    const int readResult = ReadWholeFile(data.HistoryFileName, bytes);
    const std::string prefix = text::Plain(text::Key::TXT_CONVERTING, status.Taal()) +
                               data.HistoryFileName.filename().string() + "   ";
    std::string message;
    int minutes = 0;
    const ResultHeaderCheck check = ScanResultFile(
        bytes,
        [&](const SampleHeader& header) {
            message.assign(prefix).append(header.time);
            progress.DisplaySearchHistoryMessage(message);
            minutes = header.minutes;
            return true;
        },
        [&](int position, const ProbeLine& line) {
            if (line.value <= kHistoryThreshold) {
                return;
            }
            KeyChars key = line.key;
            key[0] = '0';
            const int e = SearchHistoSensorForNetAddress(data, position, key);
            if (e < 0) {
                return;
            }
            HistoEntry& entry = data.HistoSensor[static_cast<std::size_t>(e)];
            entry.ProbeName.Update(line.name);
            entry.ProbeUnits = UnitsOfTypeCharacter(line.key[0]);
            entry.ProbeType = ProbeTypeOfTypeCharacter(line.key[0]);
            if (entry.LastIndex < kMaxHistoryValues - 1) {
                ++entry.LastIndex;
            }
            entry.SampleTime[static_cast<std::size_t>(entry.LastIndex)] = minutes;
            entry.SampleValue[static_cast<std::size_t>(entry.LastIndex)] = line.value;
            entry.MinValue = std::min(entry.MinValue, line.value);
            entry.MaxValue = std::max(entry.MaxValue, line.value);
        });

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
    status.RestoreStatusMessage();
    return readResult == kFileOk ? check.result : readResult;
}

double ZoekInHistoSensor(const HistoryData& data, int entry, int minute) {
    if (entry < 0 || entry >= kMaxHistoryEntries) {
        return kNoValueAtMinute;
    }
    const HistoEntry& probe = data.HistoSensor[static_cast<std::size_t>(entry)];
    for (int i = 0; i <= probe.LastIndex; ++i) {
        const int time = probe.SampleTime[static_cast<std::size_t>(i)];
        if (time >= minute) {
            return time == minute ? probe.SampleValue[static_cast<std::size_t>(i)]
                                  : kNoValueAtMinute;
        }
    }
    return kNoValueAtMinute;
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
