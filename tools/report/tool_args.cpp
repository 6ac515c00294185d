#include "tool_args.h"

#include <fmt/format.h>

#include <charconv>

#include "report_command.h"
#include "runtime/calendar.h"

namespace qrv::report {

int BadArguments(std::string_view message) {
    fmt::print(stderr, "quorvanel-report: {}\n", message);
    return kExitBadArguments;
}

std::optional<int> ParseNumber(std::string_view text, int low, int high) {
    int value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{} || ptr != text.data() + text.size() || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

bool ParseDate(std::string_view text, int& year, int& month, int& day) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') {
        return false;
    }
    const auto y = ParseNumber(text.substr(0, 4), 1, 9999);
    const auto m = ParseNumber(text.substr(5, 2), 1, 12);
    const auto d = ParseNumber(text.substr(8, 2), 1, 31);
    if (!y || !m || !d || *d > DaysInMonth(*y, *m)) {
        return false;
    }
    year = *y;
    month = *m;
    day = *d;
    return true;
}

}  // namespace qrv::report
