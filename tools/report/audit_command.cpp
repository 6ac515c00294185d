#include "audit_command.h"

#include <fmt/format.h>

#include <optional>
#include <string>
#include <vector>

#include "pdf_pages.h"
#include "records/audit_trail.h"
#include "reports/printouts/print_context.h"
#include "runtime/text_file.h"
#include "tool_args.h"

namespace qrv::report {

namespace {

constexpr std::string_view kTrailFile = "QRVAudit.txt";
constexpr std::size_t kRowsPerPage = 50;
constexpr std::size_t kRowWidth = 100;

struct AuditRequest {
    bool verify = false;
    std::string from = "0000-00-00";
    std::string to = "9999-99-99";
    std::optional<std::string> pdf;
};

bool DateOption(std::string_view value, std::string& date) {
    int y = 0;
    int m = 0;
    int d = 0;
    if (!ParseDate(value, y, m, d)) {
        fmt::print(stderr, "quorvanel-report: '{}' is not a date (YYYY-MM-DD)\n", value);
        return false;
    }
    date = std::string(value);
    return true;
}

bool ParseAuditArgs(CommandArgs args, AuditRequest& request) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const bool hasValue = i + 1 < args.size();
        if (args[i] == "--verify") {
            request.verify = true;
        } else if (args[i] == "--from" && hasValue) {
            if (!DateOption(args[++i], request.from)) {
                return false;
            }
        } else if (args[i] == "--to" && hasValue) {
            if (!DateOption(args[++i], request.to)) {
                return false;
            }
        } else if (args[i] == "--pdf" && hasValue) {
            request.pdf = std::string(args[++i]);
        } else {
            fmt::print(stderr, "quorvanel-report: unexpected argument '{}'\n", args[i]);
            return false;
        }
    }
    if (request.verify &&
        (request.pdf || request.from != "0000-00-00" || request.to != "9999-99-99")) {
        fmt::print(stderr,
                   "quorvanel-report: --verify checks the whole trail and takes no other option\n");
        return false;
    }
    return true;
}

std::string Row(const records::AuditEntry& entry) {
    std::string row =
        fmt::format("{}  {}  {}", records::AuditTimeText(entry.time), entry.who, entry.what);
    if (!entry.oldValue.empty() || !entry.newValue.empty()) {
        row += fmt::format(": {} -> {}", entry.oldValue.empty() ? "-" : entry.oldValue,
                           entry.newValue.empty() ? "-" : entry.newValue);
    }
    return row;
}

// Long rows go on as indented continuation rows, so a printed line is never cut.
std::vector<std::string> PrintedRows(const std::vector<std::string>& rows) {
    std::vector<std::string> printed;
    for (const std::string& row : rows) {
        std::string_view rest = row;
        printed.emplace_back(rest.substr(0, kRowWidth));
        rest.remove_prefix(std::min(rest.size(), kRowWidth));
        while (!rest.empty()) {
            const std::size_t take = std::min(rest.size(), kRowWidth - 4);
            printed.push_back("    " + std::string(rest.substr(0, take)));
            rest.remove_prefix(take);
        }
    }
    return printed;
}

std::string TrailState(const records::TrailCheck& check) {
    if (check.brokenLine != 0) {
        return fmt::format("{}: {}", kTrailFile, check.reason);
    }
    return fmt::format("{}: the trail is whole: {} lines; SHA-256 of the last line {}", kTrailFile,
                       check.lines, check.lastHash);
}

}  // namespace

int RunAudit(const std::filesystem::path& station, CommandArgs args, const ToolOutput& output) {
    AuditRequest request;
    if (!ParseAuditArgs(args, request)) {
        return kExitBadArguments;
    }
    const FileBytes file = ReadFileBytes(station / kTrailFile);
    if (file.result != kFileOk) {
        fmt::print(stderr, "quorvanel-report: no audit trail to read: {} {}\n",
                   (station / kTrailFile).string(),
                   file.result == kFileDoesNotExist ? "does not exist" : file.reason);
        return kExitNoData;
    }
    const records::TrailCheck check = records::VerifyAuditTrail(file.bytes);
    if (request.verify) {
        fmt::print(output.out, "{}\n", TrailState(check));
        return check.brokenLine == 0 ? kExitOk : kExitTrailBroken;
    }
    std::vector<std::string> rows;
    for (const records::ParsedAuditLine& line : records::ReadAuditLines(file.bytes)) {
        const std::string day = records::AuditTimeText(line.entry.time).substr(0, 10);
        if (day >= request.from && day <= request.to) {
            rows.push_back(Row(line.entry));
        }
    }
    if (check.brokenLine != 0) {
        fmt::print(stderr, "quorvanel-report: {}\n", TrailState(check));
    }
    if (!request.pdf) {
        for (const std::string& row : rows) {
            fmt::print(output.out, "{}\n", row);
        }
        return rows.empty() ? kExitNoData : kExitOk;
    }
    const std::vector<std::string> printed = PrintedRows(rows);
    const int pages =
        std::max(1, static_cast<int>((printed.size() + kRowsPerPage - 1) / kRowsPerPage));
    const PrintContext context = StationPrintContext(station, false);
    const std::string period =
        fmt::format("Period: {} to {}", request.from == "0000-00-00" ? "start" : request.from,
                    request.to == "9999-99-99" ? "today" : request.to);
    const int status = WritePdf(output, *request.pdf, pages, [&](int p) {
        ReportPage page;
        page.layout = PageLayout::List;
        page.title = "Audit trail";
        page.pageLine = fmt::format("Page {} of {}", p + 1, pages);
        page.banner = PrintingBanner(context);
        page.details = {NetworkLine(context), period, TrailState(check)};
        page.columnHeader = {"Time                 Who  What: old value -> new value"};
        const auto first = static_cast<std::size_t>(p) * kRowsPerPage;
        for (std::size_t i = first; i < std::min(printed.size(), first + kRowsPerPage); ++i) {
            page.body.push_back(printed[i]);
        }
        return page;
    });
    if (status == kExitOk) {
        fmt::print(output.out, "wrote {} pages to {}\n", pages, *request.pdf);
    }
    return status;
}

}  // namespace qrv::report
