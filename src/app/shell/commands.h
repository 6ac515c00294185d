#pragma once

#include <string>

#include "app/shell/main_window_view.h"
#include "app/shell/menu_model.h"
#include "station/shell_services.h"
#include "station/station_state.h"

namespace qrv::shell {

class LiveMonitoring;

// The inputs of the check marks and the dimming, taken from the state and
// from what monitoring is doing (a hand-off, a relay test).
MenuInputs CurrentMenuInputs(const StationState& state, LiveMonitoring& monitoring);

// Rewrites the settings file from changed, reads it back and makes what it
// holds the station's settings. Every change of a setting goes this way.
void StoreSettings(StationState& state, const ShellServices& services, SystemSettings changed);

// The settings setters: assign, rewrite and re-read the settings file; what
// shows the setting follows the change on the feed.
void SetTheNewLanguage(StationState& state, const ShellServices& services, int language);
void SetTheNewSamplingTime(StationState& state, const ShellServices& services, int minutes);
void SetTheNewGraphStyle(StationState& state, const ShellServices& services, int style);
void SetGeneralAlarmEnable(StationState& state, const ShellServices& services, int enable);

// The alarm button: 1 alarms beep, 0 the user has muted them, which also
// acknowledges the standing alarms as the login user, with a comment the
// user may type (Escape skips it; the mute stands either way).
void AlarmButton(StationState& state, const ShellServices& services, int value);

// Asks for confirmation (the question depends on whether a network is
// installed); on Yes logs the shutdown and ends the event loop. Returns
// whether the user confirmed.
bool DoeQuit(StationState& state, const ShellServices& services, MainWindowView& view);

// A termination signal (logout, service stop, Ctrl+C) is a confirmed quit:
// logged with its name; long work gives up at its next step, and the front
// end ends its event loop for the shutdown.
void QuitOnSignal(StationState& state, const ShellServices& services, std::string_view signalName);

// The About text in the given language.
std::string AboutText(int taal);

// View > Current values > probe: opens the current-values panel on the
// probe, or, without an installed network, beeps and says so.
void EventViewSensorsSubMenu(StationState& state, const ShellServices& services,
                             MainWindowView& view, int index);

// Carries out a menu command. Dimmed commands and those of other parts of
// the station do nothing here.
void ExecuteMenuCommand(StationState& state, const ShellServices& services, MainWindowView& view,
                        MenuCommand command, int value);

}  // namespace qrv::shell
