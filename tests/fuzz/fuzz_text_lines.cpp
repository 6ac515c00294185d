// Any bytes through the line reader, the Windows-1252 conversions and the
// probe line of the result files: lines are cut where the reader promises,
// conversions give valid text that converts back, and a probe line written
// from any name and value reads back as written.
#include <cmath>
#include <cstring>

#include "fuzz/fuzz_support.h"
#include "runtime/formats.h"
#include "runtime/text_file.h"
#include "storage/result_file_scan.h"

namespace {

using qrv::fuzz::Expect;

void CheckLineReader(std::string_view bytes, std::size_t maxChars) {
    qrv::LineReader reader(bytes);
    std::size_t pos = 0;
    while (const auto line = reader.ReadLine(maxChars)) {
        // The line the reader should give: up to the next LF, one CR before
        // it dropped, cut to maxChars.
        const std::size_t newline = bytes.find('\n', pos);
        std::string_view whole = bytes.substr(
            pos, newline == std::string_view::npos ? std::string_view::npos : newline - pos);
        if (!whole.empty() && whole.back() == '\r') {
            whole.remove_suffix(1);
        }
        Expect(*line == whole.substr(0, std::min(whole.size(), maxChars)),
               "a line is its bytes up to the line end, cut to the limit");
        Expect(pos < bytes.size(), "no line is read past the end");
        pos = newline == std::string_view::npos ? bytes.size() : newline + 1;
    }
    Expect(pos == bytes.size() && reader.AtEnd(), "every byte belongs to a line");
}

void CheckConversions(std::string_view bytes) {
    const std::string utf8 = qrv::Cp1252ToUtf8(bytes);
    Expect(qrv::fuzz::IsValidUtf8(utf8), "Windows-1252 converts to valid UTF-8");
    Expect(qrv::Utf8Length(utf8) == bytes.size(), "one character for every byte");
    std::string defined(bytes);
    for (char& c : defined) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 || byte == 0x9D) {
            c = '?';  // no character in Windows-1252
        }
    }
    Expect(qrv::Utf8ToCp1252(utf8) == defined, "Windows-1252 text converts back unchanged");

    const std::string cp1252 = qrv::Utf8ToCp1252(bytes);
    Expect(cp1252.size() <= bytes.size(), "UTF-8 never grows into Windows-1252");
    if (qrv::fuzz::IsValidUtf8(bytes) && cp1252.find('?') == std::string::npos) {
        Expect(qrv::Cp1252ToUtf8(cp1252) == bytes, "representable UTF-8 converts back unchanged");
    }

    for (const std::size_t limit : {std::size_t{0}, std::size_t{1}, std::size_t{27}}) {
        const std::string left = qrv::Utf8Left(utf8, limit);
        Expect(utf8.starts_with(left), "the first characters are a prefix");
        Expect(qrv::Utf8Length(left) == std::min(limit, qrv::Utf8Length(utf8)),
               "the prefix holds the asked number of characters");
        Expect(qrv::fuzz::IsValidUtf8(left), "a prefix never splits a character");
    }
    const std::string blanked = qrv::BlankControlCharacters(bytes);
    Expect(blanked.size() == bytes.size(), "blanking keeps the length");
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        const bool control = byte < 0x20 || byte == 0x7F;
        Expect(blanked[i] == (control ? ' ' : bytes[i]), "only control characters are blanked");
    }
}

// A probe line as the store writes it, from the name and value in the input.
void CheckProbeLineRoundTrip(std::string_view bytes) {
    double value = 0.0;
    if (bytes.size() >= sizeof value) {
        std::memcpy(&value, bytes.data(), sizeof value);
        bytes.remove_prefix(sizeof value);
    }
    const std::string name =
        qrv::Utf8ToCp1252(qrv::BlankControlCharacters(qrv::Utf8Left(qrv::Cp1252ToUtf8(bytes), 27)));
    const qrv::KeyChars key = qrv::MakeProbeKey({0x28, 0x2C, 0x1B, 0x0A, 0, 0, 0, 0x33}, 48);
    std::string file = qrv::FormatResultHeader("2026-03-14");
    const std::vector<qrv::ProbeLineData> lines{{key, value, name}};
    qrv::AppendSampleBlock(file, 23, 59, lines);

    int blocks = 0;
    int probes = 0;
    qrv::ScanResultFile(
        file,
        [&](const qrv::SampleHeader& header) {
            Expect(header.minutes == 1439 && header.count == 1, "the block header reads back");
            ++blocks;
            return true;
        },
        [&](int position, const qrv::ProbeLine& line) {
            Expect(position == 0 && line.key == key, "the probe line reads back");
            const bool marker = line.value == qrv::kNoReadingMarker;
            Expect(marker || std::fabs(line.value - value) <= 0.05 + 1e-9 * std::fabs(value),
                   "the value reads back to its decimal");
            Expect(marker || std::fabs(value) < 100000.0, "only values that fit are written");
            Expect(line.name == name || line.name == name + " ", "the name reads back");
            ++probes;
        });
    Expect(blocks == 1 && probes == 1, "one block with one probe line");
}

void CheckIntegerRoundTrip(std::string_view bytes) {
    int value = 0;
    if (bytes.size() >= sizeof value) {
        std::memcpy(&value, bytes.data(), sizeof value);
    }
    Expect(qrv::notation::ScanInt(qrv::notation::Int(value, 10, true)) == value,
           "a zero-padded integer scans back");
    Expect(qrv::notation::ScanInt(qrv::notation::Int(value)) == value, "an integer scans back");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string_view bytes = qrv::fuzz::Bytes(data + 1, size - 1);
    CheckLineReader(bytes, 1 + data[0] % 100);
    CheckConversions(bytes);
    CheckProbeLineRoundTrip(bytes);
    CheckIntegerRoundTrip(bytes);
    return 0;
}
