#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/encoding.h"
#include "storage/result_file_format.h"
#include "storage/result_generator.h"

namespace qrv::fuzz {

// Stops the run when a reader breaks one of its promises; libFuzzer keeps the
// input that did it.
inline void Expect(bool holds, const char* promise) {
    if (!holds) {
        std::fprintf(stderr, "broken promise: %s\n", promise);
        std::abort();
    }
}

inline std::string_view Bytes(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

inline bool IsValidUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 1;
        if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
        } else if (lead >= 0xE0) {
            length = lead <= 0xEF ? 3 : 0;
        } else if (lead >= 0xC2) {
            length = 2;
        } else if (lead >= 0x80) {
            length = 0;
        }
        if (length == 0 || i + length > text.size()) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

// The sound block a store appends after whatever a file already holds: three
// probes of the generated network at 23:59, the latest minute of a day.
struct AppendedProbe {
    KeyChars key{};
    double value = 0.0;
    std::string nameUtf8;
};
inline constexpr int kAppendedMinutes = 23 * 60 + 59;

inline std::vector<AppendedProbe> AppendedProbes() {
    std::vector<AppendedProbe> probes;
    const std::vector<GeneratedProbe> network = MakeGeneratedProbes(10);
    const double values[] = {-18.4, 55.5, 1.0};
    int i = 0;
    for (const int index : {0, 9, 1}) {
        const GeneratedProbe& probe = network[static_cast<std::size_t>(index)];
        probes.push_back({MakeProbeKey(probe.rom, probe.sensorType), values[i++], probe.name});
    }
    return probes;
}

// bytes, finished as a store finishes a torn last line, and the block.
inline std::string WithAppendedBlock(std::string_view bytes,
                                     const std::vector<AppendedProbe>& probes) {
    std::vector<ProbeLineData> lines;
    for (const AppendedProbe& probe : probes) {
        lines.push_back({probe.key, probe.value, Utf8ToCp1252(probe.nameUtf8)});
    }
    std::string result(bytes);
    result.append(LineEndToFinish(bytes));
    AppendSampleBlock(result, kAppendedMinutes / 60, kAppendedMinutes % 60, lines);
    return result;
}

inline KeyChars Normalised(KeyChars key) {
    key[0] = '0';
    return key;
}

}  // namespace qrv::fuzz
