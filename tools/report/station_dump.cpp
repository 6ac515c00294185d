#include "station_dump.h"

#include <fmt/format.h>

#include "report_command.h"
#include "runtime/clock.h"
#include "runtime/console_dialogs.h"
#include "runtime/program_log_file.h"
#include "runtime/text_file.h"
#include "sensors/sensor_file.h"
#include "settings/settings_file.h"
#include "settings/station_paths.h"

namespace qrv::report {

namespace {

int ExitStatus(int readResult, int writeResult) {
    return readResult < 0 || writeResult < 0 ? kExitNoData : kExitOk;
}

}  // namespace

int DumpSettings(const std::filesystem::path& station, bool rewrite, std::FILE* out) {
    const StationPaths paths{station};
    SystemSettings s;
    const int result = ReadIniFile(paths.IniFileName(), s);
    fmt::print(out, "result: {}\n", result);
    fmt::print(out, "SerialPort: {}\nTaal: {}\nDisplayKeuze: {}\nKeuzeTempUnits: {}\n",
               s.SerialPort, s.Taal, s.DisplayKeuze, s.KeuzeTempUnits);
    fmt::print(out, "KeuzeSampleTime: {}\nKeuzeGraphStyle: {}\n", s.KeuzeSampleTime,
               s.KeuzeGraphStyle);
    fmt::print(out, "SmSDestination: {}\nSmSProgramSource: {}\nGeneralAlarmEnable: {}\n",
               s.SmSDestination, s.SmSProgramSource, s.GeneralAlarmEnable);
    int written = 0;
    // A missing or unreadable file is not created from defaults.
    if (rewrite && result != kFileDoesNotExist && result != kFileCannotOpenForReading) {
        RealClock clock;
        ConsoleDialogs dialogs;
        ProgramLogFile log(paths.LogFileName(), clock);
        written = WriteIniFile(paths.IniFileName(), s, clock, dialogs, log);
    }
    return ExitStatus(result, written);
}

int DumpProbes(const std::filesystem::path& station, bool rewrite, std::FILE* out) {
    const StationPaths paths{station};
    SensorTable table;
    const int result = ReadSensorFile(paths.SnsFileName(kModeNormal), table);
    fmt::print(out, "result: {}\n", result);
    fmt::print(out, "NetworkName: {}\n", table.NetworkName);
    for (int j = 0; j <= table.GetMax1820Index(); ++j) {
        const SensorRecord& r = table.SensorArray[j];
        fmt::print(out, "record: {}\n", j);
        fmt::print(out, "Line: {}\n", r.Line);
        fmt::print(out, "Rom: {}\n", fmt::join(r.Rom, " "));
        fmt::print(out, "Name: {}\nSensorType: {}\nUnits: {}\n", r.Name, r.SensorType, r.Units);
        fmt::print(out, "AlarmLow: {}\nAlarmHigh: {}\nAlarmDelay: {}\n", r.AlarmLow, r.AlarmHigh,
                   r.AlarmDelay);
        fmt::print(out, "TripLow: {}\nTripHigh: {}\nTripDelay: {}\n", r.TripLow, r.TripHigh,
                   r.TripDelay);
        fmt::print(out, "Status: {}\nFoundOnNetwork: {}\n", r.Status, r.FoundOnNetwork);
        std::string windows;
        for (const AlarmWindow& w : r.AlarmTimes) {
            windows += fmt::format("{}{} {}", windows.empty() ? "" : " ", w.Start, w.Stop);
        }
        fmt::print(out, "AlarmTimes: {}\n", windows);
        fmt::print(out, "SmsEnable: {}\nRelayEnable: {}\n", r.SmsEnable, r.RelayEnable);
    }
    int written = 0;
    // After a failed read the table is not what the file holds: writing it
    // would lose the probes.
    if (rewrite && result < 0) {
        fmt::print(stderr, "not rewritten: the sensor file could not be read ({})\n", result);
    } else if (rewrite) {
        RealClock clock;
        ConsoleDialogs dialogs;
        ProgramLogFile log(paths.LogFileName(), clock);
        written = WriteSensorFile(paths.SnsFileName(kModeNormal), table, clock, dialogs, log, 0);
    }
    return ExitStatus(result, written);
}

}  // namespace qrv::report
