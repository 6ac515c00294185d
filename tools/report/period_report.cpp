#include "period_report.h"

#include <fmt/format.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "pdf_pages.h"
#include "records/audit_trail.h"
#include "records/limit_history.h"
#include "records/out_of_range.h"
#include "reports/printouts/daily_list.h"
#include "reports/printouts/day_pages.h"
#include "reports/printouts/period_loading.h"
#include "reports/printouts/period_pages.h"
#include "reports/printouts/time_out_of_range.h"
#include "reports/statistics.h"
#include "runtime/calendar.h"
#include "runtime/clock.h"
#include "runtime/text_file.h"
#include "settings/settings_file.h"
#include "settings/station_paths.h"
#include "station_reading.h"
#include "storage/history_sensor.h"
#include "storage/month_sensor.h"
#include "storage/period_files.h"
#include "storage/read_progress.h"
#include "storage/result_file_format.h"
#include "storage/result_generator.h"
#include "storage/status_messages.h"
#include "tool_args.h"

namespace qrv::report {

namespace {

struct PeriodRequest {
    PeriodSelection selection;
    bool csv = false;
    bool demo = false;
    std::optional<std::string> pdf;
    bool list = false;  // the daily list instead of the day pages
};

// The ISO weeks of a year: the week of 28 December.
int WeeksInYear(int year) {
    CalendarRecord cal;
    cal.CalYear = year;
    cal.CalMonth = 12;
    cal.CalDay = 28;
    ConvertDateToWeekNumber(cal);
    return cal.WeekNumber;
}

int BadOptions() {
    return BadArguments(
        "unknown option, or options that do not go together (--csv or --pdf FILE; "
        "--list only with --pdf for a day)");
}

// Splits the options off; the rest are the period's positional arguments.
bool TakeOptions(CommandArgs args, PeriodRequest& request, std::vector<std::string_view>& rest) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg == "--csv") {
            request.csv = true;
        } else if (arg == "--demo") {
            request.demo = true;
        } else if (arg == "--list") {
            request.list = true;
        } else if (arg == "--pdf" && i + 1 < args.size()) {
            request.pdf = std::string(args[++i]);
        } else if (arg.starts_with("--")) {
            return false;
        } else {
            rest.push_back(arg);
        }
    }
    // One output at a time; the daily list is a printout of a day.
    return !(request.csv && request.pdf) &&
           (!request.list || (request.pdf && request.selection.period == ReportPeriod::Day));
}

std::filesystem::path DataDirectoryOf(const std::filesystem::path& station, bool demo) {
    return StationPaths{station}.DataDirectory(demo ? kModeDemo : kModeNormal);
}

