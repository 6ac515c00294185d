// Any bytes as the alarm file, read as the daily sheet reads it: every line
// kept has a date that exists and a time of the day, every other line that
// is not a title line is counted as skipped, and a sound line appended after
// the bytes is read as it was written, leaving what came before alone.
#include <algorithm>
#include <string>

#include "fuzz/fuzz_support.h"
#include "reports/printouts/alarm_file_lines.h"
#include "runtime/calendar.h"

namespace {

using qrv::fuzz::Expect;

void CheckLines(const qrv::AlarmFileLines& file, std::size_t lineCount) {
    Expect(file.skipped >= 0 &&
               file.lines.size() + static_cast<std::size_t>(file.skipped) <= lineCount,
           "no more lines kept and skipped than the bytes hold");
    for (const qrv::AlarmLine& line : file.lines) {
        Expect(line.month >= 1 && line.month <= 12, "a month of the year");
        Expect(line.day >= 1 && line.day <= qrv::DaysInMonth(line.year, line.month),
               "a day that the month has");
        Expect(line.time.size() == 5 && line.time[2] == ':' && line.time < "24:00" &&
                   line.time.substr(3) < "60",
               "a time of the day");
        Expect(qrv::fuzz::IsValidUtf8(line.message), "messages are valid UTF-8");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = qrv::fuzz::Bytes(data, size);
    const std::size_t lineCount =
        static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1;
    const qrv::AlarmFileLines before = qrv::ParseAlarmFile(bytes);
    CheckLines(before, lineCount);

    std::string appended(bytes);
    if (!appended.empty() && appended.back() == '\r') {
        appended += '\n';
    } else if (!appended.empty() && appended.back() != '\n') {
        appended += "\r\n";
    }
    appended += "2024-02-29 23:59: High Alarm:  Fridge     8.5\r\n";
    const qrv::AlarmFileLines after = qrv::ParseAlarmFile(appended);
    CheckLines(after, lineCount + 1);
    Expect(after.skipped == before.skipped, "a sound line is never skipped");
    Expect(after.lines.size() == before.lines.size() + 1, "a sound line is read");
    for (std::size_t i = 0; i < before.lines.size(); ++i) {
        Expect(after.lines[i].message == before.lines[i].message &&
                   after.lines[i].time == before.lines[i].time &&
                   after.lines[i].day == before.lines[i].day,
               "an appended line changes no line read before it");
    }
    const qrv::AlarmLine& last = after.lines.back();
    Expect(last.year == 2024 && last.month == 2 && last.day == 29 && last.time == "23:59" &&
               last.message == "High Alarm:  Fridge     8.5",
           "the appended line is read as written");
    return 0;
}
