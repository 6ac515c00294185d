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

void PrintProbeSettings(const PanelContext& context, const SensorTable& table) {
    const int pages = ProbeSettingsPageCount(table.GetMax1820Index() + 1);
    if (pages == 0) {
        return;
    }
    const PrintContext print = context.PrintNow();
    PrintPages(context, "Quorvanel probes", pages,
               [&](int i) { return MakeProbeSettingsPage(table, i + 1, print); });
}

}  // namespace qrv::pages
