#include "sheet_command.h"

#include <fmt/format.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "pdf_pages.h"
#include "records/out_of_range.h"
#include "reports/printouts/print_context.h"
#include "reports/text_columns.h"
#include "runtime/calendar.h"
#include "runtime/encoding.h"
#include "runtime/text_file.h"
#include "sensors/rom_text.h"
#include "sensors/sensor_file.h"
#include "settings/station_paths.h"
#include "station_reading.h"
#include "storage/history_sensor.h"
#include "storage/result_file_format.h"
#include "tool_args.h"

namespace qrv::report {

namespace {

struct SheetRequest {
    int year = 0;
    int month = 0;
    std::string probe;  // ROM, network address or result-file key; empty: all
    bool csv = false;
    std::optional<std::string> pdf;
};

struct DayRow {
    int day = 0;
    bool hasValues = false;
    double min = 0.0;
    int minMinute = 0;
    double max = 0.0;
    int maxMinute = 0;
    std::optional<records::TimeOutOfRange> outOfRange;  // none without limits
    std::vector<std::string> alarms;
    std::vector<std::string> acknowledgements;
};

struct ProbeSheet {
    std::string key;
    std::string name;
    std::string units;
    std::optional<std::pair<int, int>> limits;  // low, high
    std::vector<DayRow> days;
};

struct AlarmLine {
    std::string date;  // YYYY-MM-DD
    std::string time;  // HH:MM
    std::string message;
};

std::vector<AlarmLine> ReadAlarmFile(const std::filesystem::path& path) {
    std::vector<AlarmLine> lines;
    const FileBytes file = ReadFileBytes(path);
    LineReader reader(file.bytes);
    while (const auto line = reader.ReadLine(kNoSizeLimit)) {
        // "YYYY-MM-DD HH:MM: message"
        if (line->size() > 18 && (*line)[4] == '-' && (*line)[10] == ' ' && (*line)[16] == ':') {
            lines.push_back({std::string(line->substr(0, 10)), std::string(line->substr(11, 5)),
                             Cp1252ToUtf8(line->substr(18))});
        }
    }
    return lines;
}

std::string TimeOfDay(int minute) {
    return fmt::format("{:02}:{:02}", minute / 60, minute % 60);
}

// The limits of the table's measured probe with that key (type character
// normalised as the readers do).
std::optional<std::pair<int, int>> LimitsOf(const SensorTable& table, std::string_view key) {
    for (int i = 0; i <= table.GetMax1820Index(); ++i) {
        const SensorRecord& record = table.SensorArray[static_cast<std::size_t>(i)];
        KeyChars own = MakeProbeKey(record.Rom, record.SensorType);
        own[0] = '0';
        if (KeyText(own) == key &&
            (record.SensorType == kTypeTemperature || record.SensorType == kTypeHumidity)) {
            return std::pair{record.AlarmLow, record.AlarmHigh};
        }
    }
    return std::nullopt;
}

// The key a probe argument names: a result-file key as it is, a ROM or a
// network address through the sensor file.
std::string KeyOfProbe(const SensorTable& table, std::string_view probe) {
    for (int i = 0; i <= table.GetMax1820Index(); ++i) {
        const SensorRecord& record = table.SensorArray[static_cast<std::size_t>(i)];
        if (RomToHex(record.Rom) == probe || SerialNumberHex(record.Rom) == probe) {
            KeyChars key = MakeProbeKey(record.Rom, record.SensorType);
            key[0] = '0';
            return std::string(KeyText(key));
        }
    }
    return std::string(probe);
}

ProbeSheet& SheetOf(std::vector<ProbeSheet>& sheets, const HistoEntry& entry, int days) {
    const std::string key(KeyText(entry.ProbeKey));
    for (ProbeSheet& sheet : sheets) {
        if (sheet.key == key) {
            return sheet;
        }
    }
    ProbeSheet sheet;
    sheet.key = key;
    for (int d = 1; d <= days; ++d) {
        DayRow row;
        row.day = d;
        sheet.days.push_back(std::move(row));
    }
    sheets.push_back(std::move(sheet));
    return sheets.back();
}

void AddDay(ProbeSheet& sheet, const HistoEntry& entry, int day) {
    DayRow& row = sheet.days[static_cast<std::size_t>(day - 1)];
    sheet.name = entry.ProbeName.utf8;
    sheet.units = std::string(entry.ProbeUnits);
    const auto count = static_cast<std::size_t>(entry.LastIndex + 1);
    const std::span<const int> minutes(entry.SampleTime.data(), count);
    const std::span<const double> values(entry.SampleValue.data(), count);
    for (std::size_t i = 0; i < count; ++i) {
        if (!row.hasValues || values[i] < row.min) {
            row.min = values[i];
            row.minMinute = minutes[i];
        }
        if (!row.hasValues || values[i] > row.max) {
            row.max = values[i];
            row.maxMinute = minutes[i];
        }
        row.hasValues = true;
    }
    if (sheet.limits) {
        row.outOfRange =
            records::DayTimeOutOfRange(minutes, values, sheet.limits->first, sheet.limits->second);
    }
}

// A probe's alarm lines name it after the label and two blanks; the
// acknowledgements are the station's, shown on the days the probe had alarms.
void AddAlarms(ProbeSheet& sheet, const std::vector<AlarmLine>& alarms, int year, int month) {
    const std::string prefix = fmt::format("{:04}-{:02}-", year, month);
    const std::string named = ":  " + sheet.name;
    for (const AlarmLine& line : alarms) {
        if (!line.date.starts_with(prefix)) {
            continue;
        }
        DayRow& row = sheet.days[static_cast<std::size_t>(std::stoi(line.date.substr(8, 2)) - 1)];
        const std::size_t at = line.message.find(named);
        const std::size_t end = at + named.size();
        // The name is followed by two blanks and the value, or ends the
        // message, so "Fridge" never takes the lines of "Fridge 2".
        if (at != std::string::npos &&
            (end == line.message.size() || line.message.compare(end, 2, "  ") == 0)) {
            std::string value = line.message.substr(end);
            value.erase(0, value.find_first_not_of(' '));
            row.alarms.push_back(line.time + " " + line.message.substr(0, at + 1) +
                                 (value.empty() ? "" : " " + value));
        } else if (line.message.starts_with("Acknowledged by ")) {
            row.acknowledgements.push_back(line.time + " " + line.message.substr(16));
        }
    }
    for (DayRow& row : sheet.days) {
        if (row.alarms.empty()) {
            row.acknowledgements.clear();
        }
    }
}

std::string JoinedNotes(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) {
        text += (text.empty() ? "" : "; ") + item;
    }
    return text;
}

void PrintSheetCsv(const std::vector<ProbeSheet>& sheets, int year, int month, std::FILE* out) {
    std::string text =
        "date,key,name,min,min_time,max,max_time,minutes_above_high,minutes_below_low,alarms,"
        "acknowledgements,initials\r\n";
    for (const ProbeSheet& sheet : sheets) {
        for (const DayRow& row : sheet.days) {
            fmt::format_to(std::back_inserter(text), "{:04}-{:02}-{:02},{},{},", year, month,
                           row.day, sheet.key, CsvField(sheet.name));
            if (row.hasValues) {
                fmt::format_to(std::back_inserter(text), "{:.1f},{},{:.1f},{},", row.min,
                               TimeOfDay(row.minMinute), row.max, TimeOfDay(row.maxMinute));
            } else {
                text += ",,,,";
            }
            if (row.outOfRange && row.hasValues) {
                fmt::format_to(std::back_inserter(text), "{},{},", row.outOfRange->minutesAbove,
                               row.outOfRange->minutesBelow);
            } else {
                text += ",,";
            }
            fmt::format_to(std::back_inserter(text), "{},{},\r\n",
                           CsvField(JoinedNotes(row.alarms)),
                           CsvField(JoinedNotes(row.acknowledgements)));
        }
    }
    std::fwrite(text.data(), 1, text.size(), out);
}

constexpr std::size_t kAlarmColumn = 58;
constexpr std::size_t kAlarmWidth = 46;

// The two header rows, in the columns of PageRows.
std::string SheetHeader(bool second) {
    std::string line = second ? fmt::format("{:<2}  {:>6} {:<5}  {:>6} {:<5}  {:>5} {:>5}", "",
                                            "min", "time", "max", "time", "above", "below")
                              : fmt::format("{:<32}{}", "Day", "minutes out");
    line.resize(kAlarmColumn, ' ');
    line += second ? fmt::format("{:<{}} {}", "", kAlarmWidth, "Initials")
                   : std::string("Alarms and acknowledgements");
    return line;
}

// Wide texts continue on rows of their own, under the alarm column.
std::vector<std::string> PageRows(const ProbeSheet& sheet) {
    std::vector<std::string> rows;
    for (const DayRow& row : sheet.days) {
        std::string line = fmt::format("{:2}", row.day);
        if (row.hasValues) {
            line += fmt::format("  {:6.1f} {}  {:6.1f} {}", row.min, TimeOfDay(row.minMinute),
                                row.max, TimeOfDay(row.maxMinute));
        } else {
            line += fmt::format("  {:<28}", "no stored values");
        }
        line += row.outOfRange && row.hasValues
                    ? fmt::format("  {:5} {:5}", row.outOfRange->minutesAbove,
                                  row.outOfRange->minutesBelow)
                    : std::string(13, ' ');
        line.resize(kAlarmColumn, ' ');
        std::vector<std::string> notes = row.alarms;
        for (const std::string& ack : row.acknowledgements) {
            notes.push_back("ack " + ack);
        }
        std::vector<std::string> pieces;
        for (const std::string& note : notes) {
            for (std::size_t at = 0; at < note.size(); at += kAlarmWidth) {
                pieces.push_back(Utf8Left(note.substr(at), kAlarmWidth));
            }
        }
        const std::string initials = " ______";
        line += (pieces.empty() ? std::string(kAlarmWidth, ' ')
                                : FitCharacters(pieces[0], kAlarmWidth)) +
                initials;
        rows.push_back(line);
        for (std::size_t i = 1; i < pieces.size(); ++i) {
            rows.push_back(std::string(kAlarmColumn, ' ') + pieces[i]);
        }
    }
    return rows;
}

}  // namespace

