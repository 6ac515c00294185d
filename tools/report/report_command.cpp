
#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <optional>

#include "audit_command.h"
#include "calibration_command.h"
#include "pdf_pages.h"
#include "period_report.h"
#include "records/calibration.h"
#include "records/time_alarm.h"
#include "report_command.h"
#include "reports/printouts/settings_pages.h"
#include "runtime/clock.h"
#include "sensors/sensor_file.h"
#include "settings/settings_file.h"
#include "settings/station_paths.h"
#include "sheet_command.h"
#include "station_dump.h"
#include "time_alarm_command.h"

namespace qrv::report {

namespace {

struct DumpOptions {
    bool rewrite = false;
    std::optional<std::string> pdf;
};

// Parses the options of the dump commands.
bool ParseDumpOptions(CommandArgs args, DumpOptions& options) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--rewrite") {
            options.rewrite = true;
        } else if (args[i] == "--pdf" && i + 1 < args.size()) {
            options.pdf = std::string(args[++i]);
        } else {
            fmt::print(stderr, "quorvanel-report: unexpected argument '{}'\n", args[i]);
            return false;
        }
    }
    if (options.rewrite && options.pdf) {
        fmt::print(stderr, "quorvanel-report: --rewrite and --pdf do not go together\n");
        return false;
    }
    return true;
}

int ReportWritten(const ToolOutput& output, int status, int pages, const std::string& path) {
    if (status == 0) {
        fmt::print(output.out, "wrote {} pages to {}\n", pages, path);
    }
    return status;
}

int RunSettings(const std::filesystem::path& station, CommandArgs args, const ToolOutput& output) {
    DumpOptions options;
    if (!ParseDumpOptions(args, options)) {
        return kExitBadArguments;
    }
    if (!options.pdf) {
        return DumpSettings(station, options.rewrite, output.out);
    }
    const StationPaths paths{station};
    SystemSettings settings;
    ReadIniFile(paths.IniFileName(), settings);
    SensorTable table;
    ReadSensorFile(paths.SnsFileName(kModeNormal), table);
    const PrintContext context = StationPrintContext(station, false);
    const int status = WritePdf(output, *options.pdf, 1, [&](int) {
        return MakeSystemSettingsPage(settings, table.GetMax1820Index() + 1, context);
    });
    return ReportWritten(output, status, 1, *options.pdf);
}

int RunProbes(const std::filesystem::path& station, CommandArgs args, const ToolOutput& output) {
    DumpOptions options;
    if (!ParseDumpOptions(args, options)) {
        return kExitBadArguments;
    }
    if (!options.pdf) {
        return DumpProbes(station, options.rewrite, output.out);
    }
    SensorTable table;
    if (ReadSensorFile(StationPaths{station}.SnsFileName(kModeNormal), table) < 0 ||
        table.GetMax1820Index() < 0) {
        fmt::print(stderr, "quorvanel-report: no probes to print\n");
        return kExitNoData;
    }
    const PrintContext context = StationPrintContext(station, false);
    const records::CalibrationFileResult calibrations =
        records::ReadCalibrationFile(station / records::kCalibrationFileName);
    if (!calibrations.error.empty()) {
        // The probe pages are worth having even so; the calibrations are missed
        // for a reason the user is told.
        fmt::print(stderr, "quorvanel-report: calibrations left out: {}\n", calibrations.error);
    }
    const records::TimeAlarmFileResult timeAlarms =
        records::ReadTimeAlarmFile(station / records::kTimeAlarmFileName);
    if (!timeAlarms.error.empty()) {
        fmt::print(stderr, "quorvanel-report: time alarms left out: {}\n", timeAlarms.error);
    }
    const ProbeSettingsPrintout printout(table, calibrations.book,
                                         timeAlarms.error.empty() ? &timeAlarms.book : nullptr,
                                         RealClock().Now(), context.taal);
    const int pages = printout.PageCount();
    const int status =
        WritePdf(output, *options.pdf, pages, [&](int i) { return printout.Page(i, context); });
    return ReportWritten(output, status, pages, *options.pdf);
}

constexpr std::array kCommands{
    Command{"settings", "settings [--rewrite | --pdf FILE]",
            "the settings as QRVNL.INI loads them, or their printout", &RunSettings},
    Command{"probes", "probes [--rewrite | --pdf FILE]",
            "the probe table as QRVNL.SNS loads it, or its printout", &RunProbes},
    Command{"day", "day YYYY-MM-DD [--csv | --pdf FILE [--list]]",
            "probes and statistics of a day; its day pages or daily list", &RunDay},
    Command{"week", "week YYYY WW [--csv | --pdf FILE]",
            "probes and statistics of an ISO week; its week pages", &RunWeek},
    Command{"month", "month YYYY MM [--csv | --pdf FILE]",
            "probes and statistics of a month; its month pages", &RunMonth},
    Command{"years", "years", "the years that have result files", &RunYears},
    Command{"generate", "generate --from DATE ...",
            "write generated result files (--days N --probes N --interval MIN [--seed N])",
            &RunGenerate},
    Command{"audit", "audit --verify | [--from DATE] [--to DATE] [--pdf FILE]",
            "check the audit trail's chain, or list or print its lines", &RunAudit},
    Command{"calibration", "calibration [set PROBE ... | clear PROBE]",
            "the probes' calibrations; set (--offset X | --points R1 V1 R2 V2) --date D "
            "--instrument T --certificate C --next-due D, or clear one; both take [--who NAME] "
            "[--reason TEXT]",
            &RunCalibration},
    Command{"time-alarm", "time-alarm [set PROBE ... | clear PROBE ...]",
            "the alarms on minutes out of range in 24 h; set [--above MIN] [--below MIN], "
            "or clear [--above | --below]; both take [--who NAME] [--reason TEXT]",
            &RunTimeAlarm},
    Command{"sheet", "sheet YYYY MM [--probe PROBE] (--csv | --pdf FILE)",
            "the daily minimum and maximum sheet of a month, for initials", &RunSheet},
};

}  // namespace

std::span<const Command> Commands() {
    return kCommands;
}

bool WritesIntoStation(CommandArgs command) {
    if (command.empty()) {
        return false;
    }
    const std::string_view name = command.front();
    const bool changes = command.size() > 1 && (command[1] == "set" || command[1] == "clear");
    return name == "generate" || ((name == "calibration" || name == "time-alarm") && changes) ||
           ((name == "settings" || name == "probes") &&
            std::find(command.begin(), command.end(), "--rewrite") != command.end());
}

}  // namespace qrv::report
