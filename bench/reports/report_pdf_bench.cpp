// Measures the monthly report of 100 probes stored every minute for a whole
// month (31 files, 4.46 million values) written as a PDF by quorvanel-report:
// wall time (target 5 s) and peak resident memory (target 200 MB) of the
// report process.
//
//   report_pdf_bench [STATION_DIR] [runs]
//
// The month is generated into STATION_DIR (a temporary directory when none is
// given) unless it is there already.

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "storage/result_file_format.h"
#include "storage/result_generator.h"

namespace {

struct Run {
    double seconds = 0;
    long peakKilobytes = 0;
    int status = -1;
};

Run RunReport(const std::filesystem::path& station, const std::filesystem::path& pdf) {
    std::vector<std::string> args{
        QRV_REPORT_EXECUTABLE, "--station", station.string(), "month", "2026", "01", "--pdf",
        pdf.string()};
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    Run run;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
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
    bool temporary = false;
    if (argc > 1) {
        station = argv[1];
    } else {
        char pattern[] = "/tmp/qrv-pdf-bench-XXXXXX";
        station = ::mkdtemp(pattern);
        temporary = true;
    }
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const std::filesystem::path data = station / "QRVDATA";
    if (!std::filesystem::exists(qrv::ResultFilePath(data, 2026, 1, 31))) {
        qrv::GeneratorOptions options;
        options.year = 2026;
        options.month = 1;
        options.day = 1;
        options.days = 31;
        options.probes = 100;
        options.intervalMinutes = 1;
        std::string error;
        std::printf("generating 31 days of 100 probes every minute in %s\n", data.c_str());
        if (qrv::GenerateResultFiles(data, options, error) < 0) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
    }
    const std::filesystem::path pdf = station / "month.pdf";
    int failures = 0;
    for (int i = 0; i < runs; ++i) {
        const Run run = RunReport(station, pdf);
        std::printf(
            "monthly report PDF, 100 probes: %.2f s (target 5 s), peak %.1f MB (target "
            "200 MB), exit %d\n",
            run.seconds, run.peakKilobytes / 1024.0, run.status);
        failures += run.status == 0 ? 0 : 1;
    }
    if (temporary) {
        std::filesystem::remove_all(station);
    }
    return failures == 0 ? 0 : 1;
}
