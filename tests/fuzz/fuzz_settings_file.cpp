// Any bytes as QRVNL.INI: the settings stay in their ranges, texts are short
// single lines of valid UTF-8, and what was loaded writes back as a file that
// reads back the same.
#include "fuzz/fuzz_support.h"
#include "runtime/clock.h"
#include "settings/settings_file.h"

namespace {

bool IsSingleLine(std::string_view text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using qrv::fuzz::Expect;
    qrv::SystemSettings settings;
    const int result = qrv::ReadIniBytes(qrv::fuzz::Bytes(data, size), settings);
    // Four header lines, six numbers and three texts can mismatch.
    Expect(result <= 0 && result >= -13, "result is 0 or minus the mismatched lines");
    Expect(settings.SerialPort >= 1 && settings.SerialPort <= 8, "COM port 1..8");
    Expect(settings.Taal >= 0 && settings.Taal <= 3, "language 0..3");
    Expect(settings.KeuzeSampleTime >= 1 && settings.KeuzeSampleTime <= 60, "sample time 1..60");
    Expect(settings.KeuzeGraphStyle >= 0 && settings.KeuzeGraphStyle <= 3, "graph style 0..3");
    for (const std::string* text : {&settings.SmSDestination, &settings.SmSProgramSource}) {
        Expect(qrv::fuzz::IsValidUtf8(*text), "texts are valid UTF-8");
        Expect(IsSingleLine(*text), "texts hold no control characters");
    }
    Expect(qrv::Utf8Length(settings.SmSDestination) <= qrv::kMaxSmsDestinationLength,
           "SMS destination fits its field");
    Expect(qrv::Utf8Length(settings.SmSProgramSource) <= qrv::kMaxSmsProgramLength,
           "SMS program fits its field");

    const qrv::VirtualClock clock;
    qrv::SystemSettings written = settings;
    const std::string file = qrv::FormatIniFile(written, clock);
    Expect(written == settings, "loaded settings need no range repair to be written");
    qrv::SystemSettings again;
    Expect(qrv::ReadIniBytes(file, again) == 0, "a written file reads without mismatch");
    Expect(again == settings, "a written file reads back the same settings");
    return 0;
}
