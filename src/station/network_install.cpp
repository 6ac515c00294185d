#include "station/network_install.h"

#include "station/standing_alarms.h"
#include "station/station_events.h"
#include "station/station_records.h"

#include <algorithm>
#include <string>
#include <vector>

#include "onewire/network_scan.h"
#include "onewire/nodex_session.h"
#include "onewire/port_check.h"
#include "onewire/unit_outputs.h"
#include "probe_editor/probe_editor.h"
#include "sensors/rom_text.h"
#include "sensors/sensor_file.h"
#include "settings/settings_file.h"
#include "station/live_monitoring.h"
#include "station/popups.h"
#include "station/probe_editing.h"
#include "station/sensor_file_loading.h"
#include "station/station_core.h"
#include "station/status_fields.h"
#include "text/texts.h"

namespace qrv::shell {

using text::Key;

namespace {

constexpr double kPortRetryPauseSeconds = 0.3;
constexpr double kSessionRestartSeconds = 1.0;
constexpr int kOrangeLampBlinks = 21;

void Progress(const StationState& state, const ShellServices& services, Key message) {
    DoeDisplayMessage(services.display, text::Plain(message, state.settings.Taal));
}

void ShowAlarmIndicators(const StationState& state, const ShellServices& services, bool show) {
    DisplayAlarmHok(state, services.display, show);
    services.display.ShowAlarmButton(show);
}

void ReadStationFiles(StationState& state, const ShellServices& services) {
    // The station's own changes are recorded as its own before the files it
    // wrote are read back, and anything else in them as changed outside.
    if (services.core != nullptr) {
        services.core->AuditPendingChanges();
    }
    SystemSettings settings = state.settings;
    ReadIniFile(state.paths.IniFileName(), settings);
    state.settingsOwner.Replace(settings);
    const std::filesystem::path snsFile = state.paths.SnsFileName(state.WantedUserMode);
    LoadSensorFileKeepingTheRest(snsFile, state.sensors, services, state.settings.Taal, false);
    AuditRereadProbes(state, services, snsFile);
    LoadCalibrations(state, services);
}

// The first pass's restart gives the bridge a clean start after the searches.
void RestartSession(const ShellServices& services) {
    NodexSession& session = services.session;
    session.StopOneWireSession();
    services.clock.Delay(kSessionRestartSeconds);
    session.StartOneWireSession();
    session.SetCableTiming2480(1);
}

void NoteLeftOut(std::vector<RomCode>& all, const std::vector<RomCode>& found) {
    for (const RomCode& rom : found) {
        if (std::find(all.begin(), all.end(), rom) == all.end()) {
            all.push_back(rom);
        }
    }
}

// Runs scan passes until one ends without asking for a repeat; returns the
// probes that did not fit into the table.
std::vector<RomCode> RunScanPasses(StationState& state, const ShellServices& services) {
    const int taal = state.settings.Taal;
    const auto announce = [&](const SensorRecord& record, bool isNew) {
        ++state.installProgress.found;
        DoeDisplayMessage(services.display,
                          isNew ? text::Plain(Key::TXT_FOUND_NEW_PROBE, taal)
                                : text::Plain(Key::TXT_FOUND_PROBE, taal) + record.Name);
    };
    // A line not searched leaves its probes on their lines and missing, so the
    // next pass searches it again and then asks about them.
    const auto notSearched = [&](int line, SessionStatus result) {
        DoeDisplayMessage(services.display,
                          text::Plain(Key::TXT_LINE_NOT_SEARCHED, taal) + std::to_string(line));
        services.log.LogMessageToDisk("Line " + std::to_string(line) +
                                      " not searched: its coupler did not confirm the switch (" +
                                      std::to_string(SessionStatusCode(result)) + ")");
    };
    std::vector<RomCode> leftOut;
    for (bool firstPass = true;; firstPass = false) {
        // Acquisition is paused: the scan's bus traffic runs on a copy of the
        // table, which then replaces it.
        SensorTable table = state.sensors.Copy();
        LoadSensorFileKeepingTheRest(state.paths.SnsFileName(state.WantedUserMode), table, services,
                                     taal, false);
        table.ClearAllFoundOnNetwork();
        state.installProgress.known = table.GetMax1820Index() + 1;
        state.installProgress.found = 0;
        Progress(state, services, Key::Network_Search_Probes);
        services.bus.Run([&] {
            NoteLeftOut(leftOut,
                        ScanTotalNetwork(services.session, table, announce, notSearched).leftOut);
        });
        records::CorrectScanReadings(table, *state.calibrations.Get());
        const bool missing = CheckForOldSensorsNoQuestion(table) != 0;
        state.sensors.Replace(std::move(table));
        if (state.shutdownRequested) {
            break;
        }
        if (firstPass) {
            services.bus.Run([&] { RestartSession(services); });
            if (!missing) {
                break;
            }
        } else if (CheckForOldSensorsAndAskUser(state, services) != kAnswerRetry) {
            break;
        }
    }
    return leftOut;
}

// Step 3 of the installation: true once the network has started, false when
// the user cancelled.
bool StartNetworkOrAsk(StationState& state, const ShellServices& services) {
    StatusDisplay& display = services.display;
    for (;;) {
        int started = kNetworkStarted;
        services.bus.Run([&] { started = StartNetwork(state, services); });
        if (state.shutdownRequested) {
            return false;
        }
        if (started == kNetworkStarted) {
            break;
        }
        services.display.SetWaitCursor(false);
        state.NetWorkInstalled = 0;
        state.CommunicationErrorAlarm = 1;
        RestoreStatusMessage(state, display);
        display.Beep();
        ResumeDisplayTimer(state);
        ShowAlarmIndicators(state, services, true);
        DisplayNetworkInstallHok(state, display, false);
        const int answer = Ask(services, state.settings.Taal, Key::Mess_NoPlc,
                               {Key::ButtonRetry, Key::ButtonCancel}, 1, 2);
        if (answer == 2) {
            return false;
        }
        state.CommunicationErrorAlarm = 0;
        SuspendDisplayTimer(state);
        ShowAlarmIndicators(state, services, false);
        DisplayNetworkInstallHok(state, display, true);
    }
    return true;
}

}  // namespace

// The table holds 100 probes; the ones beyond are named once, after the
// passes, so that the user can take them off the lines or delete others.
void ReportLeftOut(const StationState& state, const ShellServices& services,
                   const std::vector<RomCode>& leftOut) {
    if (leftOut.empty()) {
        return;
    }
    std::string list;
    for (const RomCode& rom : leftOut) {
        list += (list.empty() ? "" : ", ") + RomToHex(rom);
    }
    services.log.LogMessageToDisk("Probe table full, probes left out: " + list);
    const int taal = state.settings.Taal;
    Tell(services, taal, text::Plain(Key::TXT_PROBE_TABLE_FULL, taal) + list);
}

int StartNetwork(StationState& state, const ShellServices& services) {
    NodexSession& session = services.session;
    const int port = state.settings.SerialPort;
    session.SerialPort = port;
    // A session left open by an earlier installation holds the port, and the
    // port check below could never open it.
    if (session.Handle() > 0) {
        session.StopOneWireSession();
    }
    Progress(state, services, Key::MESS_CHECK_SERIAL);
    const bool foundAtStartup = state.unitFoundOnPort.exchange(0) == port;
    if (!foundAtStartup && CheckSerialPortConnection(services.ports, services.clock, port) !=
                               PortCheckResult::kUnitAnswers) {
        services.clock.Delay(kPortRetryPauseSeconds);
        Progress(state, services, Key::MESS_RETRY_ON_SERIAL);
        session.FlushOwSessions();
        if (CheckSerialPortConnection(services.ports, services.clock, port) !=
            PortCheckResult::kUnitAnswers) {
            return kNetworkPortFailed;
        }
    }
    Progress(state, services, Key::MESS_INIT_NETWORK);
    if (session.StartOneWireSession() != SessionStatus::kOk) {
        return kNetworkSessionFailed;
    }
    Progress(state, services, Key::MESS_TEST_INTERFACE);
    if (session.ZoekNodexNumbers() != SessionStatus::kOk) {
        return kNetworkNoPresence;
    }
    AlarmRelaisOff(session);
    OranjeLedOn(session);
    session.SetCableTiming2480(1);
    return kNetworkStarted;
}

int CheckForOldSensorsNoQuestion(const SensorTable& table) {
    for (int index = 0; index <= table.GetMax1820Index(); ++index) {
        const SensorRecord& record = table.SensorArray[static_cast<std::size_t>(index)];
        if (record.FoundOnNetwork == 0 && record.Status != kStatusOff) {
            return 1;
        }
    }
    return 0;
}

int CheckForOldSensorsAndAskUser(StationState& state, const ShellServices& services) {
    const int taal = state.settings.Taal;
    int result = kNothingMissing;
    for (int index = 0;;) {
        std::string name;
        {
            const auto table = state.sensors.Lock();
            if (index > table->GetMax1820Index()) {
                break;
            }
            const SensorRecord& record = table->SensorArray[static_cast<std::size_t>(index)];
            if (record.FoundOnNetwork != 0 || record.Status == kStatusOff) {
                ++index;
                continue;
            }
            name = record.Name;
        }
        services.display.SetWaitCursor(false);
        const std::string question = text::Plain(Key::TXT_MISSING_PROBE_1, taal) + name + " .\n" +
                                     text::Plain(Key::TXT_MISSING_PROBE_2, taal);
        const int answer = Ask(services, taal, question,
                               {Key::ButtonRetry, Key::ButtonPutOff, Key::ButtonDelete}, 1, 1);
        if (answer == kQuestionNotAnswered) {
            // Nobody is there to answer: the probe stays as it is, active,
            // and comes back on its own when it answers again.
            ++index;
        } else if (answer == 2) {
            state.sensors.Lock()->SensorArray[static_cast<std::size_t>(index)].Status = kStatusOff;
            result = kLastAnswerOff;
            ++index;
        } else if (answer == 3) {
            // The next record moves into this slot and is examined next.
            state.sensors.Lock()->DeleteSensorFromDataBase(index);
            result = kLastAnswerDelete;
        } else {
            result = kAnswerRetry;
            break;
        }
    }
    services.display.SetWaitCursor(true);
    return result;
}

void CheckForNewSensors(StationState& state, const ShellServices& services) {
    for (int index = 0; !state.shutdownRequested; ++index) {
        bool isNew = false;
        {
            const auto table = state.sensors.Lock();
            if (index > table->GetMax1820Index()) {
                break;
            }
            isNew = table->SensorArray[static_cast<std::size_t>(index)].Line > kNewProbeLineOffset;
        }
        if (isNew) {
            DoeProbeSettingMenu(state, services, index, true, false);
        }
    }
}

void DoeInstallNetwork(StationState& state, const ShellServices& services) {
    const int taal = state.settings.Taal;
    StatusDisplay& display = services.display;
    // Beside the service the unit is the service's; two programs on one
    // serial port would garble each other's traffic.
    if (state.WantedUserMode == kModeDemo || state.serviceMonitors) {
        Tell(services, taal, Key::Not_Poss_In_This_Mode);
        return;
    }
    services.display.SetWaitCursor(true);
    display.SetMenuBarDimmed(true);
    services.networkTimer.StopNetworkTimer();
    SuspendDisplayTimer(state);
    state.installProgress.found = 0;
    state.installProgress.known = 0;
    state.installProgress.running = true;
    // The reload below starts every probe afresh; a probe found again takes
    // up its alarm where it stood.
    const StandingAlarms standing = StandingAlarms::Take(state.sensors.Copy());
    const bool interfaceAlarmStood = state.CommunicationErrorAlarm != 0;
    acquisition::AlarmLog& alarmFile = services.monitoring.Acquisition().AlarmFile();
    state.CommunicationErrorAlarm = 0;
    state.SensorAlarm = 0;
    state.AlarmUserStatus = 1;
    ShowAlarmIndicators(state, services, false);
    display.SetAlarmButton(1);
    display.ShowLogo(true);
    DisplayNetworkInstallHok(state, display, true);
    ReadStationFiles(state, services);
    state.sensors.Lock()->ClearAlarmInAllSensors();

    bool installed = StartNetworkOrAsk(state, services);
    std::vector<RomCode> leftOut;
    if (installed) {
        state.NetWorkInstalled = 1;
        services.bus.Run([&services] {
            NodexSession& session = services.session;
            AlarmRelaisOff(session);
            RedLedOff(session);
            for (int blink = 0; blink < kOrangeLampBlinks; ++blink) {
                OranjeLedOn(session);
                OranjeLedOff(session);
            }
        });
        Progress(state, services, Key::Mess_Read_Message);
        leftOut = RunScanPasses(state, services);
        // A station told to end (a signal) leaves the installation
        // unfinished: its scan gave up, so nothing of it is written.
        installed = !state.shutdownRequested;
        state.NetWorkInstalled = installed ? 1 : 0;
    }
    if (installed) {
        ReportLeftOut(state, services, leftOut);
        CheckForNewSensors(state, services);
        WriteSensorFile(state.paths.SnsFileName(state.WantedUserMode), state.sensors.Copy(),
                        services.clock, services.dialogs, services.log, taal);
        {
            // The alarm file is written while the table is a copy.
            SensorTable table = state.sensors.Copy();
            standing.GiveBack(table, alarmFile);
            state.sensors.Replace(std::move(table));
        }
        if (interfaceAlarmStood) {
            alarmFile.LogAlarmToDisk(acquisition::kNetworkBackMessage);
        }
        state.ResultsTableWanted = true;
        services.networkTimer.StartNetworkTimer();
        // The first block at once: the day's file shows when monitoring began.
        AnnounceStoreDue(services, "network installed");
        AuditEventBy(state, services.clock, services.log, GivenBy(state, services.via),
                     "network installed, acquisition started", {},
                     std::to_string(state.sensors.Lock()->GetMax1820Index() + 1) + " probes");
    } else {
        AuditEventBy(state, services.clock, services.log, GivenBy(state, services.via),
                     "network installation failed");
        standing.WriteOff(acquisition::AlarmClearReason::kNetworkNotInstalled, alarmFile);
    }

    state.installProgress.running = false;
    DisplayNetworkInstallHok(state, display, false);
    // Installed or not, the table was read from the files anew; what shows
    // it (and the logo in its place) follows.
    if (installed) {
        AnnounceProbesInstalled(services);
    }
    AnnounceProbeSettings(services, installed ? "network installed" : "network not installed");
    AnnounceStationSettings(services, "network installation ended");
    display.SetMenuBarDimmed(false);
    RestoreStatusMessage(state, display);
    if (state.NetWorkInstalled != 0) {
        state.WantedUserMode = kModeNormal;
        display.ShowModeText(false);
        services.log.LogMessageToDisk("Network Installed OK" + ViaSuffix(services.via));
    } else {
        services.log.LogMessageToDisk("Network Not Installed" + ViaSuffix(services.via));
    }
    services.display.SetWaitCursor(false);
}

}  // namespace qrv::shell
