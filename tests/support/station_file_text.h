#pragma once

#include <string>

namespace qrv::testing {

// The notice line of the station files as existing stations wrote it. Spelled
// out here rather than taken from the code, so that a change to the constant
// (which would make every existing file unreadable) fails the tests.
inline const std::string kNotice =
    "Quorvanel monitoring station - written by the program, edit with care";

}  // namespace qrv::testing
