// Time of one step to the previous or next day's file from a damaged date
// line (9999-12-31 or 0001-01-01) and from a sound one, with 400 result files
// in the data directory.
//
// usage: day_stepping_bench [--repeat N]
#include <fmt/format.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "runtime/calendar.h"
#include "storage/period_files.h"
#include "support/recording_status_display.h"
#include "support/scripted_dialogs.h"

namespace {

constexpr int kFiles = 400;

struct Case {
    const char* from;
    bool forward;
};

}  // namespace

int main(int argc, char** argv) {
    int repeat = 20;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--repeat" && i + 1 < argc) {
            repeat = std::max(1, std::atoi(argv[++i]));
        } else {
            fmt::print(stderr, "usage: day_stepping_bench [--repeat N]\n");
            return 2;
        }
    }
    std::string pattern = (std::filesystem::temp_directory_path() / "qrv-step-XXXXXX").string();
    const std::filesystem::path dir = ::mkdtemp(pattern.data());

    // 400 consecutive days from 2025-01-01 on, each with a small file.
    for (int n = 0, serial = 0; n < kFiles; ++serial) {
        const int year = 2025 + serial / 372;
        const int month = 1 + serial / 31 % 12;
        const int dayOfMonth = 1 + serial % 31;
        if (dayOfMonth > qrv::DaysInMonth(year, month)) {
            continue;
        }
        std::ofstream(qrv::ResultFilePath(dir, year, month, dayOfMonth)) << "x\r\n";
        ++n;
    }

    qrv::VirtualClock clock({2026, 2, 10, 12, 0, 0, 0});
    qrv::ScriptedDialogs dialogs;
    qrv::RecordingStatusDisplay display;
    int taal = 0;
    std::atomic<int> netWorkInstalled{1};
    qrv::StatusMessages status(display, taal, netWorkInstalled);
    auto data = std::make_unique<qrv::HistoryData>();

    fmt::print("{} result files, best and worst of {} steps\n", kFiles, repeat);
    for (const Case& c :
         {Case{"9999-12-31", false}, Case{"9999-12-31", true}, Case{"0001-01-01", true},
          Case{"0001-01-01", false}, Case{"2025-08-15", false}, Case{"2025-08-15", true}}) {
        double best = 1e9;
        double worst = 0.0;
        int found = 0;
        for (int i = 0; i < repeat; ++i) {
            data->HistoryDatum = c.from;
            const auto start = std::chrono::steady_clock::now();
            found = qrv::GetOtherDateFile(*data, c.forward, dir, clock, dialogs, status);
            const double ms =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count();
            best = std::min(best, ms);
            worst = std::max(worst, ms);
        }
        fmt::print("  {} {:8}: {:7.3f} ms best, {:7.3f} ms worst -> {}\n", c.from,
                   c.forward ? "forward" : "backward", best, worst,
                   found ? data->HistoryFileName.filename().string() : "no more data");
    }
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return 0;
}
