#include "app/shell/startup.h"

#include "app/shell/live_monitoring.h"
#include "app/shell/menu_items.h"
#include "app/shell/network_install.h"
#include "app/shell/simulation.h"
#include "app/shell/station_files.h"
#include "app/shell/status_fields.h"
#include "onewire/nodex_session.h"
#include "onewire/port_check.h"
#include "runtime/calendar.h"
#include "runtime/text_file.h"
#include "sensors/sensor_file.h"
#include "settings/settings_file.h"
#include "text/texts.h"

namespace qrv::shell {

using text::Key;

namespace {

bool AskYesNo(const ShellServices& services, int taal, Key question) {
    const int answer = services.dialogs.GenericMessagePopup(
        text::Raw(Key::QRVNL_TEXT, taal), text::Raw(question, taal),
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

void ReadSettingsAndTranslate(StationState& state, const ShellServices& services,
                              MainWindowView& view) {
    SystemSettings settings = state.settings;
    const int result = ReadIniFile(state.paths.IniFileName(), settings, services.log);
    state.settingsOwner.Replace(settings);
    view.ShowMainPanel();
    view.TranslateQRVMenu();
    if (result < 0) {
        // A missing or damaged file is read once more; what it gives is used
        // (a refused value was logged the first time).
        ReadIniFile(state.paths.IniFileName(), settings);
        state.settingsOwner.Replace(settings);
    }
    view.ShowMainPanel();
    view.TranslateQRVMenu();
}

void GetAndDisplayDemoTekst(StationState& state, StatusDisplay& display) {
    if (auto message = ReadDealerMessage(state.paths.DealerFileName())) {
        state.DemoDealerMessage = std::move(*message);
    }
    display.ShowDealerText(false, state.DemoDealerMessage);
}

// Returns false when the user declines to go on without a good sensor file.
bool LoadSensorFile(StationState& state, const ShellServices& services, MainWindowView& view) {
    const int mode = state.WantedUserMode;
    if (mode == kModeDemo) {
        MakeDirectories(state.paths.DataDirectory(kModeDemo));
        state.sensors.Lock()->NetworkName = std::string(kDemoNetworkName);
        GetAndDisplayDemoTekst(state, services.display);
        view.TranslateQRVMenu();
        services.display.ShowModeText(true);
        view.TranslateQRVMenu();
        ReadSensorFile(state.paths.SnsFileName(mode), state.sensors);
        return true;
    }
    if (ReadSensorFile(state.paths.SnsFileName(mode), state.sensors) >= 0) {
        return true;
    }
    const int taal = state.settings.Taal;
    view.SetWaitCursor(false);
    services.display.Beep();
    if (!AskYesNo(services, taal, Key::BadSns_Continu)) {
        return false;
    }
    view.SetWaitCursor(true);
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
    if (CheckSerialPortConnection(services.ports, services.clock, state.settings.SerialPort) == 0) {
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
                              MainWindowView& view, const StartupOptions& options) {
    StatusDisplay& display = services.display;
    view.SetWaitCursor(true);
    PutStatusFieldsInStartState(state, display);

    DoeDisplayTijd(state, services.clock, display);
    display.SetMenuBarDimmed(true);
    display.ShowLogo(true);

    InitAllVars(state, services.clock);
    services.log.LogMessageToDisk("QRV program started");

    ReadSettingsAndTranslate(state, services, view);
    view.UpdateCheckMarks();

    ResumeDisplayTimer(state);

    if (options.simulateNetwork) {
        services.ports.SetMap(MapPortToSimulator(services.ports.Map(), state.settings.SerialPort,
                                                 *options.simulateNetwork));
    }
    SeeIfNoQRVBoxAndUserWantsDemoModeOrOffLine(state, services);
    if (options.simulateNetwork && options.sampleProbes != nullptr) {
        SeedSampleSensorFile(state, services, *options.sampleProbes);
    }
    if (!LoadSensorFile(state, services, view)) {
        return kExitDeclined;
    }

    view.SetComPortItems(AvailableComPorts(services.ports));
    view.UpdateCheckMarks();

    // Created paused: it ticks (and keeps the watchdog quiet) from now on,
    // but reads nothing until a network installation starts it.
    services.monitoring.InitAsyncNetworkTimer();
    if (state.WantedUserMode == kModeNormal) {
        DoeInstallNetwork(state, services, view);
    }

    view.SetProbeItems(ProbeItems(state.sensors.Copy()));
    AddYearsAsSubMenuItems(state, services.clock, view);
    view.HandleSetMenuItems();

    view.SetWaitCursor(false);
    display.SetMenuBarDimmed(false);
    ResumeDisplayTimer(state);
    return std::nullopt;
}

int RunShutdown(StationState& state, const ShellServices& services, MainWindowView& view) {
    // From here on this thread waits for the acquisition thread (its stop, its
    // end), which must not be left waiting for an answer from this thread.
    const QuestionsFromOtherThreadsRefused refused(services.dialogs);
    StatusDisplay& display = services.display;
    services.networkTimer.StopNetworkTimer();
    SuspendDisplayTimer(state);
    display.SetMenuBarDimmed(true);
    const int taal = state.settings.Taal;
    if (state.NetWorkInstalled != 0) {
        view.SetWaitCursor(true);
        DoeDisplayMessage(display, text::Raw(Key::Mess_CloseData, taal));
        services.monitoring.StoreLastBlock();
        DoeDisplayMessage(display, text::Raw(Key::Mess_Ready, taal));
    }
    services.session.SerialPort = state.settings.SerialPort;
    services.session.StopOneWireSession();
    services.session.FlushOwSessions();
    DoeDisplayMessage(display, text::Raw(Key::Mess_Ready, taal));
    CloseSerialPortConnection(services.ports, services.clock, state.settings.SerialPort);
    view.SetWaitCursor(false);
    services.monitoring.DiscardAsyncNetworkTimer();
    // A hand-off still running is terminated and logged, so the program
    // never hangs on an SMS program at exit.
    services.monitoring.Acquisition().Sms().Stop();
    return 0;
}

}  // namespace qrv::shell
