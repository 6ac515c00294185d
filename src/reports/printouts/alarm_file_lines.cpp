#include "reports/printouts/alarm_file_lines.h"

#include <optional>

#include "runtime/calendar.h"
#include "runtime/encoding.h"
#include "runtime/text_file.h"

namespace qrv {

namespace {

std::optional<int> Digits(std::string_view text) {
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

std::optional<AlarmLine> ParseLine(std::string_view line) {
    if (line.size() < 18 || line[4] != '-' || line[7] != '-' || line[10] != ' ' ||
        line[13] != ':' || line.substr(16, 2) != ": ") {
        return std::nullopt;
    }
    const auto year = Digits(line.substr(0, 4));
    const auto month = Digits(line.substr(5, 2));
    const auto day = Digits(line.substr(8, 2));
    const auto hour = Digits(line.substr(11, 2));
    const auto minute = Digits(line.substr(14, 2));
    if (!year || !month || !day || !hour || !minute || *month < 1 || *month > 12 || *day < 1 ||
        *day > DaysInMonth(*year, *month) || *hour > 23 || *minute > 59) {
        return std::nullopt;
    }
    return AlarmLine{*year, *month, *day, std::string(line.substr(11, 5)),
                     Cp1252ToUtf8(line.substr(18))};
}

}  // namespace

AlarmFileLines ParseAlarmFile(std::string_view bytes) {
    AlarmFileLines file;
    LineReader reader(bytes);
    while (const auto line = reader.ReadLine(kNoSizeLimit)) {
        if (line->empty() || line->front() == '=') {
            continue;
        }
        if (auto parsed = ParseLine(*line)) {
            file.lines.push_back(std::move(*parsed));
        } else {
            ++file.skipped;
        }
    }
    return file;
}

AlarmFileLines ReadAlarmFile(const std::filesystem::path& path) {
    return ParseAlarmFile(ReadFileBytes(path).bytes);
}

}  // namespace qrv
