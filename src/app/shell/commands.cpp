#include "app/shell/commands.h"

#include <array>

#include <fmt/format.h>

#include "app/shell/monitoring_commands.h"
#include "app/shell/notify_commands.h"
#include "app/shell/probe_table_commands.h"
#include "app/shell/results_table.h"
#include "feed/live_feed.h"
#include "notify/acknowledgement.h"
#include "settings/settings_file.h"
#include "station/com_port.h"
#include "station/identification.h"
#include "station/live_monitoring.h"
#include "station/network_install.h"
#include "station/probe_editing.h"
#include "station/station_commands.h"
#include "station/station_events.h"
#include "station/station_files.h"
#include "station/station_records.h"
#include "station/status_fields.h"
#include "text/texts.h"

namespace qrv::shell {

using text::Key;

MenuInputs CurrentMenuInputs(const StationState& state, LiveMonitoring& monitoring) {
    return MenuInputs{state.WantedUserMode,
                      state.NetWorkInstalled != 0,
                      &state.settings,
                      CheckIfSmsServerIsAavailable(state),
                      monitoring.Acquisition().Sms().Busy(),
                      monitoring.Acquisition().Cycle().RelayTestRunning()};
}

namespace {

std::string_view NotesLogLine(NotesOutcome outcome) {
    switch (outcome) {
        case NotesOutcome::kEdited:
            return "Notes file edited";
        case NotesOutcome::kViewed:
            return "Notes file viewed";
        case NotesOutcome::kEditNotSaved:
            return "Notes file not saved";
        case NotesOutcome::kNothingAdded:
            return "Notes file not changed";
        case NotesOutcome::kNotWritten:
            break;
    }
    return "Notes file not written";
}

}  // namespace

void StoreSettings(StationState& state, const ShellServices& services, SystemSettings changed) {
    const SystemSettings before = state.settings;
    // The file is written outside the owner's lock: a file-error popup must
    // never keep the acquisition thread waiting for the settings.
    WriteIniFile(state.paths.IniFileName(), changed, services.clock, services.dialogs,
                 services.log);
    ReadIniFile(state.paths.IniFileName(), changed);
    state.settingsOwner.Replace(changed);
    AuditSettings(state, services, before, state.settings);
    AnnounceStationSettings(services, "settings stored");
}

void SetTheNewLanguage(StationState& state, const ShellServices& services, int language) {
    SystemSettings changed = state.settings;
    changed.Taal = language;
    StoreSettings(state, services, changed);
}

void SetTheNewSamplingTime(StationState& state, const ShellServices& services, int minutes) {
    SystemSettings changed = state.settings;
    changed.KeuzeSampleTime = minutes;
    StoreSettings(state, services, changed);
}

void SetTheNewGraphStyle(StationState& state, const ShellServices& services, int style) {
    SystemSettings changed = state.settings;
    changed.KeuzeGraphStyle = style;
    StoreSettings(state, services, changed);
}

void SetGeneralAlarmEnable(StationState& state, const ShellServices& services, int enable) {
    if (state.settings.GeneralAlarmEnable == enable) {
        return;
    }
    SystemSettings changed = state.settings;
    changed.GeneralAlarmEnable = enable;
    StoreSettings(state, services, changed);
    ShowMonitoringState(state, services.display);
}

namespace {

// Disabling turns off every alarm, relay and message of every probe: asked
// first, No the safe answer of Enter and Escape.
void DisableAlarmWhenConfirmed(StationState& state, const ShellServices& services) {
    if (state.settings.GeneralAlarmEnable == 0) {
        return;
    }
    const int taal = state.settings.Taal;
    const int answer = services.dialogs.GenericMessagePopup(
        text::Raw(Key::QRVNL_TEXT, taal), text::Plain(Key::TXT_REALLY_DISABLE_ALARMS, taal),
        {std::string(text::Raw(Key::ButtonYes, taal)), std::string(text::Raw(Key::ButtonNo, taal))},
        2, 2);
    if (answer == 1) {
        SetGeneralAlarmEnable(state, services, 0);
    }
}

}  // namespace

void AlarmButton(StationState& state, const ShellServices& services, int value) {
    const std::string who = notify::LoginName();
    if (value == 1) {
        services.monitoring.Unmute(who, Via::kWindow);
        return;
    }
    // The beep pauses while the question is open; only OK mutes and
    // acknowledges, Cancel leaves the alarm as it was.
    const int taal = state.settings.Taal;
    state.acknowledgementAsked = true;
    const std::optional<std::string> comment = services.dialogs.PromptPopup(
        text::Raw(Key::QRVNL_TEXT, taal),
        fmt::format(fmt::runtime(text::Plain(Key::TXT_ACKNOWLEDGE_PROMPT, taal)), who),
        static_cast<int>(kMaxCommentLength), "");
    state.acknowledgementAsked = false;
    if (!comment) {
        services.display.SetAlarmButton(1);
        return;
    }
    services.monitoring.Mute(who, *comment, Via::kWindow);
}

bool DoeQuit(StationState& state, const ShellServices& services, MainWindowView& view) {
    const int taal = state.settings.Taal;
    Key question = Key::Main_Quit_1;
    if (state.NetWorkInstalled != 0) {
        services.display.SetWaitCursor(false);
        question = Key::Main_Quit_2;
    }
    const int answer = services.dialogs.GenericMessagePopup(
        text::Raw(Key::QRVNL_TEXT, taal), text::Raw(question, taal),
        {std::string(text::Raw(Key::ButtonYes, taal)), std::string(text::Raw(Key::ButtonNo, taal))},
        2, 2);
    if (answer != 1) {
        return false;
    }
    services.log.LogMessageToDisk("User shutdown");
    state.shutdownRequested = true;
    view.QuitUserInterface();
    return true;
}

void QuitOnSignal(StationState& state, const ShellServices& services, std::string_view signalName) {
    services.log.LogMessageToDisk("Shutdown on " + std::string(signalName));
    state.shutdownRequested = true;
}

std::string AboutText(int taal) {
    // "1\u2011Wire": a non-breaking hyphen, so that the name is never split
    // over two lines.
    static constexpr std::array<std::string_view, 4> kAbout{
        "Quorvanel %s - monitoring station for 1\u2011Wire probe networks\n\n"
        "Hardware: needs the Nodex interface unit, release 1.10 or higher.\n\n"
        "Quorvanel and Nodex are trademarks of their owners. This program is provided "
        "without warranty of any kind.\n\n"
        "Quorvanel is not designed for critical applications: it cannot guarantee that "
        "every alarm event is detected or reported.\n\n"
        "For support, installation and probes, please contact your local dealer.",
        "Quorvanel %s - Überwachungsstation für 1\u2011Wire-Fühlernetze\n\n"
        "Hardware: benötigt die Nodex-Schnittstelle ab Version 1.10.\n\n"
        "Quorvanel und Nodex sind Marken ihrer Inhaber. Dieses Programm wird ohne jede "
        "Gewährleistung geliefert.\n\n"
        "Quorvanel ist nicht für kritische Anwendungen ausgelegt: Es kann nicht garantieren, "
        "dass jedes Alarmereignis erkannt oder gemeldet wird.\n\n"
        "Für Unterstützung, Installation und Fühler wenden Sie sich an Ihren Händler.",
        "Quorvanel %s - station de surveillance pour réseaux de capteurs 1\u2011Wire\n\n"
        "Matériel : nécessite l'interface Nodex, version 1.10 ou supérieure.\n\n"
        "Quorvanel et Nodex sont des marques de leurs propriétaires. Ce programme est fourni "
        "sans aucune garantie.\n\n"
        "Quorvanel n'est pas conçu pour des applications critiques : il ne peut garantir que "
        "chaque alarme soit détectée ou signalée.\n\n"
        "Pour l'assistance, l'installation et les capteurs, contactez votre revendeur.",
        "Quorvanel %s - bewakingsstation voor 1\u2011Wire-voelernetwerken\n\n"
        "Hardware: vereist de Nodex-interface, versie 1.10 of hoger.\n\n"
        "Quorvanel en Nodex zijn merken van hun eigenaars. Dit programma wordt geleverd "
        "zonder enige garantie.\n\n"
        "Quorvanel is niet ontworpen voor kritische toepassingen: het kan niet garanderen dat "
        "elke alarmgebeurtenis wordt gedetecteerd of gemeld.\n\n"
        "Voor ondersteuning, installatie en voelers kunt u terecht bij uw dealer.",
    };
    std::string about(kAbout[static_cast<std::size_t>(taal >= 0 && taal < 4 ? taal : 0)]);
    about.replace(about.find("%s"), 2, text::kProgramVersion);
    return about;
}

void EventViewSensorsSubMenu(StationState& state, const ShellServices& services,
                             MainWindowView& view, int index) {
    if (state.NetWorkInstalled == 0) {
        const int taal = state.settings.Taal;
        services.display.Beep();
        services.dialogs.MessagePopup(text::Raw(Key::QRVNL_TEXT, taal),
                                      text::Raw(Key::NotActiveNetwork, taal));
        return;
    }
    state.ViewProbeSensor = index;
    view.DoeProbeViewPanel(index);
    InitTheResultsTable(state, view.ResultsTable(), services.display);
}

void ExecuteMenuCommand(StationState& state, const ShellServices& services, MainWindowView& view,
                        MenuCommand command, int value) {
    // The refusal is told even when the item was dimmed a moment too late.
    if (command == MenuCommand::ViewCurrentValues && state.NetWorkInstalled == 0) {
        EventViewSensorsSubMenu(state, services, view, value);
        return;
    }
    if (IsDimmed(command, CurrentMenuInputs(state, services.monitoring))) {
        return;
    }
    const int taal = state.settings.Taal;
    switch (command) {
        case MenuCommand::Exit:
            DoeQuit(state, services, view);
            break;
        case MenuCommand::SetLanguage:
            if (state.settings.Taal != value) {
                SetTheNewLanguage(state, services, value);
            }
            break;
        case MenuCommand::SetSampleRate:
            if (state.settings.KeuzeSampleTime != value) {
                SetTheNewSamplingTime(state, services, value);
            }
            break;
        case MenuCommand::SetGraphStyle:
            if (state.settings.KeuzeGraphStyle != value) {
                SetTheNewGraphStyle(state, services, value);
            }
            break;
        case MenuCommand::EnableAlarm:
            SetGeneralAlarmEnable(state, services, 1);
            break;
        case MenuCommand::DisableAlarm:
            DisableAlarmWhenConfirmed(state, services);
            break;
        case MenuCommand::StopNetwork:
            StopTheNetwork(state, services);
            break;
        case MenuCommand::TestAlarmRelay:
            TestAlarmRelais(state, services);
            break;
        case MenuCommand::LinkSmsCentre:
            LinkSmsCentre(state, services);
            break;
        case MenuCommand::SetSmsPhoneName:
            SetPhoneName(state, services);
            break;
        case MenuCommand::SendTestMessage:
            SendTestMessage(state, services);
            break;
        case MenuCommand::TestContacts:
            TestContacts(state, services);
            break;
        case MenuCommand::EditNotes:
            services.log.LogMessageToDisk(
                NotesLogLine(HandleEditQRVNotes(state.paths.NotesFileName(), services.clock,
                                                services.dialogs, services.editor, taal)));
            break;
        case MenuCommand::ViewLog:
            services.log.LogMessageToDisk(
                ShowTextFile(state.paths.LogFileName(), services.dialogs, services.editor, taal)
                    ? "Log-file viewed"
                    : "Log-file not viewed");
            break;
        case MenuCommand::ViewAlarmFile:
            services.log.LogMessageToDisk(
                ShowTextFile(state.paths.AlarmFileName(), services.dialogs, services.editor, taal)
                    ? "Alarm-file viewed"
                    : "Alarm-file not viewed");
            break;
        case MenuCommand::InstallNetwork:
            InstallNetwork(state, services, Via::kWindow);
            break;
        case MenuCommand::EditNetworkName:
            EditNetworkName(state, services);
            break;
        case MenuCommand::SelectComPort:
            if (state.settings.SerialPort != value) {
                SetTheNewCommPort(state, services, value);
            }
            break;
        case MenuCommand::EditProbe:
            EventEditSensorsSubMenu(state, services, value);
            break;
        case MenuCommand::IdentifyProbes:
            Identify(state, services);
            break;
        case MenuCommand::SetAllActive:
            SetAllProbesStatus(state, services, kStatusActive);
            break;
        case MenuCommand::SetAllOff:
            SetAllProbesStatus(state, services, kStatusOff);
            break;
        case MenuCommand::SetAllInhibit:
            SetAllProbesStatus(state, services, kStatusInhibit);
            break;
        case MenuCommand::DeleteAllProbes:
            DeleteAllProbes(state, services);
            break;
        case MenuCommand::SaveFileAs:
            SaveFileAs(state, services);
            break;
        case MenuCommand::SaveCopyAs:
            SaveCopyAs(state, services);
            break;
        case MenuCommand::PrintMonthlyReport:
            view.PrintMoWeDayReport(0, value);
            break;
        case MenuCommand::PrintWeeklyReport:
            view.PrintMoWeDayReport(1, value);
            break;
        case MenuCommand::PrintDailyReport:
            view.PrintMoWeDayReport(2, value);
            break;
        case MenuCommand::PrintDailySheet:
            view.PrintDailySheet(value);
            break;
        case MenuCommand::PrintProbeSettings:
            view.PrintProbeSettings();
            break;
        case MenuCommand::PrintSystemSettings:
            view.PrintSystemSettings();
            break;
        case MenuCommand::ViewHistory:
            view.LaatViewNuZien(1);
            break;
        case MenuCommand::PrintSavedData:
        case MenuCommand::ViewSavedData:
            view.LaatViewNuZien(2);
            break;
        case MenuCommand::ViewCurrentValues:
            EventViewSensorsSubMenu(state, services, view, value);
            break;
        case MenuCommand::About:
            services.dialogs.MessagePopup(text::Raw(Key::QRVNL_TEXT, taal), AboutText(taal));
            break;
        default:
            break;
    }
}

}  // namespace qrv::shell
