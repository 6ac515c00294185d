#pragma once

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "web/http_message.h"

namespace qrv::web {

// A period report asked for by URL: "month/2026-01.pdf", "week/2026-03.csv",
// "day/2026-01-05.pdf".
struct ReportRequest {
    std::string period;  // "day", "week" or "month"
    int year = 0;
    int number = 0;  // month 1..12 or ISO week 1..53; for a day its month
    int day = 0;
    bool pdf = true;
    // The dates whose result files the report reads, YYYY-MM-DD.
    std::vector<std::string> Dates() const;
    // The report tool's arguments for the period, before --pdf or --csv.
    std::vector<std::string> ToolArguments() const;
    std::string CacheName() const;
};

// None for anything but a well-formed, real period from 1999 to 2999.
std::optional<ReportRequest> ParseReportPath(std::string_view rest);

// The report tool run as a child process with an argument vector, one report
// at a time and within a time limit. A rendered report is kept in the cache
// directory beside a stamp of the files it was made from, and rendered again
// only once one of them has changed.
class ReportService {
  public:
    ReportService(std::filesystem::path tool, std::filesystem::path station,
                  std::filesystem::path cache, std::chrono::seconds limit)
        : tool_(std::move(tool)),
          station_(std::move(station)),
          cache_(std::move(cache)),
          limit_(limit) {}

    // rest is what follows "/api/reports/".
    HttpResponse Get(std::string_view rest, const std::filesystem::path& dataDirectory);
    // Reports rendered by the tool since the start (cache hits not counted).
    int Renders() const;

  private:
    std::string Stamp(const ReportRequest& report, const std::filesystem::path& data) const;
    // 0 and the report in output, or the tool's exit status; -1 when it
    // could not start, -2 when it took too long and was killed.
    int Render(const ReportRequest& report, const std::filesystem::path& output) const;

    const std::filesystem::path tool_;
    const std::filesystem::path station_;
    const std::filesystem::path cache_;
    const std::chrono::seconds limit_;
    // One report at a time: a flag under a plain mutex, as a timed mutex's
    // wait is not seen by ThreadSanitizer.
    std::mutex renderMutex_;
    std::condition_variable renderDone_;
    bool rendering_ = false;
    mutable std::mutex countMutex_;
    int renders_ = 0;
};

}  // namespace qrv::web
