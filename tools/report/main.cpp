// quorvanel-report: reads a station directory without the window and prints
// what the station would load or report, for administrators, cron jobs and
// checks from outside.
#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "report_command.h"
#include "runtime/station_writer.h"

#ifdef QRV_REPORT_PAGES
#include <QApplication>

#include "reports/pages/page_output.h"
#endif

namespace {

void PrintUsage(std::FILE* out) {
    fmt::print(out,
               "usage: quorvanel-report [--station DIR] COMMAND [ARGS]\n"
               "commands:\n");
    for (const qrv::report::Command& command : qrv::report::Commands()) {
        fmt::print(out, "  {:<44} {}\n", command.usage, command.summary);
    }
    fmt::print(out,
               "DIR defaults to $XDG_DATA_HOME/quorvanel (~/.local/share/quorvanel).\n"
               "Commands that write into DIR run as its owner only; --force writes all the "
               "same.\n");
}

std::filesystem::path DefaultStation() {
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) {
        return std::filesystem::path(xdg) / "quorvanel";
    }
    if (const char* home = std::getenv("HOME"); home && *home) {
        return std::filesystem::path(home) / ".local/share/quorvanel";
    }
    return "quorvanel";
}

}  // namespace

int main(int argc, char** argv) {
    std::filesystem::path station = DefaultStation();
    std::vector<std::string_view> args(argv + 1, argv + argc);
    std::vector<std::string_view> rest;
    bool force = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--station" && i + 1 < args.size()) {
            station = args[++i];
        } else if (args[i].starts_with("--station=")) {
            station = args[i].substr(10);
        } else if (args[i] == "--force") {
            force = true;
        } else if (args[i] == "--help" || args[i] == "-h") {
            PrintUsage(stdout);
            return 0;
        } else {
            rest.push_back(args[i]);
        }
    }
    if (rest.empty()) {
        PrintUsage(stderr);
        return qrv::report::kExitBadArguments;
    }
    if (!force && qrv::report::WritesIntoStation(rest)) {
        std::vector<std::string> command{argv[0], "--station", station.string()};
        command.insert(command.end(), rest.begin(), rest.end());
        const std::string refusal = qrv::StationWriteRefusal(
            station, qrv::StationWriters::kOwner, qrv::WriterIdentity::OfThisProcess(), command);
        if (!refusal.empty()) {
            fmt::print(stderr, "quorvanel-report: {}\n", refusal);
            return qrv::report::kExitCannotWrite;
        }
    }

    qrv::report::ToolOutput output{stdout, {}};
#ifdef QRV_REPORT_PAGES
    // Pages are painted without ever showing a window, so reports can be made
    // from cron on a machine without a display.
    int qtArgc = 1;
    std::array<char*, 2> qtArgv{argv[0], nullptr};
    std::unique_ptr<QApplication> app;
    if (std::find(rest.begin(), rest.end(), "--pdf") != rest.end()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QApplication>(qtArgc, qtArgv.data());
    }
    output.openPdf = [](const std::string& path) { return qrv::pages::OpenPdfOutput(path); };
#endif

    for (const qrv::report::Command& command : qrv::report::Commands()) {
        if (command.name == rest.front()) {
            return command.run(station, std::span(rest).subspan(1), output);
        }
    }
    fmt::print(stderr, "quorvanel-report: unknown command '{}'\n", rest.front());
    PrintUsage(stderr);
    return qrv::report::kExitBadArguments;
}
