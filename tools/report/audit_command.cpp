#include "audit_command.h"

#include <fmt/format.h>

#include <optional>
#include <string>
#include <vector>

#include "pdf_pages.h"
#include "records/audit_trail.h"
#include "records/clean_text.h"
#include "reports/printouts/print_context.h"
#include "runtime/text_file.h"
#include "tool_args.h"

namespace qrv::report {

namespace {

constexpr std::string_view kTrailFile = "QRVAudit.txt";
constexpr std::size_t kRowsPerPage = 50;
constexpr std::size_t kRowWidth = 100;
// Detail lines are set in a proportional font the page fits far fewer of.
constexpr std::size_t kDetailWidth = 80;

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

// A line's texts shown as they are, except control characters, which an
// older trail may hold and which must not pass for a row or column break.
std::string Row(const records::TrailLine& line) {
    const records::AuditEntry& entry = line.parsed->entry;
    std::string row =
        fmt::format("{}  {}  {}", records::AuditTimeText(entry.time),
                    records::VisibleText(entry.who), records::VisibleText(entry.what));
    if (!entry.oldValue.empty() || !entry.newValue.empty()) {
        row += fmt::format(": {} -> {}",
                           entry.oldValue.empty() ? "-" : records::VisibleText(entry.oldValue),
                           entry.newValue.empty() ? "-" : records::VisibleText(entry.newValue));
    }
    if (!entry.reason.empty()) {
        row += fmt::format("  (reason: {})", records::VisibleText(entry.reason));
    }
    if (!line.problem.empty()) {
        row = fmt::format("ALTERED  {}  [{}]", row, line.problem);
    }
    return row;
}

// The bytes of the first `count` characters of UTF-8 text.
std::size_t PrefixBytes(std::string_view text, std::size_t count) {
    std::size_t bytes = 0;
    for (std::size_t chars = 0; bytes < text.size(); ++bytes) {
        if ((static_cast<unsigned char>(text[bytes]) & 0xC0) != 0x80 && chars++ == count) {
            break;
        }
    }
    return bytes;
}

// A long text as rows of at most `width` characters, the later ones
// indented, broken after a blank where there is one in the second half of
// the row, so a printed line is never cut.
void AppendWrapped(std::string_view text, std::size_t width, std::vector<std::string>& rows) {
    constexpr std::string_view kIndent = "    ";
    std::string_view indent;
    do {
        std::size_t take = PrefixBytes(text, width - indent.size());
        if (take < text.size()) {
            const std::size_t blank = text.substr(0, take).rfind(' ');
            if (blank != std::string_view::npos && blank >= take / 2) {
                take = blank + 1;
            }
        }
        rows.push_back(std::string(indent) + std::string(text.substr(0, take)));
        text.remove_prefix(take);
        indent = kIndent;
    } while (!text.empty());
}

std::vector<std::string> PrintedRows(const std::vector<std::string>& rows) {
    std::vector<std::string> printed;
    for (const std::string& row : rows) {
        AppendWrapped(row, kRowWidth, printed);
    }
    return printed;
}

std::string TrailState(const records::TrailCheck& check) {
    if (check.brokenLine != 0) {
        return fmt::format("{}: {}", kTrailFile, check.reason);
    }
    if (check.uncheckedSeals > 0) {
        return fmt::format(
            "{}: the seals cannot be checked ({}): the chain of {} lines holds, but {} keyed "
            "seals are unchecked; SHA-256 of the last line {}",
            kTrailFile, check.keyProblem, check.lines, check.uncheckedSeals, check.lastHash);
    }
    return fmt::format("{}: the trail is whole: {} lines; SHA-256 of the last line {}", kTrailFile,
                       check.lines, check.lastHash);
}

int CheckStatus(const records::TrailCheck& check) {
    if (check.brokenLine != 0) {
        return kExitTrailBroken;
    }
    return check.uncheckedSeals > 0 ? kExitSealsUnchecked : kExitOk;
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
    const records::TrailReading reading = records::ReadAuditTrail(
        file.bytes, records::ReadTrailKey(station / records::kTrailKeyFileName));
    const records::TrailCheck& check = reading.check;
    if (request.verify) {
        fmt::print(output.out, "{}\n", TrailState(check));
        return CheckStatus(check);
    }
    std::vector<std::string> rows;
    for (const records::TrailLine& line : reading.lines) {
        if (!line.parsed) {
            rows.push_back(fmt::format("DAMAGED  [{}]", line.problem));
            continue;
        }
        const std::string day = records::AuditTimeText(line.parsed->entry.time).substr(0, 10);
        if (day >= request.from && day <= request.to) {
            rows.push_back(Row(line));
        }
    }
    if (!check.Whole()) {
        fmt::print(stderr, "quorvanel-report: {}\n", TrailState(check));
    }
    if (!request.pdf) {
        for (const std::string& row : rows) {
            fmt::print(output.out, "{}\n", row);
        }
        if (!check.Whole()) {
            fmt::print(output.out, "{}\n", TrailState(check));
            return CheckStatus(check);
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
        page.details = {NetworkLine(context), period};
        // The head of the trail in full: it anchors the trail outside the file.
        AppendWrapped(TrailState(check), kDetailWidth, page.details);
        page.columnHeader = {"Time                 Who  What: old value -> new value"};
        const auto first = static_cast<std::size_t>(p) * kRowsPerPage;
        for (std::size_t i = first; i < std::min(printed.size(), first + kRowsPerPage); ++i) {
            page.body.push_back(printed[i]);
        }
        return page;
    });
    if (status != kExitOk) {
        return status;
    }
    fmt::print(output.out, "wrote {} pages to {}\n", pages, *request.pdf);
    return CheckStatus(check);
}

}  // namespace qrv::report
