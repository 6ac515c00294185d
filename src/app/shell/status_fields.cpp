#include "app/shell/status_fields.h"

#include <string>

#include "text/texts.h"

namespace qrv::shell {

using text::Key;

void DoeDisplayTijd(StationState& state, const Clock& clock, StatusDisplay& display) {
    state.dates = MakeDateStrings(clock.Now());
    display.SetDateTime(state.dates.EuroDatumString + "   " + state.dates.TijdString);
}

void DoeDisplayMessage(StatusDisplay& display, std::string_view text) {
    display.SetStatusLine(text, colors::kProgressBlue);
    display.ProcessDrawEvents();
}

void RestoreStatusMessage(const StationState& state, StatusDisplay& display) {
    if (state.NetWorkInstalled == 0) {
        display.SetStatusLine(text::Raw(Key::TXT_MON_NOT_ACTIVE, state.shared.Taal),
                              colors::kAlarmRed);
    }
    display.ProcessDrawEvents();
}

void DisplayAlarmHok(const StationState& state, StatusDisplay& display, bool show) {
    const int item = state.CommunicationErrorAlarm != 0 ? 0 : 1;
    display.ShowAlarmBanner(show,
                            text::GroupText(text::Group::AlarmBanner, item, state.shared.Taal));
}

void DisplayNetworkInstallHok(const StationState& state, StatusDisplay& display, bool show) {
    display.ShowInstallNotice(show, text::Raw(Key::TXT_INSTALLTEKST, state.shared.Taal));
}

namespace {
void ShowBlinkingModeText(StatusDisplay& display, std::string_view text, int phase) {
    display.ShowModeText(true);
    display.SetModeText(phase == 1 ? text : std::string_view{});
}
}  // namespace

void ShowDemoText(const StationState& state, StatusDisplay& display, int phase) {
    ShowBlinkingModeText(display, text::Raw(Key::TXT_DEMO_TEXT, state.shared.Taal), phase);
}

void ShowOffLineText(const StationState& state, StatusDisplay& display, int phase) {
    ShowBlinkingModeText(display, text::Raw(Key::TXT_OFFLINE_TEXT, state.shared.Taal), phase);
}

}  // namespace qrv::shell
