#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "reports/pages/page_output.h"
#include "reports/printouts/print_context.h"
#include "runtime/clock.h"
#include "runtime/dialogs.h"
#include "storage/status_messages.h"

namespace qrv::pages {

// What the view and report panels use of the station: its services, the
// settings they show in, the data directory of the current mode, and the
// printer.
struct PanelContext {
    Clock& clock;
    Dialogs& dialogs;
    StatusMessages& status;
    PageOutputOpener& printer;
    // KnowPrinterSetting: 0 until the printer of the current command is chosen.
    int& knowPrinterSetting;
    std::function<int()> taal;
    std::function<int()> graphStyle;
    std::function<std::string()> networkName;
    std::function<std::filesystem::path()> dataDirectory;
    // The limits of a probe by its result-file key (none: graphs draw none).
    LimitsLookup limitsOf{};
    // The audit trail, whose limit changes the minutes out of range of a
    // period count by; empty: by the limits the probes have now.
    std::filesystem::path auditTrail{};

    // The language, network name and time of a page printed now.
    PrintContext PrintNow() const {
        return PrintContext{taal(), networkName(), MakeDateStrings(clock.Now()), limitsOf};
    }
};

// Prints the pages of one command; false when the user cancelled or
// printing failed (the failure has been shown).
bool PrintPages(const PanelContext& context, const std::string& documentName, int count,
                const std::function<ReportPage(int)>& page);

}  // namespace qrv::pages
