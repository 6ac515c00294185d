#include "station/sensor_file_loading.h"

#include <fmt/format.h>

#include <string>

#include "sensors/sensor_file.h"
#include "sensors/sensor_file_overflow.h"
#include "text/texts.h"

namespace qrv::shell {

using text::Key;

namespace {

void KeepTheRest(const std::filesystem::path& snsFileName, const ShellServices& services, int taal,
                 bool atStartup) {
    const auto kept = KeepSensorFileThatDoesNotFit(snsFileName, services.clock);
    if (!kept || (!kept->newCopy && kept->error.empty() && !atStartup)) {
        return;
    }
    const std::string count =
        std::to_string(kept->probesInFile) + " probes, room for " + std::to_string(kMaxSensors);
    std::string message = text::Plain(Key::TXT_SNS_FILE_TOO_MANY, taal) + "\n";
    if (kept->error.empty()) {
        services.log.LogMessageToDisk("SensorFile holds " + count + "; kept as it was in " +
                                      kept->copy.string());
        message += text::Plain(Key::TXT_SNS_FILE_COPY_KEPT, taal) + "\n" + kept->copy.string();
    } else {
        services.log.LogMessageToDisk("SensorFile holds " + count + "; not kept, " + kept->error);
        message += text::Plain(Key::TXT_SNS_FILE_COPY_FAILED, taal) + "\n" + snsFileName.string();
    }
    services.dialogs.MessagePopup(text::Raw(Key::QRVNL_TEXT, taal), message);
}

// The station writes the file only whole, so a file found cut at a later
// load was cut at start-up too, and the table holds what it gave then.
template <typename Table>
SensorFileLoad Load(const std::filesystem::path& snsFileName, Table& table,
                    const ShellServices& services, int taal, bool atStartup) {
    KeepTheRest(snsFileName, services, taal, atStartup);
    SensorFileCut cut;
    SensorFileLoad load{ReadSensorFile(snsFileName, table, atStartup ? &cut : nullptr), {}};
    if (atStartup && load.result == kSensorFileTruncated) {
        services.log.LogMessageToDisk(fmt::format(
            "SensorFile cut short: {} of {} probe records read whole, damaged from byte {} "
            "(file of {} bytes); the other probes are treated as new",
            cut.recordsRead, cut.recordsInFile, cut.damagedFromByte, cut.fileBytes));
        load.cutShort = fmt::format(fmt::runtime(text::Plain(Key::TXT_SNS_FILE_CUT, taal)),
                                    cut.recordsRead, cut.recordsInFile, cut.damagedFromByte);
    }
    return load;
}

}  // namespace

SensorFileLoad LoadSensorFileKeepingTheRest(const std::filesystem::path& snsFileName,
                                            SharedSensorTable& table, const ShellServices& services,
                                            int taal, bool atStartup) {
    return Load(snsFileName, table, services, taal, atStartup);
}

SensorFileLoad LoadSensorFileKeepingTheRest(const std::filesystem::path& snsFileName,
                                            SensorTable& table, const ShellServices& services,
                                            int taal, bool atStartup) {
    return Load(snsFileName, table, services, taal, atStartup);
}

}  // namespace qrv::shell
