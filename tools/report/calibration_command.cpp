#include "calibration_command.h"

#include <fmt/format.h>

#include <charconv>
#include <cmath>
#include <optional>
#include <string>

#include "change_author.h"
#include "notify/acknowledgement.h"
#include "probe_lookup.h"
#include "records/audit_recorder.h"
#include "records/calibration.h"
#include "records/calibration_request.h"
#include "records/calibration_text.h"
#include "records/file_restore_point.h"
#include "runtime/clock.h"
#include "runtime/program_log_file.h"
#include "sensors/rom_text.h"
#include "sensors/sensor_file.h"
#include "settings/station_paths.h"
#include "tool_args.h"

namespace qrv::report {

namespace {

// "nan" and "inf" parse as doubles, but no reading is ever either.
std::optional<double> ParseValue(std::string_view text) {
    double value = 0.0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{} || ptr != text.data() + text.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

// The switches of `calibration set`; what they ask for is judged by
// MakeCalibration, as the probe editor's calibrations are.
bool ParseSet(CommandArgs args, records::CalibrationRequest& request, std::string& problem) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        const auto value = [&]() -> std::optional<std::string_view> {
            if (i + 1 < args.size()) {
                return args[++i];
            }
            return std::nullopt;
        };
        std::optional<std::string_view> v;
        if (arg == "--points") {
            if (i + 4 >= args.size()) {
                problem = "--points needs REF1 READ1 REF2 READ2";
                return false;
            }
            std::array<double, 4> points{};
            for (double& point : points) {
                const auto parsed = ParseValue(args[++i]);
                if (!parsed) {
                    problem = fmt::format("--points: '{}' is not a number", args[i]);
                    return false;
                }
                point = *parsed;
            }
            request.points = points;
        } else if (arg == "--offset" && (v = value())) {
            request.offset = ParseValue(*v);
            if (!request.offset) {
                problem = fmt::format("--offset: '{}' is not a number", *v);
                return false;
            }
        } else if ((arg == "--date" || arg == "--next-due") && (v = value())) {
            (arg == "--date" ? request.date : request.nextDue) = std::string(*v);
        } else if (arg == "--instrument" && (v = value())) {
            request.instrument = std::string(*v);
        } else if (arg == "--certificate" && (v = value())) {
            request.certificate = std::string(*v);
        } else {
            problem = fmt::format("unexpected argument '{}'", arg);
            return false;
        }
    }
    return true;
}

// Changes the file and writes the change's audit line, which names the probe
// and shows the calibration before and after.
int Store(const std::filesystem::path& station, const SensorRecord& probe,
          const std::optional<records::Calibration>& calibration, const ChangeAuthor& author,
          const ToolOutput& output) {
    const std::filesystem::path file = station / records::kCalibrationFileName;
    const records::FileRestorePoint before(file);
    const records::CalibrationUpdate update =
        records::UpdateCalibrationFile(file, probe.Rom, calibration);
    if (!update.error.empty()) {
        fmt::print(stderr, "quorvanel-report: {}\n", update.error);
        return kExitCannotWrite;
    }
    const std::string what = records::CalibrationSubject(probe);
    if (!update.changed) {  // only a clear changes nothing
        fmt::print(stderr, "quorvanel-report: {} {} has no calibration to clear\n",
                   SerialNumberHex(probe.Rom), probe.Name);
        return kExitNoData;
    }
    RealClock clock;
    ProgramLogFile log(StationPaths{station}.LogFileName(), clock);
    records::AuditTrail trail(station / "QRVAudit.txt");
    if (!records::AuditRecorder(trail, clock, log)
             .Record(RecordedWhoOfThisProcess(author.claimed), what, update.before, update.after,
                     author.reason)) {
        before.Restore();
        fmt::print(stderr, "quorvanel-report: {} ({})\n", records::TrailNotWrittenReason(),
                   trail.LastProblem());
        return kExitCannotWrite;
    }
    fmt::print(output.out, "{}: {}\n(a running station applies it within seconds)\n", what,
               update.after.empty() ? "removed" : update.after);
    return kExitOk;
}

}  // namespace

int RunCalibration(const std::filesystem::path& station, CommandArgs args,
                   const ToolOutput& output) {
    SensorTable table;
    ReadSensorFile(StationPaths{station}.SnsFileName(kModeNormal), table);
    records::CalibrationFileResult read =
        records::ReadCalibrationFile(station / records::kCalibrationFileName);
    if (!read.error.empty()) {
        fmt::print(stderr, "quorvanel-report: {}\n", read.error);
        return kExitNoData;
    }
    records::CalibrationBook& book = read.book;
    if (args.empty()) {
        RealClock clock;
        for (const std::string& line : records::CalibrationListing(book, table, clock.Now())) {
            fmt::print(output.out, "{}\n", line);
        }
        if (book.entries.empty()) {
            fmt::print(output.out, "no probe has a calibration\n");
        }
        return kExitOk;
    }
    if ((args[0] != "set" && args[0] != "clear") || args.size() < 2) {
        return BadArguments("calibration set PROBE ... or calibration clear PROBE");
    }
    ChangeAuthor author;
    std::string problem;
    const auto rest = TakeAuthor(args.subspan(2), author, problem);
    if (!rest) {
        return BadArguments(problem);
    }
    const ProbeLookup lookup = LookUpProbe(table, args[1]);
    if (lookup.probe == nullptr) {
        return BadArguments(lookup.problem);
    }
    const SensorRecord* probe = lookup.probe;
    if (!records::IsCalibratable(*probe)) {
        return BadArguments(
            fmt::format("{} is a switch: a contact has nothing to calibrate", args[1]));
    }
    if (args[0] == "clear") {
        if (!rest->empty()) {
            return BadArguments("calibration clear takes only the probe, --who and --reason");
        }
        return Store(station, *probe, std::nullopt, author, output);
    }
    records::CalibrationRequest request;
    if (!ParseSet(*rest, request, problem)) {
        return BadArguments(problem);
    }
    request.who = author.claimed.empty() ? notify::LoginName() : author.claimed;
    const records::CalibrationOutcome outcome =
        records::MakeCalibration(probe->Rom, request, RealClock().Now());
    if (!outcome.calibration) {
        return BadArguments(records::CalibrationProblemText(outcome.problem));
    }
    return Store(station, *probe, outcome.calibration, author, output);
}

}  // namespace qrv::report
