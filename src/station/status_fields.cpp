#include "station/status_fields.h"

#include <string>

#include <fmt/format.h>

#include "storage/status_messages.h"
#include "text/texts.h"

namespace qrv::shell {

using text::Key;

void DoeDisplayTijd(StationState& state, const Clock& clock, StatusDisplay& display) {
    const LocalDateTime now = clock.Now();
    state.dates = MakeDateStrings(now);
    display.SetDateTime(now);
}

void DoeDisplayMessage(StatusDisplay& display, std::string_view text) {
    display.SetStatusLine(text, colors::kProgressBlue);
    display.ProcessDrawEvents();
}

// The same rule as the storage routines follow, from the one place it lives.
void RestoreStatusMessage(const StationState& state, StatusDisplay& display) {
    const int taal = state.settingsOwner.Taal();
    StatusMessages(display, taal, state.NetWorkInstalled).RestoreStatusMessage();
}

void DisplayAlarmHok(const StationState& state, StatusDisplay& display, bool show,
                     std::string_view acknowledgedBy) {
    const int taal = state.settingsOwner.Taal();
    const int item = state.CommunicationErrorAlarm != 0 ? 0 : 1;
    std::string banner(text::GroupText(text::Group::AlarmBanner, item, taal));
    if (!acknowledgedBy.empty()) {
        banner += "  \u2013  " +
                  fmt::format(fmt::runtime(text::Plain(Key::TXT_ALARM_ACKNOWLEDGED_BY, taal)),
                              acknowledgedBy);
    }
    display.ShowAlarmBanner(show, banner);
}

std::string MonitoringStateText(const StationState& state, int taal) {
    std::string text;
    if (state.WantedUserMode == kModeNormal && state.NetWorkInstalled == 0) {
        text = text::Plain(Key::TXT_HEADER_NOT_MONITORING, taal);
    }
    if (state.settings.GeneralAlarmEnable == 0) {
        if (!text.empty()) {
            text += "  \u00b7  ";
        }
        text += text::Plain(Key::TXT_HEADER_ALARMS_OFF, taal);
    }
    return text;
}

void ShowMonitoringState(const StationState& state, StatusDisplay& display) {
    display.ShowMonitoringState(MonitoringStateText(state, state.settingsOwner.Taal()));
}

std::string NoticeProblemText(const NoticeTotals& notices, int taal) {
    if (!notices.lastGivenUp) {
        return {};
    }
    const GivenUpNotice& notice = *notices.lastGivenUp;
    const LocalDateTime& t = notice.time;
    std::string text = fmt::format(
        fmt::runtime(text::Plain(Key::TXT_HEADER_NOTICE_GIVEN_UP, taal)), notice.contact,
        ChannelName(notice.channel),
        fmt::format("{:02}/{:02}/{:04} {:02}:{:02}", t.day, t.month, t.year, t.hour, t.minute),
        notice.detail);
    // What a receiver said may run over lines; a status line is one.
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            c = ' ';
        }
    }
    return text;
}

void DisplayNetworkInstallHok(const StationState& state, StatusDisplay& display, bool show) {
    display.ShowInstallNotice(show, text::Raw(Key::TXT_INSTALLTEKST, state.settingsOwner.Taal()));
}

namespace {
void ShowBlinkingModeText(StatusDisplay& display, std::string_view text, int phase) {
    display.ShowModeText(true);
    display.SetModeText(phase == 1 ? text : std::string_view{});
}
}  // namespace

void ShowDemoText(const StationState& state, StatusDisplay& display, int phase) {
    ShowBlinkingModeText(display, ModeLineText(kModeDemo, state.settingsOwner.Taal()), phase);
}

void ShowOffLineText(const StationState& state, StatusDisplay& display, int phase) {
    ShowBlinkingModeText(display, ModeLineText(kModeOffLine, state.settingsOwner.Taal()), phase);
}

std::string_view ModeLineText(int mode, int taal) {
    return text::Raw(mode == kModeOffLine ? Key::TXT_OFFLINE_TEXT : Key::TXT_DEMO_TEXT, taal);
}

}  // namespace qrv::shell
