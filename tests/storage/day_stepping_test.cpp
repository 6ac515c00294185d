#include <gtest/gtest.h>

#include <fmt/format.h>

#include <memory>
#include <set>
#include <tuple>

#include "storage/period_files.h"
#include "support/recording_status_display.h"
#include "support/scripted_dialogs.h"
#include "support/temp_dir.h"

namespace qrv {
namespace {

class DayStepTest : public ::testing::Test {
  protected:
    void Touch(const std::string& date) { testing::WriteBytes(temp / (date + ".qrd"), ""); }
    int Step(const std::string& from, bool forward) {
        data->HistoryDatum = from;
        data->HistoryFileName = "unchanged";
        return GetOtherDateFile(*data, forward, temp.path(), clock, dialogs, status);
    }
    std::string Found() const { return data->HistoryFileName.filename().string(); }
    bool GaveUp() const {
        return !dialogs.Popups().empty() &&
               dialogs.Popups().back().message == "Sorry, no more data available." &&
               display.Snapshot().beeps > 0 && data->HistoryFileName == "unchanged";
    }

    testing::TempDir temp;
    VirtualClock clock{{2026, 12, 31, 9, 0, 0, 0}};
    ScriptedDialogs dialogs;
    RecordingStatusDisplay display;
    int taal = 0;
    std::atomic<int> netWorkInstalled{1};
    StatusMessages status{display, taal, netWorkInstalled};
    std::unique_ptr<HistoryData> data = std::make_unique<HistoryData>();
};

TEST_F(DayStepTest, ForwardFindsTheNextFileUpToToday) {
    Touch("2026-11-28");
    Touch("2026-12-02");
    Touch("2026-12-31");
    EXPECT_EQ(Step("2026-11-28", true), 1);
    EXPECT_EQ(Found(), "2026-12-02.qrd");
    EXPECT_EQ(Step("2026-12-30", true), 1);
    EXPECT_EQ(Found(), "2026-12-31.qrd");
    EXPECT_TRUE(dialogs.Popups().empty());

    // From today's file the first candidate is tomorrow, across the year end.
    EXPECT_EQ(Step("2026-12-31", true), 0);
    EXPECT_TRUE(GaveUp());
}

TEST_F(DayStepTest, ForwardNeverLooksPastToday) {
    Touch("2027-01-01");  // a file from a clock that ran ahead
    EXPECT_EQ(Step("2026-12-20", true), 0);
    EXPECT_TRUE(GaveUp());
}

TEST_F(DayStepTest, BackwardWalksEveryMonthWith31DaysDownTo1999) {
    Touch("1999-01-01");
    Touch("2026-02-28");
    EXPECT_EQ(Step("2026-03-01", false), 1);
    EXPECT_EQ(Found(), "2026-02-28.qrd");
    EXPECT_EQ(Step("2000-01-05", false), 1);
    EXPECT_EQ(Found(), "1999-01-01.qrd");
    EXPECT_EQ(Step("1999-01-01", false), 0);
    EXPECT_TRUE(GaveUp());
}

TEST_F(DayStepTest, WithoutADateThereIsNothingToStepFrom) {
    Touch("2026-12-01");
    EXPECT_EQ(Step("", true), 0);
    EXPECT_TRUE(GaveUp());
}

// Stepping one day at a time, every month with 31 days, as the files were
// always searched: what the listing must agree with.
std::string WalkOneDayAtATime(const std::set<std::string>& files, int year, int month, int day,
                              bool forward, const LocalDateTime& today) {
    for (;;) {
        if (forward) {
            if (++day > 31) {
                day = 1;
                if (++month > 12) {
                    month = 1;
                    ++year;
                }
            }
            if (std::tie(year, month, day) > std::tie(today.year, today.month, today.day)) {
                return "";
            }
        } else {
            if (--day < 1) {
                day = 31;
                if (--month < 1) {
                    month = 12;
                    --year;
                }
            }
            if (year < kFirstDataYear) {
                return "";
            }
        }
        std::string name = fmt::format("{:04d}-{:02d}-{:02d}.qrd", year, month, day);
        if (files.contains(name)) {
            return name;
        }
    }
}

TEST_F(DayStepTest, DamagedDatesStepToTheNearestFileAsTheDayWalkWould) {
    const std::set<std::string> files{"1998-12-31.qrd", "1999-01-01.qrd", "2003-07-15.qrd",
                                      "2026-02-30.qrd", "2026-03-01.qrd", "2026-12-31.qrd",
                                      "2027-01-01.qrd"};
    for (const std::string& name : files) {
        testing::WriteBytes(temp / name, "");
    }
    // Names no walk lands on, and one that is not a file.
    for (const char* odd : {"2026-00-10.qrd", "2026-13-01.qrd", "2026-04-00.qrd", "2026-04-32.qrd",
                            "2026-5-05.qrd", "2026-05-05.QRD", "2026-05-05.qrd.bak"}) {
        testing::WriteBytes(temp / odd, "");
    }
    std::filesystem::create_directories(temp / "2026-06-06.qrd");

    // Sound and damaged dates that the walk gets through quickly.
    for (const std::string from :
         {"1998-12-31", "1999-01-01", "2003-07-15", "2026-02-28", "2026-02-31", "2026-03-01",
          "2026-00-00", "2026-13-45", "2026-99-99", "2025-12-32", "2026-12-31", "1500-01-01"}) {
        for (const bool forward : {true, false}) {
            const int year = std::stoi(from.substr(0, 4));
            const int month = std::stoi(from.substr(5, 2));
            const int day = std::stoi(from.substr(8, 2));
            const std::string walked =
                WalkOneDayAtATime(files, year, month, day, forward, clock.Now());
            EXPECT_EQ(Step(from, forward), walked.empty() ? 0 : 1) << from << forward;
            EXPECT_EQ(Found(), walked.empty() ? "unchanged" : walked) << from << forward;
        }
    }
    // The dates that walked for seconds, one candidate day after the other.
    EXPECT_EQ(Step("9999-12-31", false), 1);
    EXPECT_EQ(Found(), "2027-01-01.qrd") << "a file dated after today is still a day to see";
    EXPECT_EQ(Step("9999-12-31", true), 0);
    EXPECT_EQ(Step("0001-01-01", true), 1);
    EXPECT_EQ(Found(), "1998-12-31.qrd");
    EXPECT_EQ(Step("0001-01-01", false), 0);
    EXPECT_TRUE(GaveUp());
}

TEST(FirstYearWithData, FindsTheFirstYearUpToTheCurrentOne) {
    testing::TempDir temp;
    const VirtualClock clock({2026, 6, 1, 12, 0, 0, 0});
    for (const char* name :
         {"2003-05-01.qrd", "2010-12-31.qrd", "2030-01-01.qrd", "2011-notes.txt"}) {
        testing::WriteBytes(temp / name, "");
    }
    std::filesystem::create_directories(temp / "2012-01-01.qrd");  // not a file
    EXPECT_EQ(FindNextAvailableYear(temp.path(), 1999, clock), 2003);
    EXPECT_EQ(FindNextAvailableYear(temp.path(), 2003, clock), 2003);
    EXPECT_EQ(FindNextAvailableYear(temp.path(), 2004, clock), 2010);
    EXPECT_EQ(FindNextAvailableYear(temp.path(), 2011, clock), -1);
    EXPECT_EQ(FindNextAvailableYear(temp / "new", 1999, clock), -1);
    EXPECT_TRUE(std::filesystem::is_directory(temp / "new"));
}

TEST(ChooseHistoryFile, TakesTheChosenPathOrNothing) {
    testing::TempDir temp;
    ScriptedDialogs dialogs;
    auto data = std::make_unique<HistoryData>();
    data->HistoryFileName = "before";
    dialogs.QueueText(std::nullopt);
    EXPECT_EQ(KiesEenHistoryFile(*data, temp / "QRVDATA", dialogs, 0), -1);
    EXPECT_EQ(data->HistoryFileName, "before");
    dialogs.QueueText("/elsewhere/2026-01-02.qrd");
    EXPECT_EQ(KiesEenHistoryFile(*data, temp / "QRVDATA", dialogs, 0), 0);
    EXPECT_EQ(data->HistoryFileName, "/elsewhere/2026-01-02.qrd");
    EXPECT_EQ(dialogs.Popups().back().title, "Select a file");
    EXPECT_TRUE(std::filesystem::is_directory(temp / "QRVDATA"));
    EXPECT_EQ(dialogs.UnexpectedPopups(), 0);
}

}  // namespace
}  // namespace qrv