int RunSheet(const std::filesystem::path& station, CommandArgs args, const ToolOutput& output) {
    SheetRequest request;
    std::vector<std::string_view> rest;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--csv") {
            request.csv = true;
        } else if (args[i] == "--pdf" && i + 1 < args.size()) {
            request.pdf = std::string(args[++i]);
        } else if (args[i] == "--probe" && i + 1 < args.size()) {
            request.probe = std::string(args[++i]);
        } else if (args[i].starts_with("--")) {
            fmt::print(stderr, "quorvanel-report: unexpected argument '{}'\n", args[i]);
            return kExitBadArguments;
        } else {
            rest.push_back(args[i]);
        }
    }
    const auto year = rest.size() == 2 ? ParseNumber(rest[0], 1999, 9999) : std::nullopt;
    const auto month = rest.size() == 2 ? ParseNumber(rest[1], 1, 12) : std::nullopt;
    if (!year || !month || request.csv == request.pdf.has_value()) {
        fmt::print(stderr,
                   "quorvanel-report: sheet YYYY MM [--probe PROBE] (--csv | --pdf FILE)\n");
        return kExitBadArguments;
    }
    const StationPaths paths{station};
    SensorTable table;
    ReadSensorFile(paths.SnsFileName(kModeNormal), table);
    const std::string wanted = request.probe.empty() ? "" : KeyOfProbe(table, request.probe);
    const int days = DaysInMonth(*year, *month);
    const int taal = StationLanguage(station);
    auto history = std::make_unique<HistoryData>();
    std::vector<ProbeSheet> sheets;
    for (int day = 1; day <= days; ++day) {
        const auto file = paths.DataDirectory(kModeNormal) /
                          fmt::format("{:04}-{:02}-{:02}.qrd", *year, *month, day);
        if (!FileExists(file)) {
            continue;
        }
        ReadDay(*history, file.string(), taal);
        for (int e = 0; e <= history->HistoryMaxIndex; ++e) {
            const HistoEntry& entry = history->HistoSensor[static_cast<std::size_t>(e)];
            if (!wanted.empty() && KeyText(entry.ProbeKey) != wanted) {
                continue;
            }
            ProbeSheet& sheet = SheetOf(sheets, entry, days);
            sheet.limits = LimitsOf(table, sheet.key);
            AddDay(sheet, entry, day);
        }
    }
    if (sheets.empty()) {
        fmt::print(stderr, "quorvanel-report: no stored values for {:04}-{:02}{}\n", *year, *month,
                   wanted.empty() ? "" : " of probe " + request.probe);
        return kExitNoData;
    }
    const std::vector<AlarmLine> alarms = ReadAlarmFile(paths.AlarmFileName());
    for (ProbeSheet& sheet : sheets) {
        AddAlarms(sheet, alarms, *year, *month);
    }
    if (request.csv) {
        PrintSheetCsv(sheets, *year, *month, output.out);
        return kExitOk;
    }
    const PrintContext context = StationPrintContext(station, false);
    const int status = WritePdf(output, *request.pdf, static_cast<int>(sheets.size()), [&](int p) {
        const ProbeSheet& sheet = sheets[static_cast<std::size_t>(p)];
        ReportPage page;
        page.layout = PageLayout::List;
        page.orientation = PageOrientation::Landscape;
        page.title = fmt::format("Daily minimum and maximum  {:02}/{:04}", *month, *year);
        page.pageLine = fmt::format("Page {} of {}", p + 1, sheets.size());
        page.banner = PrintingBanner(context);
        page.details = {
            NetworkLine(context), fmt::format("Probe: {}   {}", sheet.name, sheet.key),
            sheet.limits ? fmt::format("Alarm limits: low {} {}, high {} {}", sheet.limits->first,
                                       sheet.units, sheet.limits->second, sheet.units)
                         : std::string("No alarm limits: time out of range not counted")};
        page.columnHeader = {SheetHeader(false), SheetHeader(true)};
        page.body = PageRows(sheet);
        return page;
    });
    if (status == kExitOk) {
        fmt::print(output.out, "wrote {} pages to {}\n", sheets.size(), *request.pdf);
    }
    return status;
}

}  // namespace qrv::report
