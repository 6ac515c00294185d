#include "storage/result_file_format.h"

#include <fmt/format.h>

#include <algorithm>
#include <iterator>

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

bool IsHexDigit(char c) {
    return IsDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// Exact powers of ten, so that digits / 10^k rounds exactly as strtod does.
constexpr std::array<double, 16> kPowersOfTen{1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                              1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

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

std::optional<double> ParseValueField(std::string_view field) {
    std::size_t pos = 0;
    while (pos < field.size() && field[pos] == ' ') {
        ++pos;
    }
    bool negative = false;
    if (pos < field.size() && field[pos] == '-') {
        negative = true;
        ++pos;
    }
    std::uint64_t digits = 0;
    int digitCount = 0;
    int decimals = 0;
    bool point = false;
    for (; pos < field.size(); ++pos) {
        const char c = field[pos];
        if (IsDigit(c)) {
            digits = digits * 10 + static_cast<std::uint64_t>(c - '0');
            ++digitCount;
            decimals += point ? 1 : 0;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return std::nullopt;
        }
    }
    if (digitCount == 0 || digitCount > 15) {
        return std::nullopt;
    }
    const double value =
        static_cast<double>(digits) / kPowersOfTen[static_cast<std::size_t>(decimals)];
    return negative ? -value : value;
}

std::optional<ProbeLine> ParseProbeLine(std::string_view line) {
    if (line.size() < kValueColumn + kValueWidth) {
        return std::nullopt;
    }
    const auto type = static_cast<unsigned char>(line[0]);
    if (type <= ' ' || type == 0x7F) {
        return std::nullopt;
    }
    for (std::size_t i = 1; i < kProbeKeyLength; ++i) {
        if (!IsHexDigit(line[i])) {
            return std::nullopt;
        }
    }
    if (line[12] != ' ' || line[13] != ' ') {
        return std::nullopt;
    }
    for (std::size_t i = kValueColumn + kValueWidth; i < kProbeNameColumn && i < line.size(); ++i) {
        if (line[i] != ' ') {
            return std::nullopt;
        }
    }
    const std::optional<double> value = ParseValueField(line.substr(kValueColumn, kValueWidth));
    if (!value) {
        return std::nullopt;
    }
    ProbeLine probe;
    std::copy_n(line.begin(), kProbeKeyLength, probe.key.begin());
    probe.value = *value;
    probe.name =
        line.size() > kProbeNameColumn ? line.substr(kProbeNameColumn) : std::string_view{};
    return probe;
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
