#pragma once

// What a test of the real station program reads back from its station
// directory: the day files' sample blocks and the program log's minutes.
#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "storage/result_file_format.h"
#include "support/temp_dir.h"

namespace qrv::testing {

inline std::vector<std::filesystem::path> DayFiles(const std::filesystem::path& station) {
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(station / "QRVDATA", error)) {
        if (entry.path().extension() == ".qrd") {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

inline std::filesystem::path LastDayFile(const std::filesystem::path& station) {
    const std::vector<std::filesystem::path> files = DayFiles(station);
    return files.empty() ? station / "QRVDATA" / "none.qrd" : files.back();
}

// The "HH:MM" of every sample block of the station's day files, in order.
inline std::vector<std::string> StoredBlocks(const std::filesystem::path& station) {
    std::vector<std::string> blocks;
    for (const auto& file : DayFiles(station)) {
        const std::string text = ReadBytes(file);
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t end = text.find("\r\n", at);
            const std::string_view line(text.data() + at,
                                        (end == std::string::npos ? text.size() : end) - at);
            if (const auto header = ParseSampleHeader(line)) {
                blocks.emplace_back(header->time);
            }
            at = end == std::string::npos ? text.size() : end + 2;
        }
    }
    return blocks;
}

inline int MinuteOf(const std::string& hhmm) {
    return std::stoi(hhmm.substr(0, 2)) * 60 + std::stoi(hhmm.substr(3, 2));
}

// The minute ("HH:MM") of the program log's last entry with this text.
inline std::optional<std::string> LogMinuteOf(const std::filesystem::path& station,
                                              std::string_view what) {
    const std::string log = ReadBytes(station / "QRVLog.txt");
    const std::size_t at = log.rfind(std::string(": ") + std::string(what) + "\r\n");
    if (at == std::string::npos || at < 5) {
        return std::nullopt;
    }
    return log.substr(at - 5, 5);
}

}  // namespace qrv::testing
