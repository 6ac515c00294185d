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

using result_line::IsDigit;
using result_line::kValueWidth;

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

bool ParseUnusualValueField(std::string_view field, double& value) {
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
