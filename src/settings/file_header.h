#pragma once

#include <string_view>

namespace qrv {

// The header lines both station files begin with; readers compare them before
// they rely on the position of any later line.
inline constexpr std::string_view kHeaderEquals =
    "=============================================================";
inline constexpr std::string_view kNoticeLine =
    "Quorvanel monitoring station - written by the program, edit with care";
inline constexpr std::string_view kDateTimeStampKey = "Date/time stamp=";

}  // namespace qrv
