#include "web/reports.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <charconv>
#include <fstream>
#include <thread>

#include <fmt/format.h>

#include "runtime/text_file.h"
#include "web/day_data.h"

extern char** environ;

namespace qrv::web {

namespace {

using std::chrono::days;
using std::chrono::sys_days;
using std::chrono::year_month_day;

std::string DateText(sys_days day) {
    const year_month_day date{day};
    return fmt::format("{:04}-{:02}-{:02}", static_cast<int>(date.year()),
                       static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
}

sys_days IsoWeekMonday(int year, int week) {
    const sys_days january4{std::chrono::year(year) / 1 / 4};
    const std::chrono::weekday weekday{january4};
    const int fromMonday = static_cast<int>(weekday.iso_encoding()) - 1;
    return january4 - days(fromMonday) + days(7 * (week - 1));
}

bool Digits(std::string_view text, int& out) {
    if (text.empty() ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return false;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    return error == std::errc() && end == text.data() + text.size();
}

std::optional<std::string> ReadFile(const std::filesystem::path& file) {
    FileBytes read = ReadFileBytes(file);
    if (read.result != kFileOk) {
        return std::nullopt;
    }
    return std::move(read.bytes);
}

}  // namespace

std::vector<std::string> ReportRequest::Dates() const {
    std::vector<std::string> dates;
    if (period == "day") {
        dates.push_back(fmt::format("{:04}-{:02}-{:02}", year, number, day));
    } else if (period == "week") {
        const sys_days monday = IsoWeekMonday(year, number);
        for (int i = 0; i < 7; ++i) {
            dates.push_back(DateText(monday + days(i)));
        }
    } else {
        const sys_days first{std::chrono::year(year) / number / 1};
        for (sys_days d = first;
             year_month_day(d).month() == std::chrono::month(static_cast<unsigned>(number));
             d += days(1)) {
            dates.push_back(DateText(d));
        }
    }
    return dates;
}

std::vector<std::string> ReportRequest::ToolArguments() const {
    if (period == "day") {
        return {"day", fmt::format("{:04}-{:02}-{:02}", year, number, day)};
    }
    return {period, std::to_string(year), fmt::format("{:02}", number)};
}

std::string ReportRequest::CacheName() const {
    const std::string date = period == "day" ? fmt::format("{:04}-{:02}-{:02}", year, number, day)
                                             : fmt::format("{:04}-{:02}", year, number);
    return fmt::format("{}-{}.{}", period, date, pdf ? "pdf" : "csv");
}

std::optional<ReportRequest> ParseReportPath(std::string_view rest) {
    const std::size_t slash = rest.find('/');
    if (slash == std::string_view::npos || rest.size() > 40) {
        return std::nullopt;
    }
    ReportRequest report;
    report.period = std::string(rest.substr(0, slash));
    std::string_view name = rest.substr(slash + 1);
    if (name.ends_with(".pdf")) {
        report.pdf = true;
    } else if (name.ends_with(".csv")) {
        report.pdf = false;
    } else {
        return std::nullopt;
    }
    name.remove_suffix(4);
    if (report.period == "day") {
        if (!ParseDate(name, report.year, report.number, report.day)) {
            return std::nullopt;
        }
        return report;
    }
    if (report.period != "week" && report.period != "month") {
        return std::nullopt;
    }
    if (name.size() != 7 || name[4] != '-' || !Digits(name.substr(0, 4), report.year) ||
        !Digits(name.substr(5, 2), report.number) || report.year < 1999 || report.year > 2999) {
        return std::nullopt;
    }
    if (report.period == "month") {
        return report.number >= 1 && report.number <= 12 ? std::optional(report) : std::nullopt;
    }
    // Week 53 exists only in the years whose last week reaches into it.
    const int lastWeek = year_month_day(IsoWeekMonday(report.year + 1, 1) - days(1)) <
                                 year_month_day(IsoWeekMonday(report.year, 53))
                             ? 52
                             : 53;
    if (report.number < 1 || report.number > lastWeek) {
        return std::nullopt;
    }
    return report;
}

std::string ReportService::Stamp(const ReportRequest& report,
                                 const std::filesystem::path& data) const {
    std::string stamp;
    std::vector<std::filesystem::path> files;
    for (const std::string& date : report.Dates()) {
        files.push_back(data / (date + ".qrd"));
    }
    // Names and limits in the report come from the probe and settings files.
    files.push_back(station_ / "QRVNL.SNS");
    files.push_back(station_ / "QRVNL.INI");
    for (const auto& file : files) {
        std::error_code error;
        const auto size = std::filesystem::file_size(file, error);
        if (error) {
            continue;
        }
        const auto time = std::filesystem::last_write_time(file, error);
        stamp += fmt::format("{} {} {}\n", file.filename().string(), size,
                             time.time_since_epoch().count());
    }
    return stamp;
}

int ReportService::Render(const ReportRequest& report, const std::filesystem::path& output) const {
    std::vector<std::string> args{tool_.string(), "--station", station_.string()};
    for (std::string& arg : report.ToolArguments()) {
        args.push_back(std::move(arg));
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (report.pdf) {
        args.push_back("--pdf");
        args.push_back(output.string());
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    } else {
        args.push_back("--csv");
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
    }
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // Its own process group, so that a kill on time-out reaches whatever it
    // started.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    pid_t child = 0;
    const int started =
        posix_spawn(&child, tool_.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (started != 0) {
        return -1;
    }
    const auto deadline = std::chrono::steady_clock::now() + limit_;
    int status = 0;
    while (::waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(-child, SIGKILL);
            ::waitpid(child, &status, 0);
            return -2;
        }
        // The child runs for seconds; polling at this pace costs nothing.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
}

HttpResponse ReportService::Get(std::string_view rest, const std::filesystem::path& dataDirectory) {
    const std::optional<ReportRequest> report = ParseReportPath(rest);
    if (!report) {
        return ErrorResponse(400,
                             "a report is day/YYYY-MM-DD, week/YYYY-WW or month/YYYY-MM, "
                             "with .pdf or .csv");
    }
    const std::string stamp = Stamp(*report, dataDirectory);
    const std::filesystem::path cached = cache_ / report->CacheName();
    const std::filesystem::path stampFile = cached.string() + ".stamp";
    HttpResponse response;
    response.contentType = report->pdf ? "application/pdf" : "text/csv; charset=utf-8";
    response.AddHeader("Content-Disposition",
                       fmt::format("attachment; filename=\"{}\"", report->CacheName()));
    {
        std::unique_lock lock(renderMutex_);
        if (!renderDone_.wait_for(lock, limit_, [this] { return !rendering_; })) {
            HttpResponse busy = ErrorResponse(503, "another report is being made; try again");
            busy.AddHeader("Retry-After", "5");
            return busy;
        }
        rendering_ = true;
    }
    const auto release = [this](void*) {
        {
            const std::lock_guard lock(renderMutex_);
            rendering_ = false;
        }
        renderDone_.notify_one();
    };
    const std::unique_ptr<void, decltype(release)> turn(this, release);
    if (ReadFile(stampFile) == stamp) {
        if (std::optional<std::string> body = ReadFile(cached)) {
            response.body = std::move(*body);
            return response;
        }
    }
    std::error_code error;
    std::filesystem::create_directories(cache_, error);
    const std::filesystem::path fresh = cached.string() + ".new";
    const int status = Render(*report, fresh);
    {
        const std::lock_guard count(countMutex_);
        ++renders_;
    }
    std::optional<std::string> body = status == 0 ? ReadFile(fresh) : std::nullopt;
    if (!body || body->empty()) {
        std::filesystem::remove(fresh, error);
        if (status == -2) {
            return ErrorResponse(504, "the report took too long");
        }
        if (status == 1) {
            return ErrorResponse(404, "no values are stored for that period");
        }
        return ErrorResponse(500, "the report could not be made");
    }
    std::filesystem::rename(fresh, cached, error);
    std::ofstream(stampFile, std::ios::binary) << stamp;
    response.body = std::move(*body);
    return response;
}

int ReportService::Renders() const {
    const std::lock_guard count(countMutex_);
    return renders_;
}

}  // namespace qrv::web
