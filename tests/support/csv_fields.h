#pragma once

// The fields of one line of the reports' CSV: split at commas outside
// quotes, the quotes dropped (a quote inside a field is not written by the
// reports, so it is not looked for).
#include <string>
#include <string_view>
#include <vector>

namespace qrv::testing {

inline std::vector<std::string> CsvFields(std::string_view line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (const char c : line) {
        if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

}  // namespace qrv::testing
