#include "records/audit_line.h"

#include <fmt/format.h>

#include <array>
#include <charconv>
#include <vector>

#include "records/sha256.h"

namespace qrv::records {

namespace {

constexpr std::size_t kFields = 7;
constexpr std::size_t kFieldsWithReason = 8;

std::string Escaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            default:
                out.push_back(c);
        }
    }
    return out;
}

std::optional<std::string> Unescaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out.push_back(text[i]);
            continue;
        }
        if (++i == text.size()) {
            return std::nullopt;
        }
        switch (text[i]) {
            case '\\':
                out.push_back('\\');
                break;
            case 't':
                out.push_back('\t');
                break;
            case 'r':
                out.push_back('\r');
                break;
            case 'n':
                out.push_back('\n');
                break;
            default:
                return std::nullopt;
        }
    }
    return out;
}

bool ParseInt(std::string_view text, int& value) {
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc{} && ptr == text.data() + text.size();
}

std::optional<LocalDateTime> ParseTime(std::string_view text) {
    if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != ' ' ||
        text[13] != ':' || text[16] != ':') {
        return std::nullopt;
    }
    LocalDateTime time;
    if (!ParseInt(text.substr(0, 4), time.year) || !ParseInt(text.substr(5, 2), time.month) ||
        !ParseInt(text.substr(8, 2), time.day) || !ParseInt(text.substr(11, 2), time.hour) ||
        !ParseInt(text.substr(14, 2), time.minute) || !ParseInt(text.substr(17, 2), time.second)) {
        return std::nullopt;
    }
    return time;
}

}  // namespace

std::string AuditTimeText(const LocalDateTime& time) {
    return fmt::format("{:04}-{:02}-{:02} {:02}:{:02}:{:02}", time.year, time.month, time.day,
                       time.hour, time.minute, time.second);
}

std::string FormatAuditLine(const AuditEntry& entry, std::string_view previousHash,
                            const TrailKey* key) {
    std::string line =
        fmt::format("{}\t{}\t{}\t{}\t{}\t", AuditTimeText(entry.time), Escaped(entry.who),
                    Escaped(entry.what), Escaped(entry.oldValue), Escaped(entry.newValue));
    if (!entry.reason.empty()) {
        line += Escaped(entry.reason) + "\t";
    }
    line += fmt::format("{}\t", previousHash);
    line += key ? KeyedSeal(*key, line) : Sha256Hex(line);
    return line;
}

std::optional<ParsedAuditLine> ParseAuditLine(std::string_view line, const TrailKey* key) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (std::size_t tab = line.find('\t'); tab != std::string_view::npos;
         tab = line.find('\t', start)) {
        fields.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
    fields.push_back(line.substr(start));
    if (fields.size() != kFields && fields.size() != kFieldsWithReason) {
        return std::nullopt;
    }
    std::optional<std::string> reason{std::string()};
    if (fields.size() == kFieldsWithReason) {
        reason = Unescaped(fields[5]);
        // An empty reason is written as no field at all.
        if (reason && reason->empty()) {
            return std::nullopt;
        }
        fields.erase(fields.begin() + 5);
    }
    const auto time = ParseTime(fields[0]);
    std::array<std::optional<std::string>, 4> texts{Unescaped(fields[1]), Unescaped(fields[2]),
                                                    Unescaped(fields[3]), Unescaped(fields[4])};
    if (!time || !texts[0] || !texts[1] || !texts[2] || !texts[3] || !reason) {
        return std::nullopt;
    }
    ParsedAuditLine parsed;
    parsed.entry = AuditEntry{*time, *texts[0], *texts[1], *texts[2], *texts[3], *reason};
    parsed.previousHash = std::string(fields[5]);
    parsed.seal = std::string(fields[6]);
    parsed.keyed = parsed.seal.starts_with(kKeyedSealPrefix);
    const std::string_view content = line.substr(0, line.size() - fields[6].size());
    if (!parsed.keyed) {
        parsed.sealed = Sha256Hex(content) == parsed.seal;
    } else if (key) {
        parsed.sealed = KeyedSeal(*key, content) == parsed.seal;
    }
    return parsed;
}

}  // namespace qrv::records
