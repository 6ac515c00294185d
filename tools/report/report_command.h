#pragma once

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "reports/page_model.h"

namespace qrv::report {

// The tool's exit statuses (the README lists them).
inline constexpr int kExitOk = 0;
// No data for what was asked (period reports), or the station cannot be read.
inline constexpr int kExitNoData = 1;
inline constexpr int kExitBadArguments = 2;
inline constexpr int kExitCannotWrite = 3;
// The audit trail's chain is broken (audit --verify).
inline constexpr int kExitTrailBroken = 4;
// The chain holds, but its keyed seals cannot be checked without the
// station key (audit --verify, audit).
inline constexpr int kExitSealsUnchecked = 5;

using CommandArgs = std::span<const std::string_view>;

// Opens a PDF file for printed pages; nullptr when it cannot be written.
using PdfOpener = std::function<std::unique_ptr<PageOutput>(const std::string& path)>;

// Where a command's results go: text lines to `out`, printed pages through
// `openPdf`, which a build without the page layer leaves empty.
struct ToolOutput {
    std::FILE* out = stdout;
    PdfOpener openPdf;
};

struct Command {
    std::string_view name;
    std::string_view usage;
    std::string_view summary;
    int (*run)(const std::filesystem::path& station, CommandArgs args, const ToolOutput& output);
};

// Every subcommand of the tool, in the order the usage lists them.
std::span<const Command> Commands();

// Whether the command (its name and arguments) creates or rewrites files in
// the station directory rather than only reading it.
bool WritesIntoStation(CommandArgs command);

}  // namespace qrv::report
