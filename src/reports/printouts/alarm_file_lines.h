#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace qrv {

// One line of the alarm file, "YYYY-MM-DD HH:MM: message", with a date that
// exists and a time of the day.
struct AlarmLine {
    int year = 0;
    int month = 0;
    int day = 0;
    std::string time;     // HH:MM
    std::string message;  // UTF-8
};

// The alarm file as the sheet uses it. The file is written by hand as well
// as by the station, so a line that does not parse is skipped and counted
// rather than trusted; the title lines of the file are not counted.
struct AlarmFileLines {
    std::vector<AlarmLine> lines;
    int skipped = 0;
};

AlarmFileLines ParseAlarmFile(std::string_view bytes);
// A file that does not exist holds no lines.
AlarmFileLines ReadAlarmFile(const std::filesystem::path& path);

}  // namespace qrv
