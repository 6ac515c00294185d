#pragma once

#include "station/shell_services.h"
#include "station/station_state.h"

namespace qrv::shell {

// Opens the probe settings panel on the record at index (see ProbeEditor):
// kEditorDeleted, kEditorSaved, kEditorNothingSaved or kEditorPanelMissing.
// A save is announced on the feed.
int DoeProbeSettingMenu(StationState& state, const ShellServices& services, int index, bool isNew,
                        bool allowNavigation);

// Probes › Edit probes › (probe): the panel with stepping and delete, the
// menu bar dimmed meanwhile; a delete in normal mode reinstalls the network.
void EventEditSensorsSubMenu(StationState& state, const ShellServices& services, int index);

}  // namespace qrv::shell
