#include "byte_counters.h"

#include <fmt/format.h>

namespace qrv::sim {

const char* ByteClassName(ByteClass kind) {
    switch (kind) {
        case ByteClass::kCalibration:
            return "calibration";
        case ByteClass::kModeSwitch:
            return "mode switch";
        case ByteClass::kReset:
            return "1-Wire reset";
        case ByteClass::kSingleBit:
            return "single bit";
        case ByteClass::kSearchSwitch:
            return "search on/off";
        case ByteClass::kConfiguration:
            return "configuration";
        case ByteClass::kPulse:
            return "pulse";
        case ByteClass::kData:
            return "data";
        case ByteClass::kSearchData:
            return "search data";
        case ByteClass::kIgnored:
        case ByteClass::kCount:
            break;
    }
    return "ignored";
}

std::string FormatByteCounters(const ByteCounters& counters) {
    std::string text = fmt::format(
        "bytes received {}, sent {}, lost on the line {}; breaks {} (ignored {}); search passes "
        "ended after a flush {}\n",
        counters.received, counters.sent, counters.lost, counters.breaks, counters.ignoredBreaks,
        counters.restoredAfterFlush);
    for (std::size_t i = 0; i < kByteClassCount; ++i) {
        const auto& count = counters.byClass[i];
        if (count.received != 0 || count.sent != 0) {
            text +=
                fmt::format("  {:<14} received {:>8}  sent {:>8}\n",
                            ByteClassName(static_cast<ByteClass>(i)), count.received, count.sent);
        }
    }
    return text;
}

}  // namespace qrv::sim
