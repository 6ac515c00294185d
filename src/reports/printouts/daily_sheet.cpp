#include "reports/printouts/daily_sheet.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <span>

#include "records/audit_trail.h"
#include "reports/printouts/alarm_file_lines.h"
#include "reports/printouts/probe_alarm_line.h"
#include "reports/text_columns.h"
#include "runtime/calendar.h"
#include "runtime/encoding.h"
#include "runtime/text_file.h"
#include "sensors/rom_text.h"
#include "storage/result_file_format.h"
#include "text/texts.h"

namespace qrv {

namespace {

using text::Key;

// The readers give every key the temperature's type character.
std::string TableKey(const SensorRecord& record) {
    KeyChars key = MakeProbeKey(record.Rom, record.SensorType);
    key[0] = '0';
    return std::string(KeyText(key));
}

// The probe's limits now, and its serial number as the audit trail names it.
void SetLimits(ProbeSheet& sheet, const SensorTable& table) {
    for (int i = 0; i <= table.GetMax1820Index(); ++i) {
        const SensorRecord& record = table.SensorArray[static_cast<std::size_t>(i)];
        if (TableKey(record) == sheet.key &&
            (record.SensorType == kTypeTemperature || record.SensorType == kTypeHumidity)) {
            sheet.limits = std::pair{record.AlarmLow, record.AlarmHigh};
            sheet.serial = SerialNumberHex(record.Rom);
            return;
        }
    }
}

// A clock set back stores some minutes twice: they count once.
int StoredMinutes(std::span<const int> minutes) {
    std::vector<int> times(minutes.begin(), minutes.end());
    std::sort(times.begin(), times.end());
    times.erase(std::unique(times.begin(), times.end()), times.end());
    return records::CoveredMinutes(times);
}

struct SheetDate {
    int year = 0;
    int month = 0;
    int day = 0;
};

void AddSheetDay(ProbeSheet& sheet, const HistoEntry& entry, const SheetDate& date,
                 const records::LimitHistory& history) {
    SheetDay& row = sheet.days[static_cast<std::size_t>(date.day - 1)];
    sheet.name = entry.ProbeName.utf8;
    row.name = entry.ProbeName.utf8;
    sheet.units = std::string(entry.ProbeUnits);
    sheet.sensorType = entry.ProbeType;
    const auto count = static_cast<std::size_t>(entry.LastIndex) + 1;
    const std::span<const int> minutes(entry.SampleTime.data(), count);
    const std::span<const double> values(entry.SampleValue.data(), count);
    for (std::size_t i = 0; i < count; ++i) {
        if (!row.hasValues || values[i] < row.min) {
            row.min = values[i];
            row.minMinute = minutes[i];
        }
        if (!row.hasValues || values[i] > row.max) {
            row.max = values[i];
            row.maxMinute = minutes[i];
        }
        row.hasValues = true;
    }
    if (sheet.limits) {
        row.outOfRange = history.DayOutOfRange(sheet.serial, *sheet.limits, date.year, date.month,
                                               date.day, minutes, values);
    }
    row.storedMinutes = StoredMinutes(minutes);
}

// The names a probe's alarm lines of each day may carry: the name it had
// when the day began (the last one stored before it) and the one it ended
// with, so a probe renamed in the month keeps the lines it had under its old
// name and never takes those of a probe that had its new name earlier. A day
// without values of its own goes by the name stored before it; before the
// probe's first stored day its name is not known, and a line of that name
// may well be another probe's.
std::vector<std::vector<std::string>> NamesByDay(const ProbeSheet& sheet) {
    std::vector<std::vector<std::string>> names(sheet.days.size());
    std::string carried;
    for (std::size_t d = 0; d < sheet.days.size(); ++d) {
        const std::string& own = sheet.days[d].name;
        if (!carried.empty()) {
            names[d].push_back(carried);
        }
        if (!own.empty() && own != carried) {
            names[d].push_back(own);
            carried = own;
        }
    }
    return names;
}

// The acknowledgements are the station's, shown on the days the probe had
// alarms.
void AddAlarms(ProbeSheet& sheet, const std::vector<AlarmLine>& alarms, int year, int month) {
    const std::vector<std::vector<std::string>> names = NamesByDay(sheet);
    const bool switchValues = sheet.sensorType == kTypeSwitch;
    for (const AlarmLine& line : alarms) {
        if (line.year != year || line.month != month) {
            continue;
        }
        const auto d = static_cast<std::size_t>(line.day - 1);
        SheetDay& row = sheet.days[d];
        std::optional<ProbeAlarmLine> named;
        for (const std::string& name : names[d]) {
            if ((named = ProbeAlarmLineOf(line.message, name, switchValues))) {
                break;
            }
        }
        if (named) {
            row.alarms.push_back(line.time + " " + named->label +
                                 (named->value.empty() ? "" : " " + named->value));
        } else if (line.message.starts_with("Acknowledged by ")) {
            row.acknowledgements.push_back(line.time + " " + line.message.substr(16));
        }
    }
    for (SheetDay& row : sheet.days) {
        if (row.alarms.empty()) {
            row.acknowledgements.clear();
        }
    }
}

constexpr std::size_t kAlarmColumn = 58;
constexpr std::size_t kAlarmWidth = 46;
constexpr int kWholeDay = 24 * 60;

// The two header rows, in the columns of DayRows.
std::string SheetHeader(bool second, int taal) {
    std::string line =
        second
            ? fmt::format(
                  "{:<2}  {:>6} {:<5}  {:>6} {:<5}  {:>5} {:>5}", "",
                  text::Plain(Key::TXT_SHEET_MIN, taal), text::Plain(Key::TXT_SHEET_TIME, taal),
                  text::Plain(Key::TXT_SHEET_MAX, taal), text::Plain(Key::TXT_SHEET_TIME, taal),
                  text::Plain(Key::TXT_SHEET_ABOVE, taal), text::Plain(Key::TXT_SHEET_BELOW, taal))
            : fmt::format("{:<32}{}", text::Plain(Key::TXT_SHEET_DAY, taal),
                          text::Plain(Key::TXT_SHEET_MINUTES_OUT, taal));
    line = FitCharacters(line, kAlarmColumn);
    line += second ? fmt::format("{:<{}} {}", "", kAlarmWidth,
                                 text::Plain(Key::TXT_SHEET_INITIALS, taal))
                   : text::Plain(Key::TXT_SHEET_ALARMS, taal);
    return line;
}

// Pieces of at most `width` characters; a character is never cut in two.
std::vector<std::string> CharacterPieces(std::string_view note, std::size_t width) {
    std::vector<std::string> pieces;
    while (!note.empty()) {
        std::string piece = Utf8Left(note, width);
        note.remove_prefix(piece.size());
        pieces.push_back(std::move(piece));
    }
    return pieces;
}

// The last day of the month that had begun when the sheet was printed: 0 for
// a month still to come, the whole month for one gone by (or no printing
// date known).
int LastDayBegun(int year, int month, int days, const DateStrings& printed) {
    int printedYear = 0;
    int printedMonth = 0;
    int printedDay = 0;
    if (std::sscanf(printed.FileDatumString.c_str(), "%4d-%2d-%2d", &printedYear, &printedMonth,
                    &printedDay) != 3) {
        return days;
    }
    if (year != printedYear || month != printedMonth) {
        return std::pair{year, month} < std::pair{printedYear, printedMonth} ? days : 0;
    }
    return std::min(printedDay, days);
}

// "stored 20 h 10 min" of a day with gaps, under the day's figures; empty
// for a whole day or one without values.
std::string CoverageText(const SheetDay& row, int taal) {
    if (!row.hasValues || row.storedMinutes >= kWholeDay) {
        return {};
    }
    return fmt::format("    {} {} h {} min", text::Plain(Key::TXT_SHEET_STORED, taal),
                       row.storedMinutes / 60, row.storedMinutes % 60);
}

// The rows of each day. Wide texts continue on rows of their own, under the
// alarm column. The days still to come keep their number only: nothing is
// stored of them yet, and nothing is missing either.
std::vector<std::vector<std::string>> DayRows(const ProbeSheet& sheet, int taal, int lastDayBegun) {
    std::vector<std::vector<std::string>> days;
    const std::string ack = text::Plain(Key::TXT_SHEET_ACK, taal) + " ";
    for (const SheetDay& row : sheet.days) {
        std::vector<std::string>& rows = days.emplace_back();
        std::string line = fmt::format("{:2}", row.day);
        if (row.day > lastDayBegun && !row.hasValues) {
            rows.push_back(line);
            continue;
        }
        if (row.hasValues) {
            line += fmt::format("  {:6.1f} {}  {:6.1f} {}", row.min, SheetTimeOfDay(row.minMinute),
                                row.max, SheetTimeOfDay(row.maxMinute));
        } else {
            line += fmt::format("  {:<28}", text::Plain(Key::TXT_SHEET_NO_VALUES, taal));
        }
        line += row.outOfRange && row.hasValues
                    ? fmt::format("  {:5} {:5}", row.outOfRange->minutesAbove,
                                  row.outOfRange->minutesBelow)
                    : std::string(13, ' ');
        line = FitCharacters(line, kAlarmColumn);
        std::vector<std::string> notes = row.alarms;
        for (const std::string& acknowledgement : row.acknowledgements) {
            notes.push_back(ack + acknowledgement);
        }
        std::vector<std::string> pieces;
        for (const std::string& note : notes) {
            for (std::string& piece : CharacterPieces(note, kAlarmWidth)) {
                pieces.push_back(std::move(piece));
            }
        }
        const std::string initials = " ______";
        line += (pieces.empty() ? std::string(kAlarmWidth, ' ')
                                : FitCharacters(pieces[0], kAlarmWidth)) +
                initials;
        rows.push_back(line);
        const std::string coverage = CoverageText(row, taal);
        for (std::size_t i = 1; i < std::max<std::size_t>(pieces.size(), coverage.empty() ? 1 : 2);
             ++i) {
            std::string continued = i == 1 && !coverage.empty()
                                        ? FitCharacters(coverage, kAlarmColumn)
                                        : std::string(kAlarmColumn, ' ');
            if (i < pieces.size()) {
                continued += pieces[i];
            } else {
                continued.erase(continued.find_last_not_of(' ') + 1);
            }
            rows.push_back(std::move(continued));
        }
    }
    return days;
}

// The body rows of each page: a day goes whole to the next page when it does
// not fit the rest of this one; one longer than a page starts where it is.
std::vector<std::vector<std::string>> PageBodies(
    const std::vector<std::vector<std::string>>& days) {
    std::vector<std::vector<std::string>> pages(1);
    for (const std::vector<std::string>& rows : days) {
        if (rows.size() <= kSheetRowsPerPage &&
            pages.back().size() + rows.size() > kSheetRowsPerPage) {
            pages.emplace_back();
        }
        for (const std::string& row : rows) {
            if (pages.back().size() == kSheetRowsPerPage) {
                pages.emplace_back();
            }
            pages.back().push_back(row);
        }
    }
    return pages;
}

// The page's heading: the month, the probe and its limits, the same on every
// page of the probe.
ReportPage SheetPageHead(const ProbeSheet& sheet, int year, int month,
                         const PrintContext& context) {
    const int taal = context.taal;
    ReportPage page;
    page.layout = PageLayout::List;
    page.orientation = PageOrientation::Landscape;
    page.title =
        fmt::format("{}  {:02}/{:04}", text::Plain(Key::TXT_SHEET_TITLE, taal), month, year);
    page.banner = PrintingBanner(context);
    page.details = {
        NetworkLine(context),
        fmt::format("{} {}   {}", text::Plain(Key::TXT_SHEET_PROBE, taal), sheet.name, sheet.key),
        sheet.limits
            ? fmt::format("{} {} {} {}, {} {} {}", text::Plain(Key::TXT_SHEET_LIMITS, taal),
                          text::Plain(Key::TXT_SHEET_LOW, taal), sheet.limits->first, sheet.units,
                          text::Plain(Key::TXT_SHEET_HIGH, taal), sheet.limits->second, sheet.units)
            : text::Plain(Key::TXT_SHEET_NO_LIMITS, taal)};
    if (!sheet.trailNote.empty()) {
        page.details.push_back(text::Plain(Key::TXT_SHEET_TRAIL_UNREADABLE, taal));
    }
    if (sheet.skippedAlarmLines > 0) {
        page.details.push_back(fmt::format("{} {}",
                                           text::Plain(Key::TXT_SHEET_SKIPPED_ALARM_LINES, taal),
                                           sheet.skippedAlarmLines));
    }
    if (!context.trailHead.empty()) {
        page.details.push_back(text::Plain(Key::TXT_SHEET_TRAIL_HEAD, taal));
        page.details.push_back(context.trailHead);
    }
    page.columnHeader = {SheetHeader(false, taal), SheetHeader(true, taal)};
    page.bodyRoom = kSheetRowsPerPage;
    return page;
}

}  // namespace

std::string SheetProbeKey(const SensorTable& table, std::string_view probe) {
    for (int i = 0; i <= table.GetMax1820Index(); ++i) {
        const SensorRecord& record = table.SensorArray[static_cast<std::size_t>(i)];
        if (RomToHex(record.Rom) == probe || SerialNumberHex(record.Rom) == probe) {
            return TableKey(record);
        }
    }
    return std::string(probe);
}

DailySheetBuilder::DailySheetBuilder(const SensorTable& table, int year, int month,
                                     std::string_view probeKey)
    : table_(table),
      year_(year),
      month_(month),
      days_(DaysInMonth(year, month)),
      probeKey_(probeKey) {}

ProbeSheet& DailySheetBuilder::SheetOf(const HistoEntry& entry) {
    const std::string_view key = KeyText(entry.ProbeKey);
    for (ProbeSheet& sheet : sheets_) {
        if (sheet.key == key) {
            return sheet;
        }
    }
    ProbeSheet sheet;
    sheet.key = key;
    // The probe table does not change under a sheet: its limits are looked
    // up once.
    SetLimits(sheet, table_);
    for (int d = 1; d <= days_; ++d) {
        SheetDay row;
        row.day = d;
        sheet.days.push_back(std::move(row));
    }
    sheets_.push_back(std::move(sheet));
    return sheets_.back();
}

void DailySheetBuilder::AddDay(int day, const HistoryData& history) {
    if (day < 1 || day > days_) {
        return;
    }
    for (int e = 0; e <= history.HistoryMaxIndex; ++e) {
        const HistoEntry& entry = history.HistoSensor[static_cast<std::size_t>(e)];
        if (!probeKey_.empty() && KeyText(entry.ProbeKey) != probeKey_) {
            continue;
        }
        AddSheetDay(SheetOf(entry), entry, SheetDate{year_, month_, day}, limitHistory_);
    }
}

std::vector<ProbeSheet> DailySheetBuilder::Finish(const std::filesystem::path& alarmFile) {
    if (!sheets_.empty()) {
        const AlarmFileLines alarms = ReadAlarmFile(alarmFile);
        for (ProbeSheet& sheet : sheets_) {
            AddAlarms(sheet, alarms.lines, year_, month_);
            sheet.skippedAlarmLines = alarms.skipped;
        }
    }
    return std::move(sheets_);
}

std::vector<ProbeSheet> LoadDailySheets(const SheetSources& sources, int year, int month,
                                        std::string_view probeKey) {
    DailySheetBuilder builder(sources.table, year, month, probeKey);
    // The trail lies beside the alarm file, in the station's directory.
    records::TrailLimits trail =
        records::ReadTrailLimits(sources.alarmFile.parent_path() / records::kAuditTrailFileName);
    builder.UseLimitHistory(std::move(trail.history));
    auto history = std::make_unique<HistoryData>();
    for (int day = 1; day <= DaysInMonth(year, month); ++day) {
        const auto file =
            sources.dataDirectory / fmt::format("{:04}-{:02}-{:02}.qrd", year, month, day);
        if (!FileExists(file)) {
            continue;
        }
        sources.readDay(*history, file.string());
        builder.AddDay(day, *history);
    }
    std::vector<ProbeSheet> sheets = builder.Finish(sources.alarmFile);
    for (ProbeSheet& sheet : sheets) {
        sheet.trailNote = trail.note;
    }
    return sheets;
}

std::string SheetTimeOfDay(int minute) {
    return fmt::format("{:02}:{:02}", minute / 60, minute % 60);
}

std::vector<ReportPage> DailySheetPages(const std::vector<ProbeSheet>& sheets, int year, int month,
                                        const PrintContext& context) {
    const int lastDayBegun = LastDayBegun(year, month, DaysInMonth(year, month), context.printed);
    std::vector<ReportPage> pages;
    for (const ProbeSheet& sheet : sheets) {
        for (std::vector<std::string>& body :
             PageBodies(DayRows(sheet, context.taal, lastDayBegun))) {
            ReportPage page = SheetPageHead(sheet, year, month, context);
            page.body = std::move(body);
            pages.push_back(std::move(page));
        }
    }
    for (std::size_t p = 0; p < pages.size(); ++p) {
        pages[p].pageLine =
            fmt::format("{} {} {} {}", text::Plain(Key::TXT_SHEET_PAGE, context.taal), p + 1,
                        text::Plain(Key::TXT_SHEET_OF, context.taal), pages.size());
    }
    return pages;
}

}  // namespace qrv
