#pragma once

#include <QProcess>

#include "support/temp_dir.h"

namespace qrv::testing {

// Starts the station program on the simulated unit (the sample network, or
// "--simulate=FILE"), without a screen.
inline void StartStation(QProcess& process, const TempDir& station,
                         const QString& simulate = "--simulate") {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    process.setProcessEnvironment(environment);
    process.start(QRV_STATION_EXECUTABLE,
                  {"--station", QString::fromStdString(station.path().string()), simulate});
}

}  // namespace qrv::testing
