#pragma once

#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include "acquisition/station_flags.h"
#include "records/audit_trail.h"
#include "records/calibration.h"
#include "runtime/calendar.h"
#include "runtime/clock.h"
#include "runtime/date_strings.h"
#include "runtime/file_stamp.h"
#include "sensors/shared_sensor_table.h"
#include "settings/settings_owner.h"
#include "settings/station_paths.h"
#include "settings/system_settings.h"

namespace qrv::shell {

inline constexpr std::string_view kDefaultNetworkName = "QRV-Data";
inline constexpr std::string_view kDemoNetworkName = "QRV Demo";
inline constexpr std::string_view kNoDealerMessage = "----";

// Everything the station shell keeps between events: the flags it shares
// with the acquisition thread, the settings with their one owner, the probe
// table, and what belongs to the user-interface thread alone.
struct StationState : acquisition::StationFlags {
    explicit StationState(StationPaths stationPaths) : paths(std::move(stationPaths)) {}

    StationPaths paths;
    // Who changed what, for an inspector: see records/audit_trail.h.
    records::AuditTrail auditTrail{paths.CurrentDirName / "QRVAudit.txt"};
    // The day (YYYY-MM-DD) the whole trail was last checked.
    std::string trailCheckedDay;
    // Whom the window's actions are recorded for: the desktop's login name.
    std::string operatorName;
    // The probe table as the audit trail last saw it; changes since are
    // recorded against it.
    SensorTable auditedProbes;
    // The sensor file that baseline was read from (the demo mode has its own).
    std::filesystem::path auditedProbesFile;
    // Read from the station directory with the sensor file; the network
    // timer's thread applies them.
    records::SharedCalibrations calibrations;
    // Their file as last read: the display timer rereads it when it changes.
    FileStamp calibrationStamp;
    // The same for the time-alarm thresholds while the network runs.
    FileStamp timeAlarmStamp;
    // Changed only through settingsOwner.Replace(); settings is its current
    // value for the user-interface thread.
    SettingsOwner settingsOwner;
    const SystemSettings& settings{settingsOwner.Current()};
    // Shared with the network timer's thread: see src/THREADS.md.
    SharedSensorTable sensors;

    std::atomic<int> WantedUserMode{kModeNotChosen};
    // The service (quorvanel-station) holds this station: the window runs
    // off-line beside it and leaves the interface unit to it.
    bool serviceMonitors = false;
    std::atomic<int> DisplayTimerEnable{0};
    // The port on which start-up's mode choice has just found the unit (0
    // none): the installation that follows takes that as its port check, once.
    std::atomic<int> unitFoundOnPort{0};
    // Set once the station is to end (a signal, the user's quit); an
    // installation gives up at its next step. A SIGHUP that gave one up
    // clears it again for the reinstallation.
    std::atomic<bool> shutdownRequested{false};
    // How far a running installation is, for the service manager's status:
    // the probes its scan has found of those the probe file knows.
    struct InstallProgress {
        std::atomic<bool> running{false};
        std::atomic<int> found{0};
        std::atomic<int> known{0};
    } installProgress;

    int ViewingGraphActive = 0;
    int SensorListActive = 0;
    // Set where the table is first to be shown (an installation, an edit of
    // the probes); from then on the table follows every change of the probes.
    std::atomic<bool> ResultsTableWanted{false};
    int KnowPrinterSetting = 0;
    int ViewProbeSensor = 0;

    std::string DemoDealerMessage{kNoDealerMessage};
    // The target of the last Save As / Save Copy As dialog.
    std::string SaveAsFileName;
    DateStrings dates;
    // The years the report submenus list.
    std::vector<int> listedYears;
    // The display timer's blink phase, inverted on every tick.
    int blinkPhase = 0;
    // The acknowledgement dialog is open: its question stands for the beep,
    // which pauses until it is answered.
    bool acknowledgementAsked = false;

    CalendarRecord calendar;
};

// The values the station starts from before the settings file is read.
void InitAllVars(StationState& state, const Clock& clock);

}  // namespace qrv::shell
