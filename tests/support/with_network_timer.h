#pragma once

#include "station/shell_services.h"

namespace qrv::testing {

// The station's services with the pause of acquisition going through timer
// instead: a test counts the pauses, a benchmark measures without them.
inline shell::ShellServices WithNetworkTimer(const shell::ShellServices& of,
                                             shell::NetworkTimerControl& timer) {
    return {of.clock, of.dialogs,     of.display,    of.log, of.editor, of.ports, of.session,
            timer,    of.probeEditor, of.monitoring, of.bus, of.via,    of.core};
}

}  // namespace qrv::testing
