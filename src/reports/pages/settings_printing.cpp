#include "reports/pages/settings_printing.h"

#include "reports/printouts/settings_pages.h"
#include "settings/settings_file.h"

namespace qrv::pages {

void PrintSystemSettings(const PanelContext& context, const std::filesystem::path& iniFileName,
                         const SensorTable& table) {
    SystemSettings stored;
    ReadIniFile(iniFileName, stored);
    ReportPage page =
        MakeSystemSettingsPage(stored, table.GetMax1820Index() + 1, context.PrintNow());
    PrintPages(context, "Quorvanel system settings", 1, [&](int) { return page; });
}

void PrintProbeSettings(const PanelContext& context, const SensorTable& table,
                        const records::CalibrationBook& calibrations,
                        const records::TimeAlarmBook& timeAlarms) {
    const PrintContext print = context.PrintNow();
    const ProbeSettingsPrintout printout(table, calibrations, timeAlarms, context.clock.Now(),
                                         print.taal);
    if (printout.PageCount() == 0) {
        return;
    }
    PrintPages(context, "Quorvanel probes", printout.PageCount(),
               [&](int i) { return printout.Page(i, print); });
}

}  // namespace qrv::pages
