#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "records/limit_history.h"
#include "records/out_of_range.h"
#include "reports/page_model.h"
#include "reports/printouts/print_context.h"
#include "sensors/sensor_table.h"
#include "storage/history_sensor.h"

namespace qrv {

// One day of a probe on the daily minimum and maximum sheet.
struct SheetDay {
    int day = 0;
    bool hasValues = false;
    double min = 0.0;
    int minMinute = 0;
    double max = 0.0;
    int maxMinute = 0;
    // The minutes of the day the stored blocks stand for; below a whole day
    // when the station stored nothing for a while.
    int storedMinutes = 0;
    // The probe's name in the day's last stored line; empty without values.
    std::string name;
    std::optional<records::TimeOutOfRange> outOfRange;  // none without limits
    std::vector<std::string> alarms;
    std::vector<std::string> acknowledgements;
};

// A probe's month on the sheet: a row for every day of the month, stored or
// not, so that a missing day shows as one.
struct ProbeSheet {
    std::string key;  // result-file key
    std::string name;
    std::string units;
    int sensorType = kTypeTemperature;          // as the result files have it
    std::optional<std::pair<int, int>> limits;  // low, high, now
    // As the audit trail names the probe; empty for one not in the table.
    std::string serial;
    std::vector<SheetDay> days;
    // Lines of the alarm file that did not parse and are not on the sheet.
    int skippedAlarmLines = 0;
    // Why the audit trail could not be read, for the program's own message;
    // empty when it was read or there is none. The minutes out of range are
    // then counted against the limits the probe has now.
    std::string trailNote;
};

// Reads one result file into the day structure.
using SheetDayReader = std::function<void(HistoryData& day, const std::string& file)>;

// Where a month's sheet comes from: the result files of the data directory,
// the alarm file and the probe table's limits.
struct SheetSources {
    std::filesystem::path dataDirectory;
    std::filesystem::path alarmFile;
    const SensorTable& table;
    SheetDayReader readDay;
};

// The result-file key a probe is named by: a ROM or a network address
// through the probe table, else the text as it is (a key already).
std::string SheetProbeKey(const SensorTable& table, std::string_view probe);

// Builds a month's sheets day by day, from days read for the sheet alone or
// for a period report of the same month (each file read once for both).
class DailySheetBuilder {
  public:
    // probeKey empty: every probe stored in the month.
    DailySheetBuilder(const SensorTable& table, int year, int month, std::string_view probeKey);
    // The limit changes the days' values are judged by; without it, by the
    // limits the probe has now.
    void UseLimitHistory(records::LimitHistory history) { limitHistory_ = std::move(history); }
    void AddDay(int day, const HistoryData& history);
    // The sheets in the order the probes first appear, with the month's lines
    // of the alarm file; empty when nothing is stored.
    std::vector<ProbeSheet> Finish(const std::filesystem::path& alarmFile);

  private:
    ProbeSheet& SheetOf(const HistoEntry& entry);

    const SensorTable& table_;
    int year_;
    int month_;
    int days_;
    std::string probeKey_;
    std::vector<ProbeSheet> sheets_;
    records::LimitHistory limitHistory_;
};

// The sheets of every probe stored in the month (probeKey empty) or of that
// one, in the order the probes first appear; empty when nothing is stored.
std::vector<ProbeSheet> LoadDailySheets(const SheetSources& sources, int year, int month,
                                        std::string_view probeKey);

// "HH:MM" of a minute of the day.
std::string SheetTimeOfDay(int minute);

// Body rows on one page of the sheet. Every page is laid out for this many,
// so that a probe continued on further pages keeps its font, and a month
// without notes still fits one page.
inline constexpr std::size_t kSheetRowsPerPage = 32;

// The printed pages of the sheets, in the language of the context: each
// probe on pages of its own, continued on as many as its days need, with the
// probe and the month on every page. A day's rows stay together unless they
// fill more than a page.
std::vector<ReportPage> DailySheetPages(const std::vector<ProbeSheet>& sheets, int year, int month,
                                        const PrintContext& context);

}  // namespace qrv
