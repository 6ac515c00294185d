#include "reports/pages/settings_printing.h"

#include "reports/printouts/settings_pages.h"
#include "settings/settings_file.h"
#include "text/texts.h"

namespace qrv::pages {

namespace {

// The print job's name, which the dialog proposes as the file name: the
// page's title in the station's language, without its closing full stop.
std::string DocumentName(text::Key title, int taal) {
    std::string name = "Quorvanel " + text::Plain(title, taal);
    if (name.ends_with('.')) {
        name.pop_back();
    }
    return name;
}

}  // namespace

void PrintSystemSettings(const PanelContext& context, const std::filesystem::path& iniFileName,
                         const SensorTable& table) {
    SystemSettings stored;
    ReadIniFile(iniFileName, stored);
    ReportPage page =
        MakeSystemSettingsPage(stored, table.GetMax1820Index() + 1, context.PrintNow());
    PrintPages(context, DocumentName(text::Key::TXT_LIST_SYS_SETTING, context.taal()), 1,
               [&](int) { return page; });
}

void PrintProbeSettings(const PanelContext& context, const SensorTable& table,
                        const records::CalibrationBook& calibrations,
                        const records::TimeAlarmBook& timeAlarms) {
    const PrintContext print = context.PrintNow();
    const ProbeSettingsPrintout printout(table, calibrations, &timeAlarms, context.clock.Now(),
                                         print.taal);
    if (printout.PageCount() == 0) {
        return;
    }
    PrintPages(context, DocumentName(text::Key::TXT_PRNT_LIST_PROBES_REPORT, print.taal),
               printout.PageCount(), [&](int i) { return printout.Page(i, print); });
}

}  // namespace qrv::pages
