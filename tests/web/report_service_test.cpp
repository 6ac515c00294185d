#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "web/reports.h"

namespace qrv::web {
namespace {

// A stand-in for the report program: records its arguments, writes the PDF
// or the CSV it was asked for, or sleeps when the station says so.
class Reports : public ::testing::Test {
  protected:
    Reports()
        : dir_(std::filesystem::temp_directory_path() /
               ("qrv-web-reports-" + std::to_string(::getpid()))) {
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_ / "QRVDATA");
        tool_ = dir_ / "report-tool";
        std::ofstream(tool_) << "#!/bin/sh\n"
                                "echo \"$@\" >> \"$2/calls\"\n"
                                "[ -e \"$2/slow\" ] && exec sleep 30\n"
                                "[ -e \"$2/empty\" ] && exit 1\n"
                                "for last; do :; done\n"
                                "if [ \"$last\" = --csv ]; then echo 'a;b'; else echo %PDF > "
                                "\"$last\"; fi\n";
        std::filesystem::permissions(tool_, std::filesystem::perms::owner_all);
    }
    ~Reports() override { std::filesystem::remove_all(dir_); }

    ReportService Service(int seconds = 20) {
        return ReportService(tool_, dir_, dir_ / "web-reports", std::chrono::seconds(seconds));
    }
    int Calls() {
        std::ifstream in(dir_ / "calls");
        int lines = 0;
        for (std::string line; std::getline(in, line);) {
            ++lines;
        }
        return lines;
    }

    std::filesystem::path dir_;
    std::filesystem::path tool_;
};

TEST(ReportPaths, OnlyRealPeriodsAreAccepted) {
    for (const std::string& bad : std::vector<std::string>{
             "month/2026-13.pdf", "month/2026-00.pdf", "month/../../x.pdf", "month/2026-01.exe",
             "week/2026-54.pdf", "week/2025-53.pdf", "day/2026-02-29.pdf", "day/2026-01-05",
             "year/2026.pdf", "month/2026-1.pdf", "month/0999-01.pdf",
             "month/" + std::string(10000, '1') + ".pdf", "month/2026-01.pdf/x", "month%2F2026"}) {
        EXPECT_FALSE(ParseReportPath(bad)) << bad.substr(0, 30);
    }
    const auto week = ParseReportPath("week/2026-53.pdf");
    ASSERT_TRUE(week);
    // ISO week 53 of 2026 runs from Monday 28 December to 3 January 2027.
    EXPECT_EQ(week->Dates().front(), "2026-12-28");
    EXPECT_EQ(week->Dates().back(), "2027-01-03");
    EXPECT_EQ(ParseReportPath("week/2026-01.csv")->Dates().front(), "2025-12-29");
    EXPECT_EQ(ParseReportPath("month/2028-02.pdf")->Dates().size(), 29u);
    EXPECT_EQ(ParseReportPath("day/2026-01-05.csv")->ToolArguments(),
              (std::vector<std::string>{"day", "2026-01-05"}));
}

TEST_F(Reports, RenderedOnceAndAgainWhenTheDataChanges) {
    ReportService service = Service();
    std::ofstream(dir_ / "QRVDATA" / "2026-01-05.qrd") << "day one";
    const HttpResponse first = service.Get("month/2026-01.pdf", dir_ / "QRVDATA");
    ASSERT_EQ(first.status, 200) << first.body;
    EXPECT_EQ(first.contentType, "application/pdf");
    EXPECT_EQ(first.body, "%PDF\n");
    EXPECT_EQ(service.Get("month/2026-01.pdf", dir_ / "QRVDATA").body, "%PDF\n");
    EXPECT_EQ(Calls(), 1);
    std::ofstream(dir_ / "QRVDATA" / "2026-01-06.qrd") << "day two";
    EXPECT_EQ(service.Get("month/2026-01.pdf", dir_ / "QRVDATA").status, 200);
    EXPECT_EQ(Calls(), 2);
    // Another month's file changes nothing of this one.
    std::ofstream(dir_ / "QRVDATA" / "2026-02-01.qrd") << "later";
    EXPECT_EQ(service.Get("month/2026-01.pdf", dir_ / "QRVDATA").status, 200);
    EXPECT_EQ(Calls(), 2);
    const HttpResponse csv = service.Get("week/2026-02.csv", dir_ / "QRVDATA");
    EXPECT_EQ(csv.body, "a;b\n");
    std::ifstream calls(dir_ / "calls");
    std::string line;
    std::getline(calls, line);
    EXPECT_EQ(line, "--station " + dir_.string() + " month 2026 01 --pdf " +
                        (dir_ / "web-reports" / "month-2026-01.pdf.new").string());
}

TEST_F(Reports, NoDataIs404AndATooSlowReportIsKilled) {
    std::ofstream(dir_ / "empty");
    EXPECT_EQ(Service().Get("day/2026-01-05.pdf", dir_ / "QRVDATA").status, 404);
    std::filesystem::remove(dir_ / "empty");
    std::ofstream(dir_ / "slow");
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(Service(1).Get("day/2026-01-05.pdf", dir_ / "QRVDATA").status, 504);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "web-reports" / "day-2026-01-05.pdf"));
}

}  // namespace
}  // namespace qrv::web