// Every value of every file of the period, in time order within a day. The
// last two columns say how many minutes a value out of range counts for
// (summed per day they give the daily sheet's figures); empty for a probe
// without limits.
int PrintCsv(const PeriodData& period, const PrintContext& context, std::FILE* out) {
    const int taal = context.taal;
    auto day = std::make_unique<HistoryData>();
    struct Row {
        int minute;
        int entry;
        int index;
        std::optional<records::TimeOutOfRange> outOfRange;
    };
    std::vector<Row> rows;
    std::string text = "date_time,key,name,value,minutes_above_high,minutes_below_low\r\n";
    std::size_t values = 0;
    for (int position = 1; position < kPrintFileCount; ++position) {
        const std::string& file = period.PrintFile[static_cast<std::size_t>(position)];
        if (file == kNoPrintFile) {
            continue;
        }
        ReadDay(*day, file, taal);
        const std::optional<FileDay> fileDay = DayOfFile(*day);
        rows.clear();
        for (int e = 0; e <= day->HistoryMaxIndex; ++e) {
            const HistoEntry& entry = day->HistoSensor[static_cast<std::size_t>(e)];
            const auto count = static_cast<std::size_t>(entry.LastIndex + 1);
            const auto limits = context.LimitsOf(KeyText(entry.ProbeKey));
            const std::string serial =
                context.limitHistory && fileDay
                    ? context.limitHistory->SerialOfKey(KeyText(entry.ProbeKey))
                    : std::string();
            const std::vector<int> counted =
                records::CountedMinutes(std::span(entry.SampleTime).first(count));
            for (std::size_t i = 0; i < count; ++i) {
                Row row{entry.SampleTime[i], e, static_cast<int>(i), std::nullopt};
                if (limits) {
                    // Each value against the limits in force when it was stored.
                    const records::LimitHistory::Limits now{limits->alarmLow, limits->alarmHigh};
                    const auto [low, high] =
                        serial.empty()
                            ? now
                            : context.limitHistory->At(serial, now, fileDay->year, fileDay->month,
                                                       fileDay->day, entry.SampleTime[i]);
                    const int side = records::OutOfRangeSide(entry.SampleValue[i], low, high);
                    row.outOfRange = records::TimeOutOfRange{side > 0 ? counted[i] : 0,
                                                             side < 0 ? counted[i] : 0};
                }
                rows.push_back(row);
            }
        }
        std::stable_sort(rows.begin(), rows.end(),
                         [](const Row& a, const Row& b) { return a.minute < b.minute; });
        // The day is the one the finder looked for, whatever the file's date line says.
        const std::string date = std::filesystem::path(file).stem().string();
        for (const Row& row : rows) {
            const HistoEntry& entry = day->HistoSensor[static_cast<std::size_t>(row.entry)];
            fmt::format_to(std::back_inserter(text), "{}T{:02d}:{:02d},{},{},{:.1f},", date,
                           row.minute / 60, row.minute % 60, KeyText(entry.ProbeKey),
                           CsvField(entry.ProbeName.utf8),
                           entry.SampleValue[static_cast<std::size_t>(row.index)]);
            if (row.outOfRange) {
                fmt::format_to(std::back_inserter(text), "{},{}", row.outOfRange->minutesAbove,
                               row.outOfRange->minutesBelow);
            } else {
                text += ',';
            }
            text += "\r\n";
        }
        values += rows.size();
        std::fwrite(text.data(), 1, text.size(), out);
        text.clear();
    }
    return values > 0 ? kExitOk : kExitNoData;
}

int PrintProbes(const PeriodData& period, const PeriodTimesOutOfRange& outOfRange,
                const PrintContext& context, std::FILE* out) {
    const int taal = context.taal;
    for (int e = 0; e <= period.MonthMaxIndex; ++e) {
        const MonthEntry& entry = period.MonthSensor[static_cast<std::size_t>(e)];
        fmt::print(out, "probe: {} {}\ntype: {}\nunits: {}\n", KeyText(entry.ProbeKey),
                   entry.ProbeName.utf8, entry.ProbeType, entry.ProbeUnits);
        const Statisticals stats =
            ComputeStatisticals(entry.SlotMax, entry.SlotMin, entry.LastIndex);
        for (const std::string& line :
             CalculateAndListStatisticals(stats, entry.ProbeUnits, taal)) {
            fmt::print(out, "{}\n", line);
        }
        if (const auto minutes = OutOfRangeOf(outOfRange, KeyText(entry.ProbeKey))) {
            for (const std::string& line : OutOfRangeLines(*minutes, taal)) {
                fmt::print(out, "{}\n", line);
            }
        }
    }
    return period.MonthMaxIndex >= 0 ? kExitOk : kExitNoData;
}

int WrittenOrNoData(int status, int pages, const PeriodRequest& request, std::FILE* out) {
    if (pages <= 0) {
        return kExitNoData;
    }
    if (status == kExitOk) {
        fmt::print(out, "wrote {} pages to {}\n", pages, *request.pdf);
    }
    return status;
}

// The day pages of every probe of the day (print all), or its daily list.
int WriteDayPdf(const PeriodData& period, const PeriodRequest& request, const PrintContext& context,
                const ToolOutput& output) {
    const std::string& file = period.PrintFile[static_cast<std::size_t>(request.selection.day)];
    if (file == kNoPrintFile) {
        return kExitNoData;
    }
    auto day = std::make_unique<HistoryData>();
    ReadDay(*day, file, context.taal);
    const int probes = day->HistoryMaxIndex + 1;
    if (request.list) {
        const int pages = DailyListPageCount(probes);
        const int status = WritePdf(output, *request.pdf, pages, [&](int i) {
            return MakeDailyListPage(*day, i + 1, pages, context);
        });
        return WrittenOrNoData(status, pages, request, output.out);
    }
    const int status = WritePdf(output, *request.pdf, probes,
                                [&](int i) { return MakeDayPage(*day, i, context); });
    return WrittenOrNoData(status, probes, request, output.out);
}

