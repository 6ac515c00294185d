#include "time_alarm_command.h"

#include <fmt/format.h>

#include <climits>
#include <optional>
#include <string>

#include "change_author.h"
#include "probe_lookup.h"
#include "records/audit_recorder.h"
#include "records/calibration_text.h"
#include "records/file_restore_point.h"
#include "records/setting_changes.h"
#include "records/time_alarm.h"
#include "runtime/clock.h"
#include "runtime/program_log_file.h"
#include "sensors/rom_text.h"
#include "sensors/sensor_file.h"
#include "settings/station_paths.h"
#include "tool_args.h"

namespace qrv::report {

namespace {

int List(const records::TimeAlarmBook& book, const SensorTable& table, const ToolOutput& output) {
    if (book.entries.empty()) {
        fmt::print(output.out, "no probe has a time alarm\n");
    }
    for (const records::TimeAlarm& alarm : book.entries) {
        const ProbeLookup lookup = LookUpProbe(table, RomToHex(alarm.rom));
        fmt::print(output.out, "{} {}: {}\n", RomToHex(alarm.rom),
                   lookup.probe ? lookup.probe->Name : "(not in the sensor file)",
                   records::TimeAlarmSummary(alarm));
    }
    return kExitOk;
}

// The sides `set` asks for, each judged as the file's reader judges it.
bool ParseSet(CommandArgs args, records::TimeAlarm& alarm, std::string& problem) {
    bool any = false;
    bool seenAbove = false;
    bool seenBelow = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if ((arg != "--above" && arg != "--below") || i + 1 >= args.size()) {
            problem = fmt::format("unexpected argument '{}'", arg);
            return false;
        }
        if (arg == "--above" ? seenAbove : seenBelow) {
            problem = fmt::format("{} is given twice", arg);
            return false;
        }
        (arg == "--above" ? seenAbove : seenBelow) = true;
        const std::string_view text = args[++i];
        const std::optional<int> minutes = ParseNumber(text, INT_MIN, INT_MAX);
        if (!minutes) {
            problem = fmt::format("{}: '{}' is not a whole number of minutes", arg, text);
            return false;
        }
        if (const std::string why = records::TimeAlarmThresholdProblem(*minutes); !why.empty()) {
            problem = fmt::format("{}: {}", arg, why);
            return false;
        }
        (arg == "--above" ? alarm.minutesAbove : alarm.minutesBelow) = *minutes;
        any = true;
    }
    if (!any) {
        problem = "time-alarm set needs --above MIN, --below MIN or both";
    }
    return any;
}

bool ParseClear(CommandArgs args, records::TimeAlarm& alarm, std::string& problem) {
    if (args.empty()) {
        alarm.minutesAbove.reset();
        alarm.minutesBelow.reset();
        return true;
    }
    if (args.size() == 1 && (args[0] == "--above" || args[0] == "--below")) {
        (args[0] == "--above" ? alarm.minutesAbove : alarm.minutesBelow).reset();
        return true;
    }
    problem = "time-alarm clear PROBE takes at most one of --above and --below";
    return false;
}

// clearing names what a clear removes ("time alarm", "time alarm above"),
// nullptr for a set.
int Store(const std::filesystem::path& station, const SensorRecord& probe,
          const records::TimeAlarm& wanted, const char* clearing, const ChangeAuthor& author,
          const ToolOutput& output) {
    std::optional<records::TimeAlarm> after;
    if (wanted.minutesAbove || wanted.minutesBelow) {
        after = wanted;
    }
    const std::filesystem::path file = station / records::kTimeAlarmFileName;
    const records::FileRestorePoint before(file);
    const records::TimeAlarmUpdate update = records::UpdateTimeAlarmFile(file, probe.Rom, after);
    if (!update.error.empty()) {
        fmt::print(stderr, "quorvanel-report: {}\n", update.error);
        return kExitCannotWrite;
    }
    if (!update.changed && clearing) {
        fmt::print(stderr, "quorvanel-report: {} {} has no {} to clear\n",
                   SerialNumberHex(probe.Rom), probe.Name, clearing);
        return kExitNoData;
    }
    if (!update.changed) {
        fmt::print(output.out, "{} {}: unchanged\n", SerialNumberHex(probe.Rom), probe.Name);
        return kExitOk;
    }
    RealClock clock;
    ProgramLogFile log(StationPaths{station}.LogFileName(), clock);
    records::AuditTrail trail(station / "QRVAudit.txt");
    records::AuditRecorder recorder(trail, clock, log);
    const std::string who = RecordedWhoOfThisProcess(author.claimed);
    for (const records::SettingChange& change :
         records::TimeAlarmChanges(probe, update.before, update.after)) {
        if (!recorder.Record(who, change.what, change.oldValue, change.newValue, author.reason)) {
            before.Restore();
            fmt::print(stderr, "quorvanel-report: {} ({})\n", records::TrailNotWrittenReason(),
                       trail.LastProblem());
            return kExitCannotWrite;
        }
    }
    fmt::print(output.out, "{} {}: {}\n(a running station applies it within seconds)\n",
               SerialNumberHex(probe.Rom), probe.Name,
               update.after ? records::TimeAlarmSummary(*update.after) : "no time alarm");
    return kExitOk;
}

}  // namespace

int RunTimeAlarm(const std::filesystem::path& station, CommandArgs args, const ToolOutput& output) {
    SensorTable table;
    ReadSensorFile(StationPaths{station}.SnsFileName(kModeNormal), table);
    const records::TimeAlarmFileResult read =
        records::ReadTimeAlarmFile(station / records::kTimeAlarmFileName);
    if (!read.error.empty()) {
        fmt::print(stderr, "quorvanel-report: {}\n", read.error);
        return kExitNoData;
    }
    if (args.empty()) {
        return List(read.book, table, output);
    }
    if ((args[0] != "set" && args[0] != "clear") || args.size() < 2) {
        return BadArguments(
            "time-alarm set PROBE [--above MIN] [--below MIN] or time-alarm clear PROBE");
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
    const SensorRecord& probe = *lookup.probe;
    records::TimeAlarm wanted{probe.Rom, std::nullopt, std::nullopt};
    if (const records::TimeAlarm* current = read.book.Find(probe.Rom)) {
        wanted = *current;
    }
    const char* clearing = nullptr;
    if (args[0] == "set") {
        if (!records::IsCalibratable(probe)) {
            return BadArguments(
                fmt::format("{} is a switch: a contact is never out of range", args[1]));
        }
        if (!ParseSet(*rest, wanted, problem)) {
            return BadArguments(problem);
        }
    } else if (!ParseClear(*rest, wanted, problem)) {
        return BadArguments(problem);
    } else {
        clearing = rest->empty()                ? "time alarm"
                   : rest->front() == "--above" ? "time alarm above"
                                                : "time alarm below";
    }
    return Store(station, probe, wanted, clearing, author, output);
}

}  // namespace qrv::report
