#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "report_command.h"

namespace qrv::testing {

struct Outcome {
    int status;
    std::string out;
};

// Runs one subcommand of quorvanel-report as main() would.
inline Outcome RunTool(const std::filesystem::path& station, std::vector<std::string_view> args,
                       const report::PdfOpener& openPdf = {}) {
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&buffer, &size);
    int status = report::kExitBadArguments;
    for (const report::Command& command : report::Commands()) {
        if (command.name == args.front()) {
            status = command.run(station, std::span(args).subspan(1), {out, openPdf});
        }
    }
    std::fclose(out);
    std::string text(buffer, size);
    std::free(buffer);
    return {status, text};
}

}  // namespace qrv::testing