int WritePeriodPdf(const PeriodData& period, const PeriodTimesOutOfRange& outOfRange,
                   const PeriodRequest& request, const PrintContext& context,
                   const ToolOutput& output) {
    const int probes = period.MonthMaxIndex + 1;
    const int status = WritePdf(output, *request.pdf, probes, [&](int i) {
        const MonthEntry& entry = period.MonthSensor[static_cast<std::size_t>(i)];
        return MakePeriodPage(entry, request.selection, context,
                              OutOfRangeOf(outOfRange, KeyText(entry.ProbeKey)));
    });
    return WrittenOrNoData(status, probes, request, output.out);
}

// Why a day's result file that is there is none the readers take (they pass
// over it as if the day had no data); "" when it is a file or is not there.
std::string NotAResultFile(const std::filesystem::path& file) {
    std::error_code error;
    const std::filesystem::file_status target = std::filesystem::status(file, error);
    if (!std::filesystem::exists(target)) {
        return std::filesystem::is_symlink(std::filesystem::symlink_status(file, error))
                   ? "it is a link to nothing"
                   : "";
    }
    if (std::filesystem::is_regular_file(target)) {
        return {};
    }
    return std::filesystem::is_directory(target) ? "it is a directory, not a result file"
                                                 : "it is a device, a pipe or a socket, not a "
                                                   "result file";
}

// The trail's limit changes, read once for the report; a trail that cannot
// be read leaves today's limits, with the note on stderr, and in the text
// report after its probes.
std::string UseTrailLimits(const std::filesystem::path& station, PrintContext& context) {
    const StationPaths paths{station};
    records::TrailLimits trail = records::ReadTrailLimits(paths.AlarmFileName().parent_path() /
                                                          records::kAuditTrailFileName);
    if (!trail.note.empty()) {
        fmt::print(stderr, "quorvanel-report: note: {}\n", trail.note);
        return trail.note;
    }
    context.limitHistory = std::make_shared<const records::LimitHistory>(std::move(trail.history));
    return {};
}

int RunPeriod(const std::filesystem::path& station, const PeriodRequest& request,
              const ToolOutput& output) {
    PrintContext context = StationPrintContext(station, request.demo);
    const std::string trailNote = UseTrailLimits(station, context);
    const int taal = context.taal;
    const std::filesystem::path dataDirectory = DataDirectoryOf(station, request.demo);
    if (request.selection.period == ReportPeriod::Day) {
        const PeriodSelection& day = request.selection;
        const std::filesystem::path file =
            ResultFilePath(dataDirectory, day.year, day.month, day.day);
        if (const std::string why = NotAResultFile(file); !why.empty()) {
            fmt::print(stderr, "quorvanel-report: {}: {}\n", file.string(), why);
            return kExitNoData;
        }
    }
    auto period = std::make_unique<PeriodData>();
    SilentProgress progress;
    // A CSV and the day pages read each day's file whole; the rest works on
    // the period's slots.
    if (request.csv || (request.pdf && request.selection.period == ReportPeriod::Day)) {
        FindPeriodFiles(*period, request.selection, dataDirectory, taal, progress);
        return request.csv ? PrintCsv(*period, context, output.out)
                           : WriteDayPdf(*period, request, context, output);
    }
    // The minutes out of range come from the same read of each file as the
    // slots.
    PeriodOutOfRangeTally outOfRange(context.limitsOf, context.limitHistory);
    const int files =
        LoadPeriod(*period, request.selection, dataDirectory, taal, progress,
                   [&outOfRange](int, const HistoryData& day) { outOfRange.AddDay(day); });
    if (files <= 0) {
        return kExitNoData;
    }
    if (request.pdf) {
        return WritePeriodPdf(*period, outOfRange.Sums(), request, context, output);
    }
    const int status = PrintProbes(*period, outOfRange.Sums(), context, output.out);
    if (!trailNote.empty()) {
        fmt::print(output.out, "note: {}\n", trailNote);
    }
    return status;
}

}  // namespace

int RunDay(const std::filesystem::path& station, CommandArgs args, const ToolOutput& output) {
    PeriodRequest request;
    request.selection.period = ReportPeriod::Day;
    std::vector<std::string_view> rest;
    if (!TakeOptions(args, request, rest)) {
        return BadOptions();
    }
    PeriodSelection& day = request.selection;
    if (rest.size() != 1 || !ParseDate(rest[0], day.year, day.month, day.day)) {
        return BadArguments("day wants a date YYYY-MM-DD");
    }
    return RunPeriod(station, request, output);
}

