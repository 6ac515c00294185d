#include "sheet_command.h"

#include <fmt/format.h>

#include <optional>
#include <string>
#include <vector>

#include "pdf_pages.h"
#include "probe_lookup.h"
#include "records/audit_trail.h"
#include "reports/printouts/daily_sheet.h"
#include "sensors/rom_text.h"
#include "sensors/sensor_file.h"
#include "settings/station_paths.h"
#include "station_reading.h"
#include "tool_args.h"

namespace qrv::report {

namespace {

struct SheetRequest {
    int year = 0;
    int month = 0;
    std::string probe;  // ROM, network address, name or result-file key; empty: all
    bool csv = false;
    std::optional<std::string> pdf;
};

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
        for (const SheetDay& row : sheet.days) {
            fmt::format_to(std::back_inserter(text), "{:04}-{:02}-{:02},{},{},", year, month,
                           row.day, sheet.key, CsvField(sheet.name));
            if (row.hasValues) {
                fmt::format_to(std::back_inserter(text), "{:.1f},{},{:.1f},{},", row.min,
                               SheetTimeOfDay(row.minMinute), row.max,
                               SheetTimeOfDay(row.maxMinute));
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
    std::string wanted;
    if (!request.probe.empty()) {
        const ProbeLookup lookup = LookUpProbe(table, request.probe);
        if (lookup.ambiguous) {
            return BadArguments(lookup.problem);
        }
        // Not in the sensor file: it may still be the key of a probe removed
        // since, in the result files.
        wanted = SheetProbeKey(table, lookup.probe ? RomToHex(lookup.probe->Rom) : request.probe);
    }
    const int taal = StationLanguage(station);
    const SheetSources sources{
        paths.DataDirectory(kModeNormal), paths.AlarmFileName(), table,
        [taal](HistoryData& day, const std::string& file) { ReadDay(day, file, taal); }};
    const std::vector<ProbeSheet> sheets = LoadDailySheets(sources, *year, *month, wanted);
    if (sheets.empty()) {
        fmt::print(stderr, "quorvanel-report: no stored values for {:04}-{:02}{}\n", *year, *month,
                   wanted.empty() ? "" : " of probe " + request.probe);
        return kExitNoData;
    }
    if (sheets.front().skippedAlarmLines > 0) {
        fmt::print(stderr,
                   "quorvanel-report: {} lines of {} could not be read and are not on the sheet\n",
                   sheets.front().skippedAlarmLines, paths.AlarmFileName().filename().string());
    }
    if (!sheets.front().trailNote.empty()) {
        fmt::print(stderr, "quorvanel-report: note: {}\n", sheets.front().trailNote);
    }
    if (request.csv) {
        PrintSheetCsv(sheets, *year, *month, output.out);
        return kExitOk;
    }
    PrintContext context = StationPrintContext(station, false);
    context.trailHead = records::TrailHeadNow(station / records::kAuditTrailFileName);
    const std::vector<ReportPage> pages = DailySheetPages(sheets, *year, *month, context);
    const int status = WritePdf(output, *request.pdf, static_cast<int>(pages.size()),
                                [&](int p) { return pages[static_cast<std::size_t>(p)]; });
    if (status == kExitOk) {
        fmt::print(output.out, "wrote {} pages to {}\n", pages.size(), *request.pdf);
    }
    return status;
}

}  // namespace qrv::report
