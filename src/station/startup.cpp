#include "station/startup.h"

#include "onewire/nodex_session.h"
#include "onewire/port_check.h"
#include "runtime/calendar.h"
#include "runtime/text_file.h"
#include "sensors/sensor_file.h"
#include "settings/settings_file.h"
#include "station/live_monitoring.h"
#include "station/network_install.h"
#include "station/sensor_file_loading.h"
#include "station/simulation.h"
#include "station/station_events.h"
#include "station/station_files.h"
#include "station/station_records.h"
#include "station/status_fields.h"
#include "text/texts.h"

namespace qrv::shell {

using text::Key;

namespace {

bool AskYesNo(const ShellServices& services, int taal, Key question,
              std::string_view details = {}) {
    const int answer = services.dialogs.GenericMessagePopup(
        text::Raw(Key::QRVNL_TEXT, taal),
        std::string(text::Raw(question, taal)) + std::string(details),
        {std::string(text::Raw(Key::ButtonYes, taal)), std::string(text::Raw(Key::ButtonNo, taal))},
        1, 2);
    return answer == 1;
}

void PutStatusFieldsInStartState(StationState& state, StatusDisplay& display) {
    DisplayNetworkInstallHok(state, display, false);
    DisplayAlarmHok(state, display, false);
    display.ShowAlarmButton(false);
    display.SetAlarmButton(1);
    display.ShowModeText(false);
    display.ShowDealerText(false, {});
    display.SetAcquisitionIndicator(colors::kWhite);
    SuspendDisplayTimer(state);
}

// "<file>: <reason>", the line that follows a file problem's text.
std::string FileAndReason(const std::filesystem::path& file, std::string_view reason) {
    return file.string() + ": " + std::string(reason);
}

void ReadSettingsAndTranslate(StationState& state, const ShellServices& services) {
    const std::filesystem::path iniFile = state.paths.IniFileName();
    SystemSettings settings = state.settings;
    int result = ReadIniFile(iniFile, settings, services.log);
    state.settingsOwner.Replace(settings);
    if (result < 0) {
        // A missing or damaged file is read once more; what it gives is used
        // (a refused value was logged the first time).
        result = ReadIniFile(iniFile, settings);
        state.settingsOwner.Replace(settings);
    }
    // The window's texts follow the language before the first question.
    AnnounceStationSettings(services, "settings read");
    if (result == kFileCannotOpenForReading) {
        // Unlike a missing file this is no first run: the station would
        // otherwise work on defaults (another sampling interval, no SMS)
        // without a word. The file is never replaced while it cannot be read.
        const std::string where = FileAndReason(iniFile, WhyUnreadable(iniFile));
        services.log.LogMessageToDisk("IniFile cannot be read, the defaults are used: " + where);
        const int taal = state.settings.Taal;
        services.dialogs.MessagePopup(
            text::Raw(Key::QRVNL_TEXT, taal),
            text::Plain(Key::TXT_INI_FILE_UNREADABLE, taal) + "\n" + where);
    }
}

void GetAndDisplayDemoTekst(StationState& state, StatusDisplay& display) {
    if (auto message = ReadDealerMessage(state.paths.DealerFileName())) {
        state.DemoDealerMessage = std::move(*message);
    }
    display.ShowDealerText(false, state.DemoDealerMessage);
}

// Returns false when the user declines to go on without a good sensor file.
bool LoadSensorFile(StationState& state, const ShellServices& services) {
    const int mode = state.WantedUserMode;
    if (mode == kModeDemo) {
        MakeDirectories(state.paths.DataDirectory(kModeDemo));
        state.sensors.Lock()->NetworkName = std::string(kDemoNetworkName);
        GetAndDisplayDemoTekst(state, services.display);
        services.display.ShowModeText(true);
        AnnounceStationSettings(services, "demonstration mode");
        LoadSensorFileKeepingTheRest(state.paths.SnsFileName(mode), state.sensors, services,
                                     state.settings.Taal, true);
        return true;
    }
    const std::filesystem::path snsFile = state.paths.SnsFileName(mode);
    const SensorFileLoad load =
        LoadSensorFileKeepingTheRest(snsFile, state.sensors, services, state.settings.Taal, true);
    const int result = load.result;
    if (result >= 0) {
        return true;
    }
    const int taal = state.settings.Taal;
    services.display.SetWaitCursor(false);
    services.display.Beep();
    if (result == kFileCannotOpenForReading) {
        const std::string where = FileAndReason(snsFile, WhyUnreadable(snsFile));
        services.log.LogMessageToDisk("SensorFile cannot be read: " + where);
        if (!AskYesNo(services, taal, Key::TXT_SNS_FILE_UNREADABLE, "\n\n" + where)) {
            return false;
        }
    } else if (!AskYesNo(services, taal, Key::BadSns_Continu,
                         load.cutShort.empty() ? std::string() : "\n\n" + load.cutShort)) {
        return false;
    }
    services.display.SetWaitCursor(true);
    return AskYesNo(services, taal, Key::New_Installment);
}

// A simulated unit in a station without a sensor file: the sample probes
// with their names and limits, written by the station's own writer.
void SeedSampleSensorFile(StationState& state, const ShellServices& services,
                          const SensorTable& sampleProbes) {
    const int mode = state.WantedUserMode;
    if (mode == kModeDemo || FileExists(state.paths.SnsFileName(mode))) {
        return;
    }
    if (WriteSensorFile(state.paths.SnsFileName(mode), sampleProbes, services.clock,
                        services.dialogs, services.log, state.settings.Taal) == 0) {
        services.log.LogMessageToDisk("Sample probe file written for the simulated network");
    }
}

}  // namespace

int SeeIfNoQRVBoxAndUserWantsDemoModeOrOffLine(StationState& state, const ShellServices& services) {
    if (CheckSerialPortConnection(services.ports, services.clock, state.settings.SerialPort) ==
        PortCheckResult::kUnitAnswers) {
        state.unitFoundOnPort = state.settings.SerialPort;
        state.WantedUserMode = kModeNormal;
        return kModeNormal;
    }
    const int taal = state.settings.Taal;
    const int answer = services.dialogs.GenericMessagePopup(
        text::Raw(Key::QRVNL_TEXT, taal), text::Raw(Key::Mess_Ask_Demo, taal),
        {std::string(text::Raw(Key::ButtonNormalMode, taal)),
         std::string(text::Raw(Key::ButtonOffLineMode, taal)),
         std::string(text::Raw(Key::ButtonDemoMode, taal))},
        1, 1);
    const int mode = answer == 2 ? kModeOffLine : answer == 3 ? kModeDemo : kModeNormal;
    state.WantedUserMode = mode;
    return mode;
}

std::optional<int> RunStartup(StationState& state, const ShellServices& services,
                              const StartupOptions& options) {
    StatusDisplay& display = services.display;
    services.display.SetWaitCursor(true);
    PutStatusFieldsInStartState(state, display);

    DoeDisplayTijd(state, services.clock, display);
    display.SetMenuBarDimmed(true);
    display.ShowLogo(true);

    InitAllVars(state, services.clock);
    services.log.LogMessageToDisk("QRV program started");

    ReadSettingsAndTranslate(state, services);

    ResumeDisplayTimer(state);

    if (!options.simulatedNetworkProblem.empty()) {
        services.log.LogMessageToDisk("Simulated network not loaded: " +
                                      options.simulatedNetworkProblem);
        const int taal = state.settings.Taal;
        services.dialogs.MessagePopup(text::Raw(Key::QRVNL_TEXT, taal),
                                      text::Plain(Key::TXT_SIM_NETWORK_FILE_BAD, taal) + "\n" +
                                          options.simulatedNetworkProblem);
    }
    if (state.serviceMonitors) {
        // The port is the service's: not even its check may touch it.
        state.WantedUserMode = kModeOffLine;
        services.log.LogMessageToDisk("Window opened off-line: the service monitors the network");
    } else {
        if (options.simulateNetwork) {
            services.ports.SetMap(MapPortToSimulator(
                services.ports.Map(), state.settings.SerialPort, *options.simulateNetwork));
        }
        SeeIfNoQRVBoxAndUserWantsDemoModeOrOffLine(state, services);
    }
    if (options.simulateNetwork && options.sampleProbes != nullptr) {
        SeedSampleSensorFile(state, services, *options.sampleProbes);
    }
    if (!LoadSensorFile(state, services)) {
        return kExitDeclined;
    }
    TakeProbeBaseline(state, state.paths.SnsFileName(state.WantedUserMode));
    LoadCalibrations(state, services);

    // Created paused: it ticks (and keeps the watchdog quiet) from now on,
    // but reads nothing until a network installation starts it.
    services.monitoring.InitAsyncNetworkTimer();
    if (state.WantedUserMode == kModeNormal) {
        DoeInstallNetwork(state, services);
    }

    // The mode is chosen and the probes are loaded: the menus, their
    // dimming and the table follow.
    AnnounceProbeSettings(services, "start-up");
    AnnounceStationSettings(services, "start-up");

    services.display.SetWaitCursor(false);
    display.SetMenuBarDimmed(false);
    ResumeDisplayTimer(state);
    return std::nullopt;
}

int RunShutdown(StationState& state, const ShellServices& services) {
    // From here on this thread waits for the acquisition thread (its stop, its
    // end), which must not be left waiting for an answer from this thread.
    const QuestionsFromOtherThreadsRefused refused(services.dialogs);
    StatusDisplay& display = services.display;
    services.networkTimer.StopNetworkTimer();
    SuspendDisplayTimer(state);
    display.SetMenuBarDimmed(true);
    const int taal = state.settings.Taal;
    if (state.NetWorkInstalled != 0) {
        services.display.SetWaitCursor(true);
        DoeDisplayMessage(display, text::Raw(Key::Mess_CloseData, taal));
        services.monitoring.StoreLastBlock();
        AuditEvent(state, services.clock, services.log, "acquisition stopped: station shut down");
        DoeDisplayMessage(display, text::Raw(Key::Mess_Ready, taal));
    }
    services.session.SerialPort = state.settings.SerialPort;
    services.session.StopOneWireSession();
    services.session.FlushOwSessions();
    DoeDisplayMessage(display, text::Raw(Key::Mess_Ready, taal));
    CloseSerialPortConnection(services.ports, state.settings.SerialPort);
    services.display.SetWaitCursor(false);
    services.monitoring.DiscardAsyncNetworkTimer();
    // A hand-off still running is terminated and logged, so the program
    // never hangs on an SMS program at exit.
    services.monitoring.Acquisition().Sms().Stop();
    return 0;
}

}  // namespace qrv::shell