int RunWeek(const std::filesystem::path& station, CommandArgs args, const ToolOutput& output) {
    PeriodRequest request;
    request.selection.period = ReportPeriod::Week;
    std::vector<std::string_view> rest;
    std::optional<int> year;
    std::optional<int> week;
    if (!TakeOptions(args, request, rest)) {
        return BadOptions();
    }
    if (rest.size() == 2) {
        year = ParseNumber(rest[0], 1, 9999);
        week = year ? ParseNumber(rest[1], 1, WeeksInYear(*year)) : std::nullopt;
    }
    if (!year || !week) {
        return BadArguments("week wants an ISO week-year and a week of that year");
    }
    request.selection.year = *year;
    request.selection.week = *week;
    return RunPeriod(station, request, output);
}

int RunMonth(const std::filesystem::path& station, CommandArgs args, const ToolOutput& output) {
    PeriodRequest request;
    request.selection.period = ReportPeriod::Month;
    std::vector<std::string_view> rest;
    std::optional<int> year;
    std::optional<int> month;
    if (!TakeOptions(args, request, rest)) {
        return BadOptions();
    }
    if (rest.size() == 2) {
        year = ParseNumber(rest[0], 1, 9999);
        month = ParseNumber(rest[1], 1, 12);
    }
    if (!year || !month) {
        return BadArguments("month wants a year and a month 1..12");
    }
    request.selection.year = *year;
    request.selection.month = *month;
    return RunPeriod(station, request, output);
}

int RunYears(const std::filesystem::path& station, CommandArgs args, const ToolOutput& output) {
    std::FILE* out = output.out;
    PeriodRequest request;
    std::vector<std::string_view> rest;
    if (!TakeOptions(args, request, rest) || !rest.empty() || request.csv || request.pdf) {
        return BadArguments("years takes only --demo");
    }
    const std::filesystem::path dataDirectory = DataDirectoryOf(station, request.demo);
    RealClock clock;
    int found = 0;
    for (int year = FindNextAvailableYear(dataDirectory, 1, clock); year > 0;
         year = FindNextAvailableYear(dataDirectory, year + 1, clock)) {
        fmt::print(out, "{}\n", year);
        ++found;
    }
    return found > 0 ? kExitOk : kExitNoData;
}

int RunGenerate(const std::filesystem::path& station, CommandArgs args, const ToolOutput& output) {
    std::FILE* out = output.out;
    GeneratorOptions options;
    bool demo = false;
    bool haveFrom = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg == "--demo") {
            demo = true;
            continue;
        }
        if (i + 1 >= args.size()) {
            return BadArguments(fmt::format("generate: {} needs a value", arg));
        }
        const std::string_view value = args[++i];
        std::optional<int> number;
        if (arg == "--from") {
            haveFrom = ParseDate(value, options.year, options.month, options.day);
            number = haveFrom ? std::optional<int>(0) : std::nullopt;
        } else if (arg == "--days") {
            number = ParseNumber(value, 1, 3660);
            options.days = number.value_or(0);
        } else if (arg == "--probes") {
            number = ParseNumber(value, 1, 100);
            options.probes = number.value_or(0);
        } else if (arg == "--interval") {
            number = ParseNumber(value, 1, 60);
            options.intervalMinutes = number.value_or(0);
        } else if (arg == "--seed") {
            number = ParseNumber(value, 0, 1000000000);
            options.seed = static_cast<unsigned>(number.value_or(0));
        }
        if (!number) {
            return BadArguments(fmt::format("generate: bad option {} {}", arg, value));
        }
    }
    if (!haveFrom) {
        return BadArguments("generate wants --from YYYY-MM-DD");
    }
    const std::filesystem::path dataDirectory = DataDirectoryOf(station, demo);
    const Generation generation = GenerateResultFiles(dataDirectory, options);
    if (!generation.Written()) {
        fmt::print(stderr, "quorvanel-report: {}\n", generation.problem);
        return kExitNoData;
    }
    fmt::print(out, "wrote {} result files to {}\n", generation.filesWritten,
               dataDirectory.string());
    return kExitOk;
}

}  // namespace qrv::report
