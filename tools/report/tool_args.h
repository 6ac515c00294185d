#pragma once

#include <optional>
#include <string_view>

namespace qrv::report {

// A whole decimal number within low..high, nothing else in the text.
std::optional<int> ParseNumber(std::string_view text, int low, int high);

// "YYYY-MM-DD" of a real calendar date.
bool ParseDate(std::string_view text, int& year, int& month, int& day);

}  // namespace qrv::report
