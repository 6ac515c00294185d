#include "pdf_pages.h"

#include <fmt/format.h>

#include <memory>

#include "runtime/clock.h"
#include "sensors/sensor_file.h"
#include "settings/settings_file.h"
#include "settings/station_paths.h"

namespace qrv::report {

PrintContext StationPrintContext(const std::filesystem::path& station, bool demo) {
    const StationPaths paths{station};
    SystemSettings settings;
    ReadIniFile(paths.IniFileName(), settings);
    auto table = std::make_shared<SensorTable>();
    ReadSensorFile(paths.SnsFileName(demo ? kModeDemo : kModeNormal), *table);
    RealClock clock;
    // The graphs draw the limits the station's probe table holds now.
    return PrintContext{
        settings.Taal, table->NetworkName, MakeDateStrings(clock.Now()),
        [table](std::string_view probeKey) { return LimitsInTable(*table, probeKey); }};
}

int WritePdf(const ToolOutput& output, const std::string& path, int count,
             const std::function<ReportPage(int)>& page) {
    if (!output.openPdf) {
        fmt::print(stderr, "quorvanel-report: this build cannot write PDF files\n");
        return kExitCannotWrite;
    }
    std::unique_ptr<PageOutput> pdf = output.openPdf(path);
    bool written = pdf != nullptr;
    for (int i = 0; written && i < count; ++i) {
        written = pdf->AddPage(page(i));
    }
    if (pdf && !pdf->Finish()) {
        written = false;
    }
    if (!written) {
        fmt::print(stderr, "quorvanel-report: cannot write {}\n", path);
        return kExitCannotWrite;
    }
    return 0;
}

}  // namespace qrv::report
