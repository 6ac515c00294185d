#include "storage/period_files.h"

#include <algorithm>
#include <tuple>

#include "reports/calendar.h"
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
    const LocalDateTime today = clock.Now();
    const bool known = SplitFileDate(data.HistoryDatum, year, month, day);
    const auto after = [&](int y, int m, int d) {
        return std::tie(y, m, d) > std::tie(today.year, today.month, today.day);
    };
    // Every month is walked with 31 days; the impossible dates have no file.
    while (known) {
        if (forward) {
            if (++day > 31) {
                day = 1;
                if (++month > 12) {
                    month = 1;
                    ++year;
                }
            }
            if (after(year, month, day)) {
                break;
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
                break;
            }
        }
        const std::filesystem::path path = ResultFilePath(dataDirectory, year, month, day);
        if (IsResultFile(path)) {
            data.HistoryFileName = path;
            return 1;
        }
    }
    status.Beep();
    dialogs.MessagePopup(text::Plain(text::Key::QRVNL_TEXT, status.Taal()),
                         text::Plain(text::Key::TXT_NO_MORE_DATA, status.Taal()));
    return 0;
}

}  // namespace qrv
