#pragma once

#include <string>

namespace qrv {

inline constexpr int kMaxSmsDestinationLength = 27;
inline constexpr int kMaxSmsProgramLength = 259;

// The system-wide settings kept in QRVNL.INI, with the defaults the station
// starts from before the file is read.
struct SystemSettings {
    int SerialPort = 1;       // COM port 1..8
    int Taal = 0;             // language: 0 English, 1 German, 2 French, 3 Dutch
    int DisplayKeuze = 0;     // stored and carried only
    int KeuzeTempUnits = 0;   // stored and carried only
    int KeuzeSampleTime = 5;  // minutes between stored samples, 1..60
    int KeuzeGraphStyle = 1;  // 0 bar, 1 line, 2 connected points, 3 dots
    std::string SmSDestination = "---";
    std::string SmSProgramSource = "---";
    int GeneralAlarmEnable = 1;

    friend bool operator==(const SystemSettings&, const SystemSettings&) = default;
};

// Replaces out-of-range values by the ones the station falls back to.
void EnforceSettingRanges(SystemSettings& settings);

}  // namespace qrv
