// Reading speed of the result files: one day into HistoSensor; a month of 100
// probes at one-minute intervals into MonthSensor in hourly mode with the
// statistics of every probe; the month report (its slots, statistics and
// minutes out of range, each file read once); the month's daily sheet; side
// by side with mawk computing the hourly minimum and maximum per probe key
// over the same files. Goals: the month report in at most 150 ms and at most
// 0.05 times mawk's time.
//
// usage: storage_bench [STATION_DIR] [--repeat N]
// The station directory gets generated data (January 2026, 31 days, 100
// probes, one-minute interval) and a probe file with alarm limits when it
// holds none yet.
#include <fmt/format.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "reports/printouts/daily_sheet.h"
#include "reports/printouts/period_loading.h"
#include "reports/printouts/time_out_of_range.h"
#include "reports/statistics.h"
#include "sensors/sensor_file.h"
#include "storage/history_sensor.h"
#include "storage/month_sensor.h"
#include "storage/period_files.h"
#include "storage/read_progress.h"
#include "storage/result_generator.h"
#include "storage/status_messages.h"
#include "support/bench_month.h"
#include "support/recording_status_display.h"

namespace {

using Seconds = std::chrono::duration<double>;

constexpr int kYear = qrv::bench::kBenchYear;
constexpr int kMonth = qrv::bench::kBenchMonth;

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

double CpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The best wall time of the runs; cpu gets the processor time of that run
// (all threads), which a busy machine does not stretch as it does the wall.
template <typename F>
double Best(int repeat, F&& work, double* cpu = nullptr) {
    double best = 1e9;
    for (int i = 0; i < repeat; ++i) {
        const double cpuStart = CpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        work();
        const double wall = Seconds(std::chrono::steady_clock::now() - start).count();
        if (wall < best) {
            best = wall;
            if (cpu != nullptr) {
                *cpu = CpuSeconds() - cpuStart;
            }
        }
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
    if (!qrv::bench::EnsureBenchMonth(station)) {
        return 1;
    }
    const std::filesystem::path dataDirectory = qrv::bench::BenchDataDirectory(station);
    qrv::SensorTable table;
    qrv::ReadSensorFile(qrv::StationPaths{station}.SnsFileName(qrv::kModeNormal), table);
    const qrv::LimitsLookup limits = [&table](std::string_view key) {
        return qrv::LimitsInTable(table, key);
    };

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

    // What `quorvanel-report month` works out: slots and statistics of every
    // probe and the minutes out of range of those with limits.
    int withMinutes = 0;
    double reportChecksum = 0.0;
    double reportCpu = 0.0;
    const double reportTime = Best(
        repeat,
        [&] {
            qrv::PeriodSelection selection;
            selection.period = qrv::ReportPeriod::Month;
            selection.year = kYear;
            selection.month = kMonth;
            qrv::PeriodOutOfRangeTally tally(limits);
            qrv::LoadPeriod(*period, selection, dataDirectory, taal, progress,
                            [&tally](int, const qrv::HistoryData& day) { tally.AddDay(day); });
            reportChecksum = 0.0;
            withMinutes = 0;
            for (int e = 0; e <= period->MonthMaxIndex; ++e) {
                const qrv::MonthEntry& entry = period->MonthSensor[static_cast<std::size_t>(e)];
                const qrv::Statisticals stats =
                    qrv::ComputeStatisticals(entry.SlotMax, entry.SlotMin, entry.LastIndex);
                reportChecksum += stats.mean + stats.median;
                if (const auto minutes =
                        qrv::OutOfRangeOf(tally.Sums(), qrv::KeyText(entry.ProbeKey))) {
                    reportChecksum += minutes->Total();
                    ++withMinutes;
                }
            }
        },
        &reportCpu);

    std::size_t sheets = 0;
    const double sheetTime = Best(repeat, [&] {
        const qrv::SheetSources sources{dataDirectory, station / "QRVAlarm.txt", table,
                                        [&](qrv::HistoryData& history, const std::string& file) {
                                            qrv::ClearHistoSensorStructure(history);
                                            history.HistoryFileName = file;
                                            qrv::ReadHistoryFromDisk(history, status, progress);
                                        }};
        sheets = qrv::LoadDailySheets(sources, kYear, kMonth, "").size();
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
    fmt::print(
        "month report, 100 probes:       {:7.1f} ms  (CPU {:.1f} ms; slots, statistics, minutes "
        "out of range of {} probes with limits; checksum {:.1f})\n",
        reportTime * 1e3, reportCpu * 1e3, withMinutes, reportChecksum);
    fmt::print("daily sheet, 100 probes:         {:7.1f} ms  ({} sheets)\n", sheetTime * 1e3,
               sheets);
    fmt::print("mawk hourly min/max per key:     {:7.1f} ms\n", mawkTime * 1e3);
    fmt::print("month report / mawk:             {:7.3f}    (goal: at most 0.05, and 150 ms)\n",
               reportTime / mawkTime);
    return 0;
}
