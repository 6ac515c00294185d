#include "station_reading.h"

#include <atomic>

#include "runtime/silent_status_display.h"
#include "settings/settings_file.h"
#include "settings/station_paths.h"
#include "storage/read_progress.h"
#include "storage/status_messages.h"

namespace qrv::report {

int StationLanguage(const std::filesystem::path& station) {
    SystemSettings settings;
    ReadIniFile(StationPaths{station}.IniFileName(), settings);
    return settings.Taal;
}

void ReadDay(HistoryData& day, const std::string& file, int taal) {
    SilentStatusDisplay display;
    const std::atomic<int> netWorkInstalled{1};
    StatusMessages status(display, taal, netWorkInstalled);
    SilentProgress progress;
    ClearHistoSensorStructure(day);
    day.HistoryFileName = file;
    ReadHistoryFromDisk(day, status, progress);
}

std::string CsvField(std::string_view text) {
    // A cell a spreadsheet would take for a formula (a probe named
    // "=HYPERLINK(...)") is kept as text by a leading quote.
    const bool formula =
        !text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos;
    const std::string cell = formula ? "'" + std::string(text) : std::string(text);
    if (cell.find_first_of(",\"\r\n") == std::string::npos) {
        return cell;
    }
    std::string quoted = "\"";
    for (const char c : cell) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

}  // namespace qrv::report
