#pragma once

#include <memory>
#include <string>

#include "reports/page_model.h"
#include "reports/pages/page_output.h"
#include "runtime/dialogs.h"

namespace qrv::pages {

// One print command (print one probe, print all, a list, a settings
// printout): the printer dialog comes before its first page only, and all
// its pages go into one job, so that "print to file" gives one PDF with
// every page.
class PrintJob {
  public:
    // knowPrinterSetting is the station's flag: 0 until the printer of this
    // command is chosen, 1 after.
    PrintJob(Dialogs& dialogs, PageOutputOpener& opener, int taal, int& knowPrinterSetting,
             std::string documentName);
    ~PrintJob();
    PrintJob(const PrintJob&) = delete;
    PrintJob& operator=(const PrintJob&) = delete;

    // Prints one page, asking for the printer first when needed. false when
    // the user cancelled the dialog or printing failed; a failure has been
    // shown to the user and the job is over.
    bool PrintPage(const ReportPage& page);

    // Ends the job; false (shown to the user) when it failed.
    bool Finish();

  private:
    void ReportError();

    Dialogs& dialogs_;
    PageOutputOpener& opener_;
    int taal_;
    int& knowPrinterSetting_;
    std::string documentName_;
    std::unique_ptr<PageOutput> output_;
    bool over_ = false;
};

}  // namespace qrv::pages
