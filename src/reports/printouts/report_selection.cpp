#include "reports/printouts/report_selection.h"

#include <algorithm>
#include <charconv>

#include "runtime/calendar.h"
#include "storage/result_file_format.h"
#include "text/texts.h"

namespace qrv {

using text::Key;

namespace {

bool ParseNumber(std::string_view text, int& value) {
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc{} && ptr == text.data() + text.size();
}

// "YYYY-MM-DD.qrd" of a real month and day; false for any other name.
bool ParseResultFileName(const std::string& name, int& year, int& month, int& day) {
    if (name.size() != 10 + kResultFileExtension.size() || !name.ends_with(kResultFileExtension) ||
        name[4] != '-' || name[7] != '-') {
        return false;
    }
    const std::string_view view(name);
    return ParseNumber(view.substr(0, 4), year) && ParseNumber(view.substr(5, 2), month) &&
           ParseNumber(view.substr(8, 2), day) && month >= 1 && month <= 12 && day >= 1 &&
           day <= 31;
}

void ShowCandidate(ReportProgress& progress, Key search, int taal, int candidate) {
    progress.MakeMeldingVisible(true, text::Plain(search, taal) + std::to_string(candidate));
}

void StartList(ReportProgress& progress, int taal) {
    progress.MakeMeldingVisible(true, text::Plain(Key::TXT_SEARCH_FILES, taal));
}

}  // namespace

ResultFileIndex::ResultFileIndex(const std::filesystem::path& dataDirectory) {
    std::error_code ec;
    for (const auto& item : std::filesystem::directory_iterator(dataDirectory, ec)) {
        int year = 0;
        int month = 0;
        int day = 0;
        if (item.is_regular_file(ec) &&
            ParseResultFileName(item.path().filename().string(), year, month, day)) {
            days_.emplace(year, month, day);
        }
    }
}

bool ResultFileIndex::Has(int year, int month, int day) const {
    return days_.contains({year, month, day});
}

bool ResultFileIndex::HasMonth(int year, int month) const {
    const auto first = days_.lower_bound({year, month, 0});
    return first != days_.end() && std::get<0>(*first) == year && std::get<1>(*first) == month;
}

std::vector<int> PutAllMonthsToScreen(const ResultFileIndex& files, int year, int taal,
                                      ReportProgress& progress) {
    StartList(progress, taal);
    std::vector<int> months;
    for (int month = 1; month <= 12; ++month) {
        ShowCandidate(progress, Key::TXT_SEARCH_DATA_MONTH, taal, month);
        if (files.HasMonth(year, month)) {
            months.push_back(month);
        }
    }
    progress.MakeMeldingVisible(false, "");
    return months;
}

std::vector<int> PutAllDaysToScreen(const ResultFileIndex& files, int year, int month, int taal,
                                    ReportProgress& progress) {
    StartList(progress, taal);
    std::vector<int> days;
    for (int day = 1; day <= 31; ++day) {
        ShowCandidate(progress, Key::TXT_SEARCH_DATA_DAY, taal, day);
        if (files.Has(year, month, day)) {
            days.push_back(day);
        }
    }
    progress.MakeMeldingVisible(false, "");
    return days;
}

int LastListedWeek(int weekYear, const LocalDateTime& today) {
    CalendarRecord cal;
    cal.CalYear = weekYear;
    cal.CalMonth = 12;
    cal.CalDay = 28;  // always in the year's last week
    ConvertDateToWeekNumber(cal);
    const int weeksInYear = cal.WeekNumber;
    if (weekYear < today.year) {
        return weeksInYear;
    }
    cal.CalYear = today.year;
    cal.CalMonth = today.month;
    cal.CalDay = today.day;
    ConvertDateToWeekNumber(cal);
    if (cal.WeekYear > weekYear) {
        return weeksInYear;
    }
    return cal.WeekYear == weekYear ? cal.WeekNumber : 0;
}

std::vector<int> PutAllWeeksToScreen(const ResultFileIndex& files, int weekYear,
                                     const LocalDateTime& today, int taal,
                                     ReportProgress& progress) {
    StartList(progress, taal);
    std::vector<int> weeks;
    const int last = LastListedWeek(weekYear, today);
    for (int week = 1; week <= last; ++week) {
        ShowCandidate(progress, Key::TXT_SEARCH_DATA_WEEK, taal, week);
        for (int weekday = 1; weekday <= 7; ++weekday) {
            CalendarRecord cal;
            cal.WeekYear = weekYear;
            cal.WeekNumber = week;
            cal.WeekDay = weekday;
            ConvertWeekNumberToDate(cal);
            if (files.Has(cal.CalYear, cal.CalMonth, cal.CalDay)) {
                weeks.push_back(week);
                break;
            }
        }
    }
    progress.MakeMeldingVisible(false, "");
    return weeks;
}

int KeepSelection(const std::vector<int>& listed, int preselected) {
    if (listed.empty() || std::find(listed.begin(), listed.end(), preselected) != listed.end()) {
        return preselected;
    }
    return listed.front();
}

}  // namespace qrv
