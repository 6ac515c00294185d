#include "report_command.h"

#include <fmt/format.h>

#include <array>

#include "period_report.h"
#include "station_dump.h"

namespace qrv::report {

namespace {

// Parses the only option of the dump commands.
bool RewriteOption(CommandArgs args, bool& rewrite) {
    rewrite = false;
    for (std::string_view arg : args) {
        if (arg != "--rewrite") {
            fmt::print(stderr, "quorvanel-report: unexpected argument '{}'\n", arg);
            return false;
        }
        rewrite = true;
    }
    return true;
}

int RunSettings(const std::filesystem::path& station, CommandArgs args, std::FILE* out) {
    bool rewrite = false;
    return RewriteOption(args, rewrite) ? DumpSettings(station, rewrite, out) : kExitBadArguments;
}

int RunProbes(const std::filesystem::path& station, CommandArgs args, std::FILE* out) {
    bool rewrite = false;
    return RewriteOption(args, rewrite) ? DumpProbes(station, rewrite, out) : kExitBadArguments;
}

constexpr std::array kCommands{
    Command{"settings", "settings [--rewrite]", "the settings as QRVNL.INI loads them",
            &RunSettings},
    Command{"probes", "probes [--rewrite]", "the probe table as QRVNL.SNS loads it", &RunProbes},
    Command{"day", "day YYYY-MM-DD [--csv]", "probes and statistics of a day", &RunDay},
    Command{"week", "week YYYY WW [--csv]", "probes and statistics of an ISO week", &RunWeek},
    Command{"month", "month YYYY MM [--csv]", "probes and statistics of a month", &RunMonth},
    Command{"years", "years", "the years that have result files", &RunYears},
    Command{"generate", "generate --from DATE ...",
            "write generated result files (--days N --probes N --interval MIN [--seed N])",
            &RunGenerate},
};

}  // namespace

std::span<const Command> Commands() {
    return kCommands;
}

}  // namespace qrv::report
