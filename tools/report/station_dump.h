#pragma once

#include <cstdio>
#include <filesystem>

namespace qrv::report {

// `settings`: what reading QRVNL.INI leaves in memory, one "name: value" line
// each, after "result: N". With rewrite, writes it back (normalising a
// hand-edited file). Returns the exit status.
int DumpSettings(const std::filesystem::path& station, bool rewrite, std::FILE* out);

// `probes`: what reading QRVNL.SNS leaves in memory: the network name and every
// used record field by field.
int DumpProbes(const std::filesystem::path& station, bool rewrite, std::FILE* out);

}  // namespace qrv::report
