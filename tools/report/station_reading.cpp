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
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        return std::string(text);
    }
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

}  // namespace qrv::report
