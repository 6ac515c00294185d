// Reading speed of the result files: one day into HistoSensor, and a month of
// 100 probes at one-minute intervals into MonthSensor in hourly mode with the
// statistics of every probe, side by side with mawk computing the hourly
// minimum and maximum per probe key over the same files.
//
// usage: storage_bench [STATION_DIR] [--repeat N]
// The station directory gets generated data (January 2026, 31 days, 100
// probes, one-minute interval) when its data directory holds none yet.
#include <fmt/format.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "reports/statistics.h"
#include "storage/history_sensor.h"
#include "storage/month_sensor.h"
#include "storage/period_files.h"
#include "storage/read_progress.h"
#include "storage/result_generator.h"
#include "storage/status_messages.h"
#include "support/recording_status_display.h"

namespace {

using Seconds = std::chrono::duration<double>;

constexpr int kYear = 2026;
constexpr int kMonth = 1;

// The mawk side: the same work as the period reader's hourly mode, keyed by
// file, hour and probe key.
constexpr const char* kAwkScript = R"AWK(
/^[0-2][0-9]:[0-5][0-9]  [0-9]/ { hour = substr($0, 1, 2); next }
length($0) >= 20 && substr($0, 13, 2) == "  " {
    v = substr($0, 15, 6) + 0
    if (v > -300) {
        k = FILENAME SUBSEP hour SUBSEP substr($0, 2, 11)
        if (!(k in mx) || v > mx[k]) mx[k] = v
        if (!(k in mn) || v < mn[k]) mn[k] = v
    }
}
END { n = 0; for (k in mx) n++; print n " hourly slots" }
)AWK";

template <typename F>
double Best(int repeat, F&& work) {
    double best = 1e9;
    for (int i = 0; i < repeat; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        best = std::min(best, Seconds(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

double RunMawk(const std::vector<std::string>& files) {
    std::vector<std::string> args{"/usr/bin/mawk", kAwkScript};
    args.insert(args.end(), files.begin(), files.end());
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        return -1.0;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return Seconds(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    std::filesystem::path station = std::filesystem::temp_directory_path() / "qrv-storage-bench";
    int repeat = 5;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--repeat" && i + 1 < argc) {
            repeat = std::max(1, std::atoi(argv[++i]));
        } else {
            station = arg;
        }
    }
    const std::filesystem::path dataDirectory = station / "QRVDATA";
    if (!std::filesystem::exists(qrv::ResultFilePath(dataDirectory, kYear, kMonth, 31))) {
        fmt::print("generating 31 days of 100 probes at one-minute intervals in {}\n",
                   dataDirectory.string());
        qrv::GeneratorOptions options{kYear, kMonth, 1, 31, 100, 1, 7};
        std::string error;
        if (qrv::GenerateResultFiles(dataDirectory, options, error) < 0) {
            fmt::print(stderr, "{}\n", error);
            return 1;
        }
    }

    qrv::SilentProgress progress;
    qrv::RecordingStatusDisplay display;
    const int taal = 0;
    const std::atomic<int> netWorkInstalled{1};
    qrv::StatusMessages status(display, taal, netWorkInstalled);

    auto day = std::make_unique<qrv::HistoryData>();
    int dayProbes = 0;
    const double dayTime = Best(repeat * 4, [&] {
        qrv::ClearHistoSensorStructure(*day);
        day->HistoryFileName = qrv::ResultFilePath(dataDirectory, kYear, kMonth, 15);
        qrv::ReadHistoryFromDisk(*day, status, progress);
        dayProbes = day->HistoryMaxIndex + 1;
    });

    auto period = std::make_unique<qrv::PeriodData>();
    int files = 0;
    double checksum = 0.0;
    const double monthTime = Best(repeat, [&] {
        qrv::ClearSensorStructure(*period);
        qrv::FindFilesOfThisMonth(*period, dataDirectory, kYear, kMonth, taal, progress);
        files = qrv::GetAllDataFromDisk(*period, true, taal, progress);
        checksum = 0.0;
        for (int e = 0; e <= period->MonthMaxIndex; ++e) {
            const qrv::MonthEntry& entry = period->MonthSensor[static_cast<std::size_t>(e)];
            const qrv::Statisticals stats =
                qrv::ComputeStatisticals(entry.SlotMax, entry.SlotMin, entry.LastIndex);
            checksum += stats.mean + stats.median;
        }
    });
    std::uintmax_t bytes = 0;
    std::vector<std::string> paths;
    for (int d = 1; d <= 31; ++d) {
        const std::string& file = period->PrintFile[static_cast<std::size_t>(d)];
        if (file != qrv::kNoPrintFile) {
            paths.push_back(file);
            bytes += std::filesystem::file_size(file);
        }
    }
    const double mawkTime = Best(std::max(1, repeat / 2), [&] { RunMawk(paths); });

    fmt::print("day into HistoSensor:            {:7.1f} ms  ({} probes)\n", dayTime * 1e3,
               dayProbes);
    fmt::print(
        "month into MonthSensor + stats:  {:7.1f} ms  ({} files, {:.0f} MB, {} probes, "
        "checksum {:.1f})\n",
        monthTime * 1e3, files, static_cast<double>(bytes) / 1e6, period->MonthMaxIndex + 1,
        checksum);
    fmt::print("mawk hourly min/max per key:     {:7.1f} ms\n", mawkTime * 1e3);
    fmt::print("speed-up over mawk:              {:7.1f} x\n", mawkTime / monthTime);
    return 0;
}
