#include "storage/result_file_format.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <iterator>
#include <optional>

#include "runtime/formats.h"
#include "runtime/text_file.h"
#include "sensors/rom_text.h"

namespace qrv {

namespace {

constexpr std::size_t kValueColumn = 14;
constexpr std::size_t kValueWidth = 6;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

constexpr std::array<bool, 256> kHexDigits = [] {
    std::array<bool, 256> table{};
    for (const char c : std::string_view("0123456789ABCDEFabcdef")) {
        table[static_cast<unsigned char>(c)] = true;
    }
    return table;
}();

bool IsHexDigit(char c) {
    return kHexDigits[static_cast<unsigned char>(c)];
}

// n / 10 for the tenths of every value a probe measures (up to 204.7), each
// the correctly rounded quotient, as the division gives it: a division per
// value was the slowest step of reading a month.
constexpr std::size_t kTenthsInTable = 2048;
constexpr std::array<double, kTenthsInTable> kTenths = [] {
    std::array<double, kTenthsInTable> table{};
    for (std::size_t n = 0; n < table.size(); ++n) {
        table[n] = static_cast<double>(n) / 10.0;
    }
    return table;
}();

// The value as the store writes it ("%6.1f": blanks, a sign, digits, a point
// and one decimal): the integer digits by from_chars, the decimal by hand;
// the quotient of two exact doubles is the correctly rounded decimal, as
// from_chars gives it for the whole field. False for any other layout.
bool ParseStoredValue(std::string_view field, double& value) {
    if (field.size() != 6 || field[4] != '.' || !IsDigit(field[5])) {
        return false;
    }
    const char* first = field.data();
    const char* point = first + 4;
    while (first < point && *first == ' ') {
        ++first;
    }
    const bool negative = first < point && *first == '-';
    first += negative ? 1 : 0;
    unsigned whole = 0;
    if (first < point) {
        const auto [end, error] = std::from_chars(first, point, whole);
        if (error != std::errc{} || end != point) {
            return false;
        }
    }
    const unsigned tenths = whole * 10 + static_cast<unsigned>(field[5] - '0');
    const double magnitude =
        tenths < kTenthsInTable ? kTenths[tenths] : static_cast<double>(tenths) / 10.0;
    value = negative ? -magnitude : magnitude;
    return true;
}

// Fifteen digits are what a double holds exactly.
constexpr std::ptrdiff_t kMaxValueDigits = 15;

}  // namespace

std::filesystem::path ResultFilePath(const std::filesystem::path& dataDirectory, int year,
                                     int month, int day) {
    return dataDirectory /
           fmt::format("{:04d}-{:02d}-{:02d}{}", year, month, day, kResultFileExtension);
}

KeyChars MakeProbeKey(const RomCode& rom, int sensorType) {
    const std::string serial = SerialNumberHex(rom);
    KeyChars key{};
    std::copy_n(serial.begin(), key.size(), key.begin());
    key[0] = static_cast<char>(sensorType & 0xFF);
    return key;
}

std::string FormatResultHeader(std::string_view fileDate) {
    std::string header;
    for (std::string_view line : kResultHeaderLines) {
        header.append(line).append(kCrLf);
    }
    header.append(fileDate).append(kCrLf);
    return header;
}

void AppendSampleBlock(std::string& out, int hour, int minute,
                       std::span<const ProbeLineData> probes) {
    fmt::format_to(std::back_inserter(out), "{:02d}:{:02d}  {:04d}\r\n", hour, minute,
                   probes.size());
    for (const ProbeLineData& probe : probes) {
        std::string value = notation::Real(probe.value, 1, static_cast<int>(kValueWidth));
        if (value.size() != kValueWidth) {
            value = notation::Real(kNoReadingMarker, 1, static_cast<int>(kValueWidth));
        }
        const std::size_t lineStart = out.size();
        out.append(KeyText(probe.key)).append("  ").append(value).append("  ");
        out.append(probe.nameCp1252);
        // A name ending like a block header ("Kamer 12:00  0001") would read
        // as one written behind a torn line; a blank after it keeps the line
        // a probe line.
        if (TrailingSampleHeader(std::string_view(out).substr(lineStart))) {
            out.push_back(' ');
        }
        out.append(kCrLf);
    }
}

std::optional<SampleHeader> ParseSampleHeader(std::string_view line) {
    // The whole line is the header: "HH:MM", two blanks and a count of one to
    // four digits. A count followed by anything else is a header cut short by
    // a crash with the next block's header written behind it ("10:02  0"
    // then "10:10  0002"); reading its digits would invent a count.
    if (line.size() < 8 || line.size() > 11 || !IsDigit(line[0]) || !IsDigit(line[1]) ||
        line[2] != ':' || !IsDigit(line[3]) || !IsDigit(line[4]) || line[5] != ' ' ||
        line[6] != ' ') {
        return std::nullopt;
    }
    const int hours = (line[0] - '0') * 10 + (line[1] - '0');
    const int minutes = (line[3] - '0') * 10 + (line[4] - '0');
    if (hours > 23 || minutes > 59) {
        return std::nullopt;
    }
    int count = 0;
    for (const char c : line.substr(7)) {
        if (!IsDigit(c)) {
            return std::nullopt;
        }
        count = count * 10 + (c - '0');
    }
    return SampleHeader{hours * 60 + minutes, count, line.substr(0, 5)};
}

std::optional<std::string_view> TrailingSampleHeader(std::string_view line) {
    constexpr std::size_t kHeaderLength = 11;
    if (line.size() <= kHeaderLength) {
        return std::nullopt;
    }
    const std::string_view tail = line.substr(line.size() - kHeaderLength);
    return ParseSampleHeader(tail) ? std::optional(tail) : std::nullopt;
}

std::string_view LineEndToFinish(std::string_view bytes) {
    if (bytes.empty() || bytes.back() == '\n') {
        return {};
    }
    return bytes.back() == '\r' ? std::string_view("\n") : kCrLf;
}

bool ParseValueFieldInto(std::string_view field, double& value) {
    if (ParseStoredValue(field, value)) {
        return true;
    }
    const std::size_t start = field.find_first_not_of(' ');
    if (start == std::string_view::npos) {
        return false;
    }
    const char* first = field.data() + start;
    const char* last = field.data() + field.size();
    // from_chars would also take "inf", "nan" and, in a longer field, more
    // digits than a double holds exactly: a value is digits and a point.
    const char* digits = *first == '-' ? first + 1 : first;
    if (digits == last || !(IsDigit(*digits) || *digits == '.') ||
        (last - digits > kMaxValueDigits &&
         std::count_if(digits, last, IsDigit) > kMaxValueDigits)) {
        return false;
    }
    const auto [end, error] = std::from_chars(first, last, value, std::chars_format::fixed);
    return error == std::errc{} && end == last;
}

std::optional<double> ParseValueField(std::string_view field) {
    double value = 0.0;
    return ParseValueFieldInto(field, value) ? std::optional(value) : std::nullopt;
}

bool ParseProbeLineInto(std::string_view line, ProbeLine& probe) {
    if (line.size() < kValueColumn + kValueWidth) {
        return false;
    }
    const auto type = static_cast<unsigned char>(line[0]);
    if (type <= ' ' || type == 0x7F) {
        return false;
    }
    bool hex = true;
    for (std::size_t i = 1; i < kProbeKeyLength; ++i) {
        hex &= IsHexDigit(line[i]);
    }
    if (!hex || line[12] != ' ' || line[13] != ' ') {
        return false;
    }
    for (std::size_t i = kValueColumn + kValueWidth; i < kProbeNameColumn && i < line.size(); ++i) {
        if (line[i] != ' ') {
            return false;
        }
    }
    if (!ParseValueFieldInto(line.substr(kValueColumn, kValueWidth), probe.value)) {
        return false;
    }
    std::copy_n(line.begin(), kProbeKeyLength, probe.key.begin());
    probe.name =
        line.size() > kProbeNameColumn ? line.substr(kProbeNameColumn) : std::string_view{};
    return true;
}

std::optional<ProbeLine> ParseProbeLine(std::string_view line) {
    ProbeLine probe;
    return ParseProbeLineInto(line, probe) ? std::optional(probe) : std::nullopt;
}

int ConvertTijdStringNaarMinuten(std::string_view text) {
    if (text.size() < 5) {
        return -1;
    }
    return ((text[0] - '0') * 10 + (text[1] - '0')) * 60 + (text[3] - '0') * 10 + (text[4] - '0');
}

int ProbeTypeOfTypeCharacter(char typeChar) {
    const auto code = static_cast<unsigned char>(typeChar);
    // 0xE7 is the low byte of the unknown-family type, which is what it stands for.
    return code == (kTypeUnknown & 0xFF) ? kTypeUnknown : code;
}

std::string_view UnitsOfTypeCharacter(char typeChar) {
    switch (typeChar) {
        case '0':
            return "\u00B0C";
        case '1':
            return " %";
        case '2':
            return "  ";
        default:
            return "";
    }
}

}  // namespace qrv
