#pragma once

#include <QPainter>
#include <QPrinter>

#include <memory>
#include <string>

#include "reports/page_model.h"
#include "runtime/dialogs.h"

namespace qrv::pages {

// Pages painted onto a Qt printer: a real printer (CUPS) or a PDF file. Each
// page sets its own orientation before it is started.
class PrinterPageOutput final : public PageOutput {
  public:
    explicit PrinterPageOutput(std::unique_ptr<QPrinter> printer);
    ~PrinterPageOutput() override;

    bool AddPage(const ReportPage& page) override;
    bool Finish() override;

  private:
    std::unique_ptr<QPrinter> printer_;
    QPainter painter_;
    bool started_ = false;
    bool failed_ = false;
};

// A printer for the target the printer dialog chose: the named printer, or a
// PDF file; A4 with 12 mm margins unless the printer says otherwise.
std::unique_ptr<QPrinter> MakePrinter(const PrintTarget& target, const std::string& documentName);

// Opens the output for a print target. Tests and the report tool replace it
// to print elsewhere.
class PageOutputOpener {
  public:
    virtual ~PageOutputOpener() = default;
    virtual std::unique_ptr<PageOutput> Open(const PrintTarget& target,
                                             const std::string& documentName) = 0;
};

class PrinterOpener final : public PageOutputOpener {
  public:
    std::unique_ptr<PageOutput> Open(const PrintTarget& target,
                                     const std::string& documentName) override;
};

// A PDF file of the given pages, for the report tool; nullptr when the file
// cannot be written.
std::unique_ptr<PageOutput> OpenPdfOutput(const std::string& path);

}  // namespace qrv::pages
