#include "station/station_commands.h"

#include "probe_editor/probe_editor.h"
#include "station/network_install.h"
#include "station/network_stop.h"
#include "station/probe_editing.h"

namespace qrv::shell {

namespace {

ShellServices Through(const ShellServices& services, Via via) {
    ShellServices given = services;
    given.via = via;
    return given;
}

}  // namespace

void InstallNetwork(StationState& state, const ShellServices& services, Via via) {
    DoeInstallNetwork(state, Through(services, via));
}

void StopNetwork(StationState& state, const ShellServices& services, Via via) {
    if (state.NetWorkInstalled == 0) {
        return;
    }
    StopHetNetwerk(state, Through(services, via));
    services.log.LogMessageToDisk("User stop network" + ViaSuffix(via));
}

int SaveProbeSettings(StationState& state, const ShellServices& services, int index, bool isNew,
                      bool allowNavigation, Via via) {
    const ShellServices given = Through(services, via);
    const int result = DoeProbeSettingMenu(state, given, index, isNew, allowNavigation);
    if (state.WantedUserMode == kModeNormal && result == kEditorDeleted) {
        DoeInstallNetwork(state, given);
    }
    return result;
}

}  // namespace qrv::shell
