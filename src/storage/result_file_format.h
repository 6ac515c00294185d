#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "sensors/sensor_record.h"

namespace qrv {

// The day's result file (YYYY-MM-DD.qrd): a five-line header, then one sample
// block per store. Every reader and the writer share these definitions so the
// files stay byte-identical with those of older installations.

inline constexpr std::size_t kResultHeaderWidth = 41;
inline constexpr std::string_view kResultEqualsLine = "=========================================";
inline constexpr std::string_view kResultVersionLine = "QRVNL Qrd FILE Vs 1.10                   ";
inline constexpr std::string_view kResultNoticeLine = "Quorvanel result file, written by station";
static_assert(kResultEqualsLine.size() == kResultHeaderWidth);
static_assert(kResultVersionLine.size() == kResultHeaderWidth);
static_assert(kResultNoticeLine.size() == kResultHeaderWidth);

inline constexpr std::array<std::string_view, 4> kResultHeaderLines{
    kResultEqualsLine, kResultVersionLine, kResultNoticeLine, kResultEqualsLine};

inline constexpr std::string_view kResultFileExtension = ".qrd";
// Readers take at most this many characters of a line and drop the rest.
inline constexpr std::size_t kResultLineLimit = 82;
// Written for a probe that is off; rejected by every reader.
inline constexpr double kNoReadingMarker = -300.0;
inline constexpr std::size_t kProbeKeyLength = 12;
// Column (0-based) where the probe name starts in a probe line.
inline constexpr std::size_t kProbeNameColumn = 22;

using KeyChars = std::array<char, kProbeKeyLength>;

// Keys are compared for every value read: two loads each, not a call.
inline bool SameKey(const KeyChars& a, const KeyChars& b) {
    std::uint64_t a0 = 0;
    std::uint64_t b0 = 0;
    std::uint32_t a1 = 0;
    std::uint32_t b1 = 0;
    std::memcpy(&a0, a.data(), sizeof a0);
    std::memcpy(&b0, b.data(), sizeof b0);
    std::memcpy(&a1, a.data() + sizeof a0, sizeof a1);
    std::memcpy(&b1, b.data() + sizeof b0, sizeof b1);
    return a0 == b0 && a1 == b1;
}
static_assert(kProbeKeyLength == sizeof(std::uint64_t) + sizeof(std::uint32_t));

// The key with the temperature's type character, as the readers file every
// probe. Built in two stores of the sizes SameKey loads: a store of the one
// character followed by a wider load stalls the processor, once a value.
inline KeyChars WithTemperatureType(const KeyChars& key) {
    KeyChars out{};
    std::memcpy(out.data(), key.data(), out.size());
    if constexpr (std::endian::native == std::endian::little) {
        std::uint64_t head = 0;
        std::memcpy(&head, key.data(), sizeof head);
        head = (head & ~std::uint64_t{0xFF}) | std::uint64_t{'0'};
        std::memcpy(out.data(), &head, sizeof head);
    } else {
        out[0] = '0';
    }
    return out;
}

inline std::string_view KeyText(const KeyChars& key) {
    return {key.data(), key.size()};
}

// "YYYY-MM-DD.qrd" in dataDirectory.
std::filesystem::path ResultFilePath(const std::filesystem::path& dataDirectory, int year,
                                     int month, int day);

// The probe key: the low byte of the sensor type as its first character ('0'
// temperature, '1' humidity, '2' switch, 0xE7 unknown), followed by the low 11
// hex digits of the serial number (Rom elements 6 down to 1).
KeyChars MakeProbeKey(const RomCode& rom, int sensorType);

// The five header lines with their CR LF line ends.
std::string FormatResultHeader(std::string_view fileDate);

// One probe line of a block, with the name already in Windows-1252.
struct ProbeLineData {
    KeyChars key{};
    double value = 0.0;
    std::string nameCp1252;
};

// Appends one sample block to out: the "HH:MM  NNNN" header line for the given
// minutes of the day, then one line per probe. A value that would not fit the
// six value columns is written as the no-reading marker, so the columns of the
// line can never shift. A name that ends like a block header gets a blank
// behind it.
void AppendSampleBlock(std::string& out, int hour, int minute,
                       std::span<const ProbeLineData> probes);

// A sample header line "HH:MM  NNNN" (one to four count digits), the whole
// line and nothing else.
struct SampleHeader {
    int minutes = 0;        // of the day
    int count = 0;          // probe lines that follow
    std::string_view time;  // "HH:MM"
};
std::optional<SampleHeader> ParseSampleHeader(std::string_view line);

// A block header that an older station appended to a line a crash had left
// unfinished stands at the end of that line ("0000000A1B08:10  0003"); it
// still starts its block. It wins over a probe line the two halves happen to
// form ("0000000A1B2C    21.5  Ko" + "10:10  0002"), or the next block's
// values would be filed under the torn block's minute. The header part of the
// line, or nullopt.
std::optional<std::string_view> TrailingSampleHeader(std::string_view line);

// What a store writes before its block when the file does not end with a line
// end (a crash cut the last write short): the missing CR LF, or only the LF
// after a lone CR. Without it the unfinished line would swallow the next
// block's header.
std::string_view LineEndToFinish(std::string_view bytes);

// A probe line "KKKKKKKKKKKK  VVVVVV  NAME"; the key is returned with its type
// character, the name in the file's bytes.
struct ProbeLine {
    KeyChars key{};
    double value = 0.0;
    std::string_view name;
};
std::optional<ProbeLine> ParseProbeLine(std::string_view line);
// The same into probe, for readers that walk millions of lines; false (and
// probe partly overwritten) for a line that is none.
inline bool ParseProbeLineInto(std::string_view line, ProbeLine& probe);

// The six-column value field: optional blanks, an optional minus sign, digits
// with an optional decimal part, and nothing else.
std::optional<double> ParseValueField(std::string_view field);
inline bool ParseValueFieldInto(std::string_view field, double& value);
// The same for a field in another layout than the store's (a file edited by
// hand): what ParseValueFieldInto falls back to.
bool ParseUnusualValueField(std::string_view field, double& value);

// Minutes since midnight of a time text starting with HH:MM, from its four
// digit characters without further checks; -1 for a text shorter than five
// characters.
int ConvertTijdStringNaarMinuten(std::string_view text);

// Type code and units the readers derive from a key's type character.
int ProbeTypeOfTypeCharacter(char typeChar);
std::string_view UnitsOfTypeCharacter(char typeChar);

// The probe line's parsing is inline: a month report parses four million
// lines, and the calls for each line and each value weighed in its time.
namespace result_line {

inline constexpr std::size_t kValueColumn = 14;
inline constexpr std::size_t kValueWidth = 6;

inline bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Whether each of the eight bytes is a hexadecimal digit (0-9, A-F, a-f),
// all at once rather than a test for each of a key's characters. For bytes
// below 0x80, adding 0x80 - c to every byte sets its high bit exactly where
// the byte is at least c, without a carry into the next byte.
inline bool AllHexDigits(std::uint64_t bytes) {
    constexpr std::uint64_t kOnes = 0x0101010101010101;
    constexpr std::uint64_t kHighBits = kOnes * 0x80;
    const auto atLeast = [](std::uint64_t b, unsigned c) { return b + kOnes * (0x80 - c); };
    const std::uint64_t digits = atLeast(bytes, '0') & ~atLeast(bytes, '9' + 1);
    const std::uint64_t lower = bytes | (kOnes * 0x20);
    const std::uint64_t letters = atLeast(lower, 'a') & ~atLeast(lower, 'f' + 1);
    return (bytes & kHighBits) == 0 && ((digits | letters) & kHighBits) == kHighBits;
}

// n / 10 for the tenths of every value a probe measures (up to 204.7), each
// the correctly rounded quotient, as the division gives it: a division per
// value was the slowest step of reading a month.
inline constexpr std::size_t kTenthsInTable = 2048;
inline constexpr std::array<double, kTenthsInTable> kTenths = [] {
    std::array<double, kTenthsInTable> table{};
    for (std::size_t n = 0; n < table.size(); ++n) {
        table[n] = static_cast<double>(n) / 10.0;
    }
    return table;
}();

// The value as the store writes it ("%6.1f": blanks, a sign, digits, a point
// and one decimal), digit by digit: the quotient of two exact doubles is the
// correctly rounded decimal, as from_chars gives it for the whole field.
// False for any other layout.
inline bool ParseStoredValue(std::string_view field, double& value) {
    if (field.size() != kValueWidth || field[4] != '.' || !IsDigit(field[5])) {
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
    for (; first < point; ++first) {
        if (!IsDigit(*first)) {
            return false;
        }
        whole = whole * 10 + static_cast<unsigned>(*first - '0');
    }
    const unsigned tenths = whole * 10 + static_cast<unsigned>(field[5] - '0');
    const double magnitude =
        tenths < kTenthsInTable ? kTenths[tenths] : static_cast<double>(tenths) / 10.0;
    value = negative ? -magnitude : magnitude;
    return true;
}

}  // namespace result_line

inline bool ParseValueFieldInto(std::string_view field, double& value) {
    return result_line::ParseStoredValue(field, value) || ParseUnusualValueField(field, value);
}

// Forced inline: the compiler would rather call it, once for every value.
[[gnu::always_inline]] inline bool ParseProbeLineInto(std::string_view line, ProbeLine& probe) {
    using result_line::kValueColumn;
    using result_line::kValueWidth;
    if (line.size() < kValueColumn + kValueWidth) {
        return false;
    }
    const auto type = static_cast<unsigned char>(line[0]);
    if (type <= ' ' || type == 0x7F) {
        return false;
    }
    // Characters 1-8 and 4-11: the eleven hex digits after the type.
    std::uint64_t head = 0;
    std::uint64_t tail = 0;
    std::memcpy(&head, line.data() + 1, sizeof head);
    std::memcpy(&tail, line.data() + kProbeKeyLength - sizeof tail, sizeof tail);
    if (!result_line::AllHexDigits(head) || !result_line::AllHexDigits(tail) || line[12] != ' ' ||
        line[13] != ' ') {
        return false;
    }
    for (std::size_t i = kValueColumn + kValueWidth; i < kProbeNameColumn && i < line.size(); ++i) {
        if (line[i] != ' ') {
            return false;
        }
    }
    // Views built from the checked length: substr is a call with a check of
    // its own.
    if (!ParseValueFieldInto(std::string_view(line.data() + kValueColumn, kValueWidth),
                             probe.value)) {
        return false;
    }
    std::memcpy(probe.key.data(), line.data(), kProbeKeyLength);
    probe.name = line.size() > kProbeNameColumn ? std::string_view(line.data() + kProbeNameColumn,
                                                                   line.size() - kProbeNameColumn)
                                                : std::string_view{};
    return true;
}

}  // namespace qrv
