#pragma once

#include "app/window/main_window.h"
#include "shell_fixture.h"

namespace qrv::testing {

// The station with its window as the front end, on the parts of
// StationParts: the window builds the station as quorvanel does, and the
// names below are the window's station.
struct WindowFixture : StationParts {
    explicit WindowFixture(bool simulated = false)
        : window(StationPaths{dir.path()},
                 {clock,
                  dialogs,
                  programLog,
                  editor,
                  {simulated ? static_cast<SerialPortProvider&>(simPorts) : ports, launcher,
                   timers}}) {}

    window::MainWindow window;
    shell::StationState& state{window.Core().State()};
    NodexSession& session{window.Core().Session()};
    shell::LiveMonitoring& monitoring{window.Monitoring()};
    const shell::ShellServices& services{window.Services()};
};

}  // namespace qrv::testing
