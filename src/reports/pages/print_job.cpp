#include "reports/pages/print_job.h"

#include "reports/pages/panel_context.h"
#include "text/texts.h"

namespace qrv::pages {

using text::Key;

PrintJob::PrintJob(Dialogs& dialogs, PageOutputOpener& opener, int taal, int& knowPrinterSetting,
                   std::string documentName)
    : dialogs_(dialogs),
      opener_(opener),
      taal_(taal),
      knowPrinterSetting_(knowPrinterSetting),
      documentName_(std::move(documentName)) {
    knowPrinterSetting_ = 0;
}

PrintJob::~PrintJob() {
    if (output_) {
        Finish();
    }
    knowPrinterSetting_ = 0;
}

bool PrintJob::PrintPage(const ReportPage& page) {
    if (over_) {
        return false;
    }
    if (!output_) {
        const std::optional<PrintTarget> target =
            dialogs_.PrinterDialog(text::Plain(Key::QRVNL_TEXT, taal_), documentName_);
        if (!target) {
            over_ = true;
            return false;
        }
        output_ = opener_.Open(*target, documentName_);
        if (!output_) {
            ReportError();
            return false;
        }
        knowPrinterSetting_ = 1;
    }
    if (!output_->AddPage(page)) {
        output_->Finish();
        output_.reset();
        ReportError();
        return false;
    }
    return true;
}

bool PrintJob::Finish() {
    if (!output_) {
        return !over_;
    }
    const bool finished = output_->Finish();
    output_.reset();
    over_ = true;
    if (!finished) {
        ReportError();
    }
    return finished;
}

void PrintJob::ReportError() {
    over_ = true;
    knowPrinterSetting_ = 0;
    dialogs_.MessagePopup(text::Plain(Key::QRVNL_TEXT, taal_),
                          text::Plain(Key::TXT_PRINTING_ERROR, taal_));
}

bool PrintPages(const PanelContext& context, const std::string& documentName, int count,
                const std::function<ReportPage(int)>& page) {
    PrintJob job(context.dialogs, context.printer, context.taal(), context.knowPrinterSetting,
                 documentName);
    for (int i = 0; i < count; ++i) {
        if (!job.PrintPage(page(i))) {
            return false;
        }
    }
    return job.Finish();
}

}  // namespace qrv::pages
