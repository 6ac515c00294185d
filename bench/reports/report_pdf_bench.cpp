// Measures the monthly report of 100 probes stored every minute for a whole
// month (31 files, 4.46 million values) by quorvanel-report, as a process:
// written as a 100-page PDF (goal 1.0 s) with its peak resident memory
// (target 200 MB), and printed as text (the statistics and minutes out of
// range of every probe).
//
//   report_pdf_bench [STATION_DIR] [runs] [--report PROGRAM]
//
// The month and a probe file with alarm limits are generated into
// STATION_DIR (a temporary directory when none is given) unless they are
// there already. --report times another build's quorvanel-report on the same
// month (a before-and-after comparison).

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/bench_month.h"

namespace {

struct Run {
    double seconds = 0;
    long peakKilobytes = 0;
    int status = -1;
};

// The report program on the bench month, its output to /dev/null.
Run RunReport(const std::string& program, const std::filesystem::path& station,
              const std::vector<std::string>& output) {
    std::vector<std::string> args{program,
                                  "--station",
                                  station.string(),
                                  "month",
                                  std::to_string(qrv::bench::kBenchYear),
                                  std::to_string(qrv::bench::kBenchMonth)};
    args.insert(args.end(), output.begin(), output.end());
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    Run run;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return run;
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.peakKilobytes = usage.ru_maxrss;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

}  // namespace

int main(int argc, char** argv) {
    std::filesystem::path station;
    int runs = 3;
    std::string program = QRV_REPORT_EXECUTABLE;
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--report" && i + 1 < argc) {
            program = argv[++i];
        } else {
            positional.push_back(arg);
        }
    }
    bool temporary = false;
    if (!positional.empty()) {
        station = positional[0];
    } else {
        char pattern[] = "/tmp/qrv-pdf-bench-XXXXXX";
        station = ::mkdtemp(pattern);
        temporary = true;
    }
    if (positional.size() > 1) {
        runs = std::max(1, std::atoi(positional[1].c_str()));
    }
    if (!qrv::bench::EnsureBenchMonth(station)) {
        return 1;
    }
    const std::filesystem::path pdf = station / "month.pdf";
    int failures = 0;
    double bestPdf = 1e9;
    double bestText = 1e9;
    for (int i = 0; i < runs; ++i) {
        const Run run = RunReport(program, station, {"--pdf", pdf.string()});
        std::printf(
            "monthly report PDF, 100 pages: %.2f s, peak %.1f MB (target 200 MB), exit %d\n",
            run.seconds, static_cast<double>(run.peakKilobytes) / 1024.0, run.status);
        failures += run.status == 0 ? 0 : 1;
        bestPdf = std::min(bestPdf, run.seconds);
    }
    for (int i = 0; i < runs; ++i) {
        const Run run = RunReport(program, station, {});
        std::printf("monthly report as text: %.3f s, exit %d\n", run.seconds, run.status);
        failures += run.status == 0 ? 0 : 1;
        bestText = std::min(bestText, run.seconds);
    }
    std::printf("best monthly report PDF, 100 pages: %.2f s (goal 1.0 s)\n", bestPdf);
    std::printf("best monthly report as text: %.3f s\n", bestText);
    if (temporary) {
        std::filesystem::remove_all(station);
    }
    return failures == 0 ? 0 : 1;
}
