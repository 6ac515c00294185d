#pragma once

#include <string>

#include "runtime/clock.h"

namespace qrv {

// The date and time texts every file writer uses.
struct DateStrings {
    std::string FileDatumString;  // YYYY-MM-DD
    std::string EuroDatumString;  // DD/MM/YYYY
    std::string TijdString;       // HH:MM:SS
};

DateStrings MakeDateStrings(const LocalDateTime& when);
std::string FileDate(const LocalDateTime& when);
std::string EuroDate(const LocalDateTime& when);
std::string TimeText(const LocalDateTime& when);

}  // namespace qrv
