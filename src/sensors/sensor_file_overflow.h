#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/clock.h"

namespace qrv {

// The number of probe records a sensor file announces (its highest index plus
// one), or nullopt when it holds no such line.
std::optional<int> ProbesInSensorFile(std::string_view bytes);

// A sensor file that holds more probes than the table has room for, kept as
// it is beside it.
struct KeptSensorFile {
    int probesInFile = 0;
    std::filesystem::path copy;  // where it is kept; empty when it could not be
    bool newCopy = false;        // made now, not found among earlier copies
    std::string error;           // why no copy could be made
};

// The table loads only the first probes of such a file, and the next rewrite
// would drop the rest for good: this keeps the file's bytes in a copy
// ("QRVNL.SNS.kept-YYYY-MM-DD-HHMMSS") first. A copy of the same bytes kept
// earlier is reused, so repeated loads make no new ones. nullopt when the
// file fits, is missing or cannot be read.
std::optional<KeptSensorFile> KeepSensorFileThatDoesNotFit(const std::filesystem::path& snsFileName,
                                                           const Clock& clock);

}  // namespace qrv
