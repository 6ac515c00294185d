#include "calibration_command.h"

#include <fmt/format.h>

#include <charconv>
#include <cmath>
#include <optional>
#include <string>

#include "notify/acknowledgement.h"
#include "records/audit_recorder.h"
#include "records/calibration.h"
#include "records/calibration_text.h"
#include "runtime/clock.h"
#include "runtime/program_log_file.h"
#include "sensors/rom_text.h"
#include "sensors/sensor_file.h"
#include "settings/station_paths.h"
#include "tool_args.h"

namespace qrv::report {

namespace {

int Refuse(std::string_view message) {
    fmt::print(stderr, "quorvanel-report: {}\n", message);
    return kExitBadArguments;
}

std::optional<double> ParseValue(std::string_view text) {
    double value = 0.0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{} || ptr != text.data() + text.size() || !std::isfinite(value) ||
        std::abs(value) > 1000.0) {
        return std::nullopt;
    }
    return value;
}

// The probe of the station's table by ROM or network address.
const SensorRecord* FindProbe(const SensorTable& table, std::string_view id) {
    for (int i = 0; i <= table.GetMax1820Index(); ++i) {
        const SensorRecord& record = table.SensorArray[static_cast<std::size_t>(i)];
        if (RomToHex(record.Rom) == id || SerialNumberHex(record.Rom) == id) {
            return &record;
        }
    }
    return nullptr;
}

struct SetRequest {
    std::optional<double> offset;
    std::optional<std::array<double, 4>> points;
    std::string date;
    std::string instrument;
    std::string certificate;
    std::string nextDue;
    std::string who;
};

bool ParseSet(CommandArgs args, SetRequest& request, std::string& problem) {
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
                    problem = fmt::format("'{}' is not a value", args[i]);
                    return false;
                }
                point = *parsed;
            }
            request.points = points;
        } else if (arg == "--offset" && (v = value())) {
            request.offset = ParseValue(*v);
            if (!request.offset) {
                problem = fmt::format("'{}' is not an offset", *v);
                return false;
            }
        } else if ((arg == "--date" || arg == "--next-due") && (v = value())) {
            int y = 0;
            int m = 0;
            int d = 0;
            if (!ParseDate(*v, y, m, d)) {
                problem = fmt::format("'{}' is not a date (YYYY-MM-DD)", *v);
                return false;
            }
            (arg == "--date" ? request.date : request.nextDue) = std::string(*v);
        } else if (arg == "--instrument" && (v = value())) {
            request.instrument = std::string(*v);
        } else if (arg == "--certificate" && (v = value())) {
            request.certificate = std::string(*v);
        } else if (arg == "--who" && (v = value())) {
            request.who = std::string(*v);
        } else {
            problem = fmt::format("unexpected argument '{}'", arg);
            return false;
        }
    }
    if (request.offset.has_value() == request.points.has_value()) {
        problem = "give either --offset or --points";
        return false;
    }
    if (request.date.empty() || request.nextDue.empty() || request.instrument.empty() ||
        request.certificate.empty()) {
        problem = "a calibration needs --date, --instrument, --certificate and --next-due";
        return false;
    }
    if (request.nextDue <= request.date) {
        problem = "--next-due must lie after --date";
        return false;
    }
    return true;
}

// Writes the book and its audit line; the line names the probe and shows the
// calibration before and after.
int Store(const std::filesystem::path& station, const records::CalibrationBook& book,
          const std::string& who, const std::string& what, const std::string& before,
          const std::string& after, const ToolOutput& output) {
    if (!records::WriteCalibrationFile(station / records::kCalibrationFileName, book)) {
        fmt::print(stderr, "quorvanel-report: cannot write {}\n",
                   (station / records::kCalibrationFileName).string());
        return kExitCannotWrite;
    }
    RealClock clock;
    ProgramLogFile log(StationPaths{station}.LogFileName(), clock);
    records::AuditTrail trail(station / "QRVAudit.txt");
    records::AuditRecorder(trail, clock, log).Record(who, what, before, after);
    fmt::print(output.out, "{}: {}\n(the station applies it from its next installation or start)\n",
               what, after.empty() ? "removed" : after);
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
        return book.entries.empty() ? kExitNoData : kExitOk;
    }
    if ((args[0] != "set" && args[0] != "clear") || args.size() < 2) {
        return Refuse("calibration set PROBE ... or calibration clear PROBE");
    }
    const SensorRecord* probe = FindProbe(table, args[1]);
    if (probe == nullptr) {
        return Refuse(fmt::format("no probe {} in the station's sensor file", args[1]));
    }
    if (!records::IsCalibratable(*probe)) {
        return Refuse(fmt::format("{} is a switch: a contact has nothing to calibrate", args[1]));
    }
    const std::string what = records::CalibrationSubject(*probe);
    const records::Calibration* old = book.Find(probe->Rom);
    const std::string before = old ? records::CalibrationSummary(*old) : "";
    if (args[0] == "clear") {
        if (args.size() != 2) {
            return Refuse("calibration clear takes only the probe");
        }
        if (!book.Remove(probe->Rom)) {
            fmt::print(stderr, "quorvanel-report: {} has no calibration\n", args[1]);
            return kExitNoData;
        }
        return Store(station, book, notify::LoginName(), what, before, "", output);
    }
    SetRequest request;
    std::string problem;
    if (!ParseSet(args.subspan(2), request, problem)) {
        return Refuse(problem);
    }
    records::Calibration calibration;
    if (request.points) {
        const auto& p = *request.points;
        const auto twoPoint = records::TwoPointCalibration(p[0], p[1], p[2], p[3]);
        if (!twoPoint) {
            return Refuse(
                "the two points give no sound gain (readings at least 1 apart, "
                "gain 0.5 to 2)");
        }
        calibration = *twoPoint;
    } else {
        calibration.offset = *request.offset;
    }
    calibration.rom = probe->Rom;
    calibration.date = request.date;
    calibration.instrument = request.instrument;
    calibration.certificate = request.certificate;
    calibration.nextDue = request.nextDue;
    calibration.who = request.who.empty() ? notify::LoginName() : request.who;
    book.Set(calibration);
    return Store(station, book, calibration.who, what, before,
                 records::CalibrationSummary(calibration), output);
}

}  // namespace qrv::report
