#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "storage/history_sensor.h"

namespace qrv::report {

// The language of the station's settings file.
int StationLanguage(const std::filesystem::path& station);

// Reads one day's file into the day structure, as the history view does.
void ReadDay(HistoryData& day, const std::string& file, int taal);

// A spreadsheet field, quoted when it holds a separator, quote or line end.
std::string CsvField(std::string_view text);

}  // namespace qrv::report
