#include "storage/period_files.h"

#include <algorithm>
#include <vector>

#include "runtime/calendar.h"
#include "runtime/text_file.h"
#include "storage/result_file_format.h"
#include "text/texts.h"

namespace qrv {

namespace {

void StartSearch(PeriodData& data, const std::filesystem::path& dataDirectory, int taal,
                 ReportProgress& progress) {
    progress.MakeMeldingVisible(true, text::Plain(text::Key::TXT_SEARCH_FILES, taal));
    for (int i = 1; i < kPrintFileCount; ++i) {
        data.PrintFile[static_cast<std::size_t>(i)] = kNoPrintFile;
    }
    MakeDirectories(dataDirectory);
}

void EndSearch(ReportProgress& progress) {
    progress.MakeMeldingVisible(false, "");
}

bool IsResultFile(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

// Numbers of a "YYYY-MM-DD" date; false when the text is not one.
bool SplitFileDate(std::string_view date, int& year, int& month, int& day) {
    if (date.size() < 10) {
        return false;
    }
    const auto number = [&](std::size_t from, std::size_t length, int& out) {
        out = 0;
        for (std::size_t i = from; i < from + length; ++i) {
            if (date[i] < '0' || date[i] > '9') {
                return false;
            }
            out = out * 10 + (date[i] - '0');
        }
        return true;
    };
    return number(0, 4, year) && number(5, 2, month) && number(8, 2, day);
}

// A date as one number that orders like the date (YYYYMMDD); month and day
// may be out of range, as in a damaged date line, and still order right.
int DateNumber(int year, int month, int day) {
    return year * 10000 + month * 100 + day;
}

// The dates of the result files in the directory that stepping one day at a
// time, every month with 31 days, can land on: named YYYY-MM-DD.qrd with a
// month of 1..12 and a day of 1..31 (so also 2026-02-30.qrd, should such a
// file exist).
std::vector<int> ReachableResultDates(const std::filesystem::path& dataDirectory) {
    std::vector<int> dates;
    std::error_code ec;
    for (const auto& item : std::filesystem::directory_iterator(dataDirectory, ec)) {
        const std::string name = item.path().filename().string();
        int year = 0;
        int month = 0;
        int day = 0;
        if (name.size() != 10 + kResultFileExtension.size() || name[4] != '-' || name[7] != '-' ||
            !name.ends_with(kResultFileExtension) || !SplitFileDate(name, year, month, day) ||
            month < 1 || month > 12 || day < 1 || day > 31 || !item.is_regular_file(ec)) {
            continue;
        }
        dates.push_back(DateNumber(year, month, day));
    }
    return dates;
}

}  // namespace

void FindFilesOfThisMonth(PeriodData& data, const std::filesystem::path& dataDirectory, int year,
                          int month, int taal, ReportProgress& progress) {
    StartSearch(data, dataDirectory, taal, progress);
    for (int day = 1; day <= 31 && !progress.ReportAbort(); ++day) {
        const std::filesystem::path path = ResultFilePath(dataDirectory, year, month, day);
        if (IsResultFile(path)) {
            data.PrintFile[static_cast<std::size_t>(day)] = path.string();
        }
    }
    EndSearch(progress);
}

void FindFilesOfThisWeek(PeriodData& data, const std::filesystem::path& dataDirectory, int weekYear,
                         int week, int taal, ReportProgress& progress) {
    StartSearch(data, dataDirectory, taal, progress);
    for (int weekday = 1; weekday <= 7 && !progress.ReportAbort(); ++weekday) {
        CalendarRecord cal;
        cal.WeekYear = weekYear;
        cal.WeekNumber = week;
        cal.WeekDay = weekday;
        ConvertWeekNumberToDate(cal);
        const std::filesystem::path path =
            ResultFilePath(dataDirectory, cal.CalYear, cal.CalMonth, cal.CalDay);
        if (IsResultFile(path)) {
            data.PrintFile[static_cast<std::size_t>(weekday)] = path.string();
        }
    }
    EndSearch(progress);
}

void FindFileOfThisDay(PeriodData& data, const std::filesystem::path& dataDirectory, int year,
                       int month, int day, int taal, ReportProgress& progress) {
    StartSearch(data, dataDirectory, taal, progress);
    if (day >= 1 && day < kPrintFileCount && !progress.ReportAbort()) {
        const std::filesystem::path path = ResultFilePath(dataDirectory, year, month, day);
        if (IsResultFile(path)) {
            data.PrintFile[static_cast<std::size_t>(day)] = path.string();
        }
    }
    EndSearch(progress);
}

int FindNextAvailableYear(const std::filesystem::path& dataDirectory, int year,
                          const Clock& clock) {
    MakeDirectories(dataDirectory);
    const int currentYear = clock.Now().year;
    // One listing of the directory instead of one wildcard search per year.
    int found = -1;
    std::error_code ec;
    for (const auto& item : std::filesystem::directory_iterator(dataDirectory, ec)) {
        const std::string name = item.path().filename().string();
        if (!item.is_regular_file(ec) || !name.ends_with(kResultFileExtension) || name.size() < 5 ||
            name[4] != '-') {
            continue;
        }
        int y = 0;
        if (!std::all_of(name.begin(), name.begin() + 4,
                         [](char c) { return c >= '0' && c <= '9'; })) {
            continue;
        }
        for (std::size_t i = 0; i < 4; ++i) {
            y = y * 10 + (name[i] - '0');
        }
        if (y >= year && y <= currentYear && (found < 0 || y < found)) {
            found = y;
        }
    }
    return found;
}

int KiesEenHistoryFile(HistoryData& data, const std::filesystem::path& dataDirectory,
                       Dialogs& dialogs, int taal) {
    MakeDirectories(dataDirectory);
    const std::optional<std::string> chosen = dialogs.FileSelectPopup(
        text::Plain(text::Key::TXT_SELECT_FILE, taal), dataDirectory.string(), "", "*.qrd", false);
    if (!chosen) {
        return -1;
    }
    data.HistoryFileName = *chosen;
    return 0;
}

int GetOtherDateFile(HistoryData& data, bool forward, const std::filesystem::path& dataDirectory,
                     const Clock& clock, Dialogs& dialogs, StatusMessages& status) {
    int year = 0;
    int month = 0;
    int day = 0;
    if (SplitFileDate(data.HistoryDatum, year, month, day)) {
        const LocalDateTime today = clock.Now();
        const int from = DateNumber(year, month, day);
        // The nearest file the day walk would reach: it never passes today
        // forward nor goes below 1999 backward. One listing of the directory
        // answers at once even when a damaged date lies centuries away.
        const int limit = forward ? DateNumber(today.year, today.month, today.day)
                                  : DateNumber(kFirstDataYear, 1, 1);
        int best = -1;
        for (const int date : ReachableResultDates(dataDirectory)) {
            const bool candidate = forward
                                       ? date > from && date <= limit && (best < 0 || date < best)
                                       : date < from && date >= limit && date > best;
            if (candidate) {
                best = date;
            }
        }
        if (best >= 0) {
            data.HistoryFileName =
                ResultFilePath(dataDirectory, best / 10000, best / 100 % 100, best % 100);
            return 1;
        }
    }
    status.Beep();
    dialogs.MessagePopup(text::Plain(text::Key::QRVNL_TEXT, status.Taal()),
                         text::Plain(text::Key::TXT_NO_MORE_DATA, status.Taal()));
    return 0;
}

}  // namespace qrv
