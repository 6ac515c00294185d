#pragma once

#include <optional>
#include <string_view>

namespace qrv::report {

// A whole decimal number within low..high, nothing else in the text.
std::optional<int> ParseNumber(std::string_view text, int low, int high);

// Says what is wrong with the command line; the tool's exit status for it.
int BadArguments(std::string_view message);

// "YYYY-MM-DD" of a real calendar date.
bool ParseDate(std::string_view text, int& year, int& month, int& day);

}  // namespace qrv::report
