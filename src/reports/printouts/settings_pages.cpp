#include "reports/printouts/settings_pages.h"

#include <algorithm>
#include <array>
#include <optional>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include <cctype>

#include "reports/text_columns.h"
#include "runtime/encoding.h"
#include "runtime/formats.h"
#include "text/texts.h"

namespace qrv {

using text::Key;

namespace {

constexpr std::array<std::string_view, 4> kLanguageNames{"English.", "Deutsch.", "Francais.",
                                                         "Nederlands."};

// The pages share the list page's frame: title, page line, banner, network
// line and report name.
ReportPage SettingsFrame(Key title, std::string pageLine, Key reportName,
                         const PrintContext& context) {
    ReportPage page;
    page.layout = PageLayout::List;
    page.orientation = PageOrientation::Portrait;
    page.title = text::Plain(title, context.taal);
    page.pageLine = std::move(pageLine);
    page.banner = PrintingBanner(context);
    page.details = {NetworkLine(context), text::Plain(reportName, context.taal)};
    return page;
}

// A numbered page of the list with its two column headers.
ReportPage ListFrame(Key title, int page, Key reportName, std::array<Key, 2> headers,
                     const PrintContext& context) {
    const int taal = context.taal;
    ReportPage list =
        SettingsFrame(title, text::Plain(Key::TXT_PAGE_NUM, taal) + " " + std::to_string(page),
                      reportName, context);
    list.columnHeader = {text::Plain(headers[0], taal), text::Plain(headers[1], taal)};
    return list;
}

std::string StatusColumn(int status, int taal) {
    switch (status) {
        case kStatusActive:
            return text::Plain(Key::TXT_PRNT_LIST_PROBE_STATUS_ON, taal);
        case kStatusOff:
            return text::Plain(Key::TXT_PRNT_LIST_PROBE_STATUS_OFF, taal);
        case kStatusInhibit:
            return text::Plain(Key::TXT_PRNT_LIST_PROBE_STATUS_INH, taal);
        default:
            return "????";
    }
}

// Appends to the line and makes it exactly `column` characters long.
void AppendTo(std::string& line, std::string_view part, std::size_t column) {
    line = FitCharacters(line + std::string(part), column);
}

// A correction in at most 21 characters: "offset +0.40" or "x0.99602 -0.398".
std::string CorrectionColumn(const records::Calibration& c, int taal) {
    if (c.points) {
        return fmt::format("x{:.5f} {:+.3f}", c.gain, c.offset);
    }
    std::string offset = text::Plain(Key::TXT_CALIB_OFFSET, taal);
    std::transform(offset.begin(), offset.end(), offset.begin(), [](char ch) {
        return static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    });
    return fmt::format("{} {:+.2f}", offset, c.offset);
}

std::string DueColumn(const records::Calibration& c, const LocalDateTime& today, int taal) {
    switch (records::DueState(c, today)) {
        case records::CalibrationDue::kDueSoon:
            return text::Plain(Key::TXT_PRNT_CALIB_DUE_SOON, taal);
        case records::CalibrationDue::kOverdue:
            return text::Plain(Key::TXT_PRNT_CALIB_OVERDUE, taal);
        case records::CalibrationDue::kNotDue:
            break;
    }
    return {};
}

void AddCalibrationRows(std::vector<std::string>& rows, std::string_view name,
                        const records::Calibration& c, const LocalDateTime& today, int taal) {
    constexpr std::size_t kName = kPrintedNameWidth;
    std::string line = FitCharacters(TakeCharacters(name, kName - 1), kName);
    AppendTo(line, CorrectionColumn(c, taal), kName + 22);
    AppendTo(line, TakeCharacters(c.certificate, 17), kName + 40);
    AppendTo(line, c.nextDue, kName + 51);
    rows.push_back(line + DueColumn(c, today, taal));
    const std::string record = fmt::format("{}, {}, {}", c.date, c.instrument, c.who);
    rows.push_back(FitCharacters("", kName) + std::string(TakeCharacters(record, 60)));
}

// A piece of a wrapped row and what joins it to the piece before.
struct Part {
    std::string_view sep;
    std::string text;
};

// The parts joined into rows of at most width characters (a part too long
// for any row stands alone on its row); each row is indented, continued
// rows deeper. A separator's mark stays at the end of the row it closes.
std::vector<std::string> WrapParts(const std::vector<Part>& parts, std::size_t width) {
    constexpr std::string_view kIndent = "  ";
    constexpr std::string_view kContinued = "      ";
    std::vector<std::string> rows;
    std::string row;
    for (const Part& part : parts) {
        if (!row.empty() &&
            CharacterCount(row) + part.sep.size() + CharacterCount(part.text) > width) {
            rows.push_back(row +
                           std::string(part.sep.substr(0, part.sep.find_last_not_of(' ') + 1)));
            row.clear();
        }
        row += row.empty() ? std::string(rows.empty() ? kIndent : kContinued) + part.text
                           : std::string(part.sep) + part.text;
    }
    if (!row.empty()) {
        rows.push_back(row);
    }
    return rows;
}

std::string QuarterHour(int quarter) {
    return fmt::format("{:02}:{:02}", quarter / 4, quarter % 4 * 15);
}

std::string WindowText(const AlarmWindow& window, int taal) {
    if (window.Start >= window.Stop) {
        return text::Plain(Key::TXT_PRNT_NO_ALARM, taal);
    }
    return QuarterHour(window.Start) + "-" + QuarterHour(window.Stop);
}

// "Mo-Fr 07:00-18:00", "Sa-Su no alarm": days in a row with one window.
std::vector<std::string> AlarmWindowGroups(const std::array<AlarmWindow, 7>& windows, int taal) {
    std::vector<std::string> days;
    const std::string names = text::Plain(Key::TXT_PRNT_WEEKDAYS, taal);
    for (std::size_t at = 0; at < names.size();) {
        const std::size_t end = std::min(names.find(' ', at), names.size());
        days.push_back(names.substr(at, end - at));
        at = end + 1;
    }
    days.resize(windows.size(), "?");
    std::vector<std::string> groups;
    for (std::size_t first = 0; first < windows.size();) {
        std::size_t last = first;
        while (last + 1 < windows.size() && windows[last + 1] == windows[first]) {
            ++last;
        }
        const std::string span = first == last ? days[first] : days[first] + "-" + days[last];
        groups.push_back(span + " " + WindowText(windows[first], taal));
        first = last + 1;
    }
    return groups;
}

}  // namespace

ReportPage MakeSystemSettingsPage(const SystemSettings& settings, int probeCount,
                                  const PrintContext& context) {
    const int taal = context.taal;
    ReportPage page =
        SettingsFrame(Key::TXT_LIST_SYS_SETTING, text::Plain(Key::TXT_PAGE1_OF1, taal),
                      Key::TXT_LIST_SYS_SET_REPORT, context);
    page.columnHeader = {"", text::Plain(Key::TXT_LIST_SYS_SET_TIME, taal) +
                                 context.printed.EuroDatumString + "   " +
                                 context.printed.TijdString};
    const int language = std::clamp(settings.Taal, 0, 3);
    const int style = settings.KeuzeGraphStyle;
    const Key styleKey = style >= 0 && style <= 2 ? text::GroupKey(text::Group::GraphStyles, style)
                                                  : Key::TXT_SYS_STYLE_DOTS;
    const std::vector<std::pair<Key, std::string>> rows{
        {Key::TXT_LIST_SOFTREL, fmt::format("{:>5}", text::kProgramVersion)},
        {Key::TXT_PRNT_SYS_COMPORT, std::to_string(settings.SerialPort)},
        {Key::TXT_PRNT_SYS_LANGUAGE,
         std::string(kLanguageNames[static_cast<std::size_t>(language)])},
        {Key::TXT_PRNT_SYS_SAMPLE_RATE, std::to_string(settings.KeuzeSampleTime) + " min."},
        {Key::TXT_PRNT_SYS_GRAPH_STYLE, text::Plain(styleKey, taal)},
        {Key::TXT_PRNT_SYS_NR_OF_PROBES, std::to_string(std::max(0, probeCount))},
    };
    // Every value starts in one column, whatever the lengths of the labels in
    // the language.
    const auto label = [taal](Key key) {
        std::string text = text::Plain(key, taal);
        text.erase(text.find_last_not_of(' ') + 1);
        return text;
    };
    std::size_t labelWidth = 0;
    for (const auto& [key, value] : rows) {
        labelWidth = std::max(labelWidth, Utf8Length(label(key)));
    }
    for (const auto& [key, value] : rows) {
        page.body.push_back("     " + FitCharacters(label(key), labelWidth + 3) +
                            value.substr(std::min(value.find_first_not_of(' '), value.size())));
    }
    return page;
}

std::string ProbeSettingsRow(const SensorRecord& record, int taal) {
    constexpr std::size_t kName = kPrintedNameWidth;
    std::string line = FitCharacters(TakeCharacters(record.Name, kName - 1), kName);
    AppendTo(line, StatusColumn(record.Status, taal), kName + 6);
    const auto limit = [&](int value) { return notation::Int(value, 3) + record.Units; };
    const auto minutes = [](int seconds) { return notation::Int(seconds / 60, 3) + " min"; };
    if (record.SensorType == kTypeSwitch) {
        AppendTo(line,
                 text::Plain(record.AlarmHigh != 0 ? Key::TXT_SWITCH_OPEN : Key::TXT_SWITCH_CLOSED,
                             taal),
                 kName + 20);
        AppendTo(line, minutes(record.AlarmDelay), kName + 30);
        AppendTo(line, "", kName + 52);
        return line;
    }
    AppendTo(line, limit(record.AlarmHigh), kName + 13);
    AppendTo(line, limit(record.AlarmLow), kName + 20);
    AppendTo(line, minutes(record.AlarmDelay), kName + 30);
    AppendTo(line, limit(record.TripHigh), kName + 37);
    AppendTo(line, limit(record.TripLow), kName + 44);
    AppendTo(line, minutes(record.TripDelay), kName + 52);
    return line;
}

std::vector<std::string> ProbeSettingsRows(const SensorRecord& record,
                                           const records::TimeAlarm* timeAlarm, int taal,
                                           bool timeAlarmsKnown) {
    std::vector<std::string> rows{ProbeSettingsRow(record, taal)};
    const std::size_t width = CharacterCount(rows.front());
    const auto yesNo = [taal](int on) {
        return text::Plain(on != 0 ? Key::ButtonYes : Key::ButtonNo, taal);
    };
    const auto format = [taal](Key key, const auto& value) {
        return fmt::format(fmt::runtime(text::Plain(key, taal)), value);
    };
    constexpr std::string_view kBetweenChoices = "   ";
    constexpr std::string_view kBetweenItems = ", ";
    std::vector<Part> choices{
        {"", format(Key::TXT_PRNT_PROBE_SMS, yesNo(record.SmsEnable))},
        {kBetweenChoices, format(Key::TXT_PRNT_PROBE_RELAY, yesNo(record.RelayEnable))}};
    std::string_view sep = kBetweenChoices;
    std::string label = text::Plain(Key::TXT_PRNT_TIME_ALARM, taal) + " ";
    const auto add = [&](Key key, const std::optional<int>& minutes) {
        if (minutes) {
            choices.push_back({sep, label + format(key, *minutes)});
            sep = kBetweenItems;
            label.clear();
        }
    };
    if (timeAlarm != nullptr) {
        add(Key::TXT_PRNT_TIME_ABOVE, timeAlarm->minutesAbove);
        add(Key::TXT_PRNT_TIME_BELOW, timeAlarm->minutesBelow);
    }
    if (sep == kBetweenChoices) {
        choices.push_back(
            {sep, label + text::Plain(timeAlarmsKnown ? Key::TXT_PRNT_NO_ALARM
                                                      : Key::TXT_PRNT_TIME_ALARM_UNREAD,
                                      taal)});
    }
    for (std::string& row : WrapParts(choices, width)) {
        rows.push_back(std::move(row));
    }
    const std::vector<std::string> groups = AlarmWindowGroups(record.AlarmTimes, taal);
    std::vector<Part> windows;
    for (const std::string& group : groups) {
        windows.push_back({windows.empty() ? "" : kBetweenItems,
                           (windows.empty() ? text::Plain(Key::TXT_PRNT_ALARM_TIMES, taal) + " "
                                            : std::string()) +
                               group});
    }
    for (std::string& row : WrapParts(windows, width)) {
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<std::string> CalibrationRows(const SensorTable& table,
                                         const records::CalibrationBook& book,
                                         const LocalDateTime& today, int taal) {
    std::vector<std::string> rows;
    std::vector<const records::Calibration*> printed;
    for (int index = 0; index <= table.GetMax1820Index(); ++index) {
        const SensorRecord& record = table.SensorArray[static_cast<std::size_t>(index)];
        if (const records::Calibration* c = book.Find(record.Rom)) {
            AddCalibrationRows(rows, record.Name, *c, today, taal);
            printed.push_back(c);
        }
    }
    // A probe taken off the table keeps its record: an inspector may still
    // ask for it.
    for (const records::Calibration& c : book.entries) {
        if (std::find(printed.begin(), printed.end(), &c) == printed.end()) {
            AddCalibrationRows(rows, text::Plain(Key::TXT_PRNT_CALIB_NOT_IN_TABLE, taal), c, today,
                               taal);
        }
    }
    return rows;
}

int CalibrationPageCount(std::size_t rows) {
    return static_cast<int>((rows + kProbeRowsPerPage - 1) / kProbeRowsPerPage);
}

ReportPage MakeCalibrationPage(const std::vector<std::string>& rows, int sheet, int page,
                               const PrintContext& context) {
    ReportPage list =
        ListFrame(Key::TXT_PRNT_CALIB_TITLE, page, Key::TXT_PRNT_CALIB_REPORT,
                  {Key::TXT_PRNT_CALIB_HEADER, Key::TXT_PRNT_CALIB_HEADER_2}, context);
    const std::size_t first = static_cast<std::size_t>(kProbeRowsPerPage * (sheet - 1));
    for (std::size_t i = first; i < rows.size() && i < first + kProbeRowsPerPage; ++i) {
        list.body.push_back(rows[i]);
    }
    return list;
}

ProbeSettingsPrintout::ProbeSettingsPrintout(const SensorTable& table,
                                             const records::CalibrationBook& calibrations,
                                             const records::TimeAlarmBook* timeAlarms,
                                             const LocalDateTime& today, int taal)
    : calibrationRows_(CalibrationRows(table, calibrations, today, taal)) {
    constexpr auto kRows = static_cast<std::size_t>(kProbeRowsPerPage);
    for (int index = 0; index <= table.GetMax1820Index(); ++index) {
        const SensorRecord& record = table.SensorArray[static_cast<std::size_t>(index)];
        const std::vector<std::string> rows = ProbeSettingsRows(
            record, timeAlarms != nullptr ? timeAlarms->Find(record.Rom) : nullptr, taal,
            timeAlarms != nullptr);
        if (probePages_.empty() || probePages_.back().size() + rows.size() > kRows) {
            probePages_.emplace_back();
        }
        probePages_.back().insert(probePages_.back().end(), rows.begin(), rows.end());
    }
}

ReportPage ProbeSettingsPrintout::Page(int index, const PrintContext& context) const {
    const int probePages = static_cast<int>(probePages_.size());
    if (index < probePages) {
        ReportPage list =
            ListFrame(Key::TXT_PRNT_LIST_PROBE_SETTING, index + 1, Key::TXT_PRNT_LIST_PROBES_REPORT,
                      {Key::TXT_PRNT_HEADER_PROBES, Key::TXT_PRNT_HEADER_2_PROBES}, context);
        list.body = probePages_[static_cast<std::size_t>(index)];
        return list;
    }
    return MakeCalibrationPage(calibrationRows_, index - probePages + 1, index + 1, context);
}

}  // namespace qrv
