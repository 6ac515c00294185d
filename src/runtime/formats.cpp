#include "runtime/formats.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include <fmt/format.h>

namespace qrv::notation {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view SkipBlanks(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && IsBlank(text[pos])) {
        ++pos;
    }
    return text.substr(pos);
}

}  // namespace

std::string Real(double value, int precision, int width) {
    if (!std::isfinite(value)) {
        // A file line must keep its shape whatever a reading produced.
        value = value > 0 ? 9999.9 : -9999.9;
    }
    return fmt::format("{:>{}.{}f}", value, width, precision);
}

std::string Int(long long value, int width, bool zeroPad) {
    if (zeroPad) {
        return fmt::format("{:0{}d}", value, width);
    }
    return fmt::format("{:>{}d}", value, width);
}

std::string Fit(std::string_view text, std::size_t width) {
    std::string result(text.substr(0, std::min(text.size(), width)));
    result.resize(width, ' ');
    return result;
}

std::string_view Take(std::string_view text, std::size_t width) {
    return text.substr(0, std::min(text.size(), width));
}

std::optional<int> ScanInt(std::string_view text) {
    text = SkipBlanks(text);
    std::size_t pos = 0;
    if (pos < text.size() && text[pos] == '+') {
        ++pos;
    }
    long long value = 0;
    const char* begin = text.data() + pos;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    if (ec == std::errc::result_out_of_range) {
        return (begin < end && *begin == '-') ? std::numeric_limits<int>::min()
                                              : std::numeric_limits<int>::max();
    }
    if (ec != std::errc{} || ptr == begin) {
        return std::nullopt;
    }
    if (value > std::numeric_limits<int>::max()) {
        return std::numeric_limits<int>::max();
    }
    if (value < std::numeric_limits<int>::min()) {
        return std::numeric_limits<int>::min();
    }
    return static_cast<int>(value);
}

std::optional<double> ScanReal(std::string_view text) {
    text = SkipBlanks(text);
    std::size_t pos = 0;
    if (pos < text.size() && text[pos] == '+') {
        ++pos;
    }
    double value = 0;
    const char* begin = text.data() + pos;
    const auto [ptr, ec] =
        std::from_chars(begin, text.data() + text.size(), value, std::chars_format::general);
    if (ptr == begin || (ec != std::errc{} && ec != std::errc::result_out_of_range)) {
        return std::nullopt;
    }
    if (!std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::string_view ScanWord(std::string_view text) {
    text = SkipBlanks(text);
    std::size_t end = 0;
    while (end < text.size() && !IsBlank(text[end])) {
        ++end;
    }
    return text.substr(0, end);
}

}  // namespace qrv::notation
