#pragma once

#include <atomic>
#include <string>

#include "reports/calendar.h"
#include "runtime/clock.h"
#include "runtime/date_strings.h"
#include "sensors/sensor_table.h"
#include "sensors/table_handshake.h"
#include "settings/station_paths.h"
#include "settings/system_settings.h"

namespace qrv::shell {

inline constexpr std::string_view kDefaultNetworkName = "QRV-Data";
inline constexpr std::string_view kDemoNetworkName = "QRV Demo";
inline constexpr std::string_view kNoDealerMessage = "----";

// Copies of the settings that the acquisition thread reads while the user
// may change them on the user-interface thread.
struct SharedSettings {
    std::atomic<int> Taal{0};
    std::atomic<int> KeuzeSampleTime{5};
    std::atomic<int> GeneralAlarmEnable{1};
};

// Everything the station shell keeps between events. Flags that the
// acquisition thread touches are atomic; the rest belongs to the
// user-interface thread.
struct StationState {
    explicit StationState(Clock& clock, StationPaths stationPaths)
        : paths(std::move(stationPaths)), handshake(clock) {}

    StationPaths paths;
    SystemSettings settings;
    SharedSettings shared;
    SensorTable sensors;
    TableHandshake handshake;

    std::atomic<int> WantedUserMode{kModeNotChosen};
    std::atomic<int> DisplayTimerEnable{0};
    std::atomic<int> AsyncWatchdogTimer{0};
    std::atomic<int> NetWorkInstalled{0};
    std::atomic<int> StorageToDiskWanted{0};
    std::atomic<int> CommunicationErrorAlarm{0};
    std::atomic<int> SensorAlarm{0};
    std::atomic<int> AlarmUserStatus{1};
    std::atomic<int> NetworkAsyncTimerEnabled{0};

    int ViewingGraphActive = 0;
    int SensorListActive = 0;
    int SensorListVisibility = 1;
    int KnowPrinterSetting = 0;
    int PortType = 5;
    int ViewProbeSensor = 0;

    std::string DemoDealerMessage{kNoDealerMessage};
    // The target of the last Save As / Save Copy As dialog.
    std::string SaveAsFileName;
    DateStrings dates;
    // The display timer's blink phase, inverted on every tick.
    int blinkPhase = 0;

    CalendarRecord calendar;
    int DezeDagVanDeWeek = 1;
};

// The values the station starts from before the settings file is read.
void InitAllVars(StationState& state, const Clock& clock);

// Publishes the settings the acquisition thread reads; called after every
// load or change of the settings.
void SyncSharedSettings(StationState& state);

}  // namespace qrv::shell
