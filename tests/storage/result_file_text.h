#pragma once

#include <string>
#include <string_view>

// Result-file lines spelled out by hand, so reader tests do not depend on the
// writer they are meant to check.
namespace qrv::testing {

inline std::string ResultHeaderText(std::string_view date) {
    return std::string(
               "=========================================\r\n"
               "QRVNL Qrd FILE Vs 1.10                   \r\n"
               "Quorvanel result file, written by station\r\n"
               "=========================================\r\n") +
           std::string(date) + "\r\n";
}

inline std::string BlockHeaderText(std::string_view time, int count) {
    std::string line(time);
    line += "  ";
    std::string digits = std::to_string(count);
    line += std::string(4 - digits.size(), '0') + digits;
    return line + "\r\n";
}

// value: the six value columns exactly as they stand in the file.
inline std::string ProbeLineText(std::string_view key, std::string_view value,
                                 std::string_view name) {
    return std::string(key) + "  " + std::string(value) + "  " + std::string(name) + "\r\n";
}

}  // namespace qrv::testing
