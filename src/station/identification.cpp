#include "station/identification.h"

#include <vector>

#include "onewire/network_scan.h"
#include "sensors/sensor_file.h"
#include "station/network_install.h"
#include "station/popups.h"
#include "station/probe_editing.h"
#include "station/status_fields.h"
#include "text/texts.h"

namespace qrv::shell {

using text::Key;

namespace {

bool Continues(const ShellServices& services, int taal, Key question, Key first = Key::ButtonCont) {
    return Ask(services, taal, question, {first, Key::ButtonStop}, 1, 2) == 1;
}

}  // namespace

void Identify(StationState& state, const ShellServices& services) {
    const int taal = state.settings.Taal;
    if (state.WantedUserMode != kModeNormal) {
        Tell(services, taal, Key::Not_Poss_In_This_Mode);
        return;
    }
    if (state.NetWorkInstalled == 0) {
        services.display.Beep();
        Tell(services, taal, Key::Ident_NoNetwork);
        return;
    }
    if (!Continues(services, taal, Key::Ident_Sure)) {
        return;
    }
    services.networkTimer.StopNetworkTimer();
    SuspendDisplayTimer(state);
    services.display.ShowLogo(true);
    if (!Continues(services, taal, Key::Ident_Separately)) {
        // Nothing is unplugged yet: monitoring goes on where it paused.
        services.networkTimer.StartNetworkTimer();
        ResumeDisplayTimer(state);
        services.display.ShowLogo(state.SensorListActive == 0);
        RestoreStatusMessage(state, services.display);
        return;
    }
    IdentifySensor(state, services);
    Tell(services, taal, Key::Ident_CablesOn);
    DoeInstallNetwork(state, services);
}

int IdentifySensor(StationState& state, const ShellServices& services) {
    const int taal = state.settings.Taal;
    if (!Continues(services, taal, Key::Ident_First)) {
        return 0;
    }
    for (;;) {
        DoeDisplayMessage(services.display, text::Plain(Key::Network_Search_One, taal));
        std::vector<RomCode> leftOut;
        // Acquisition is paused: the search's bus traffic runs on a copy of
        // the table, which then replaces it.
        SensorTable table = state.sensors.Copy();
        int index = -1;
        services.bus.Run([&] { index = IdentifyEenProbe(services.session, table, &leftOut); });
        if (index >= 0) {
            records::CorrectScanReading(table.SensorArray[static_cast<std::size_t>(index)],
                                        *state.calibrations.Get());
        }
        state.sensors.Replace(std::move(table));
        bool again = false;
        if (index >= 0) {
            const auto at = static_cast<std::size_t>(index);
            const bool isNew = state.sensors.Lock()->SensorArray[at].Line >= kNewProbeLineOffset;
            DoeProbeSettingMenu(state, services, index, isNew, false);
            state.sensors.Lock()->SensorArray[at].Line = 1;
            WriteSensorFile(state.paths.SnsFileName(state.WantedUserMode), state.sensors.Copy(),
                            services.clock, services.dialogs, services.log, taal);
            again = Continues(services, taal, Key::Ident_Next);
        } else {
            ReportLeftOut(state, services, leftOut);
            again = Continues(services, taal, Key::Ident_NoProbe, Key::ButtonRetry);
        }
        if (!again) {
            return 0;
        }
    }
}

}  // namespace qrv::shell
