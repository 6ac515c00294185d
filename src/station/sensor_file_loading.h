#pragma once

#include <filesystem>
#include <string>

#include "sensors/sensor_table.h"
#include "sensors/shared_sensor_table.h"
#include "station/shell_services.h"

namespace qrv::shell {

struct SensorFileLoad {
    int result = 0;  // as ReadSensorFile's
    // At start-up, for a file cut short: what of it is used, in the user's
    // language, for the question whether to go on.
    std::string cutShort;
};

// Loads the sensor file as ReadSensorFile does. A file with more probes than
// the table has room for is first kept as it is beside it, so that no later
// rewrite loses the probes the table cannot hold; the log and a popup name
// the copy when it is made now (at start-up also when it was kept earlier)
// and say so when none could be made. At start-up a file cut short gives
// the records it holds whole, which the log names; later loads keep the
// table, which holds at least as much, as it is.
SensorFileLoad LoadSensorFileKeepingTheRest(const std::filesystem::path& snsFileName,
                                            SharedSensorTable& table, const ShellServices& services,
                                            int taal, bool atStartup);
SensorFileLoad LoadSensorFileKeepingTheRest(const std::filesystem::path& snsFileName,
                                            SensorTable& table, const ShellServices& services,
                                            int taal, bool atStartup);

}  // namespace qrv::shell
