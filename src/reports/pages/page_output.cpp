#include "reports/pages/page_output.h"

#include <QFileInfo>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>

#include "reports/pages/page_painter.h"

namespace qrv::pages {

namespace {

constexpr double kMarginMillimetres = 12.0;

QPageLayout::Orientation OrientationOf(const ReportPage& page) {
    return page.orientation == PageOrientation::Landscape ? QPageLayout::Landscape
                                                          : QPageLayout::Portrait;
}

}  // namespace

PrinterPageOutput::PrinterPageOutput(std::unique_ptr<QPrinter> printer)
    : printer_(std::move(printer)) {}

PrinterPageOutput::~PrinterPageOutput() {
    if (painter_.isActive()) {
        painter_.end();
    }
}

bool PrinterPageOutput::AddPage(const ReportPage& page) {
    if (failed_) {
        return false;
    }
    if (!started_ || printer_->pageLayout().orientation() != OrientationOf(page)) {
        printer_->setPageOrientation(OrientationOf(page));
    }
    if (!started_) {
        started_ = true;
        if (!painter_.begin(printer_.get())) {
            failed_ = true;
            return false;
        }
    } else if (!printer_->newPage()) {
        failed_ = true;
        return false;
    }
    // Pages are laid out in points; the painter maps them to the device.
    const QRectF paint = printer_->pageLayout().paintRectPoints();
    const double scale = printer_->resolution() / 72.0;
    painter_.resetTransform();
    painter_.scale(scale, scale);
    PaintPage(painter_, QRectF(0, 0, paint.width(), paint.height()), page);
    return true;
}

bool PrinterPageOutput::Finish() {
    if (painter_.isActive() && !painter_.end()) {
        failed_ = true;
    }
    if (printer_->printerState() == QPrinter::Error) {
        failed_ = true;
    }
    return !failed_;
}

std::unique_ptr<QPrinter> MakePrinter(const PrintTarget& target, const std::string& documentName) {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    if (target.pdfPath.empty()) {
        printer->setPrinterName(QString::fromStdString(target.printerName));
    } else {
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(QString::fromStdString(target.pdfPath));
        printer->setPageSize(QPageSize(QPageSize::A4));
    }
    printer->setDocName(QString::fromStdString(documentName));
    printer->setPageMargins(
        QMarginsF(kMarginMillimetres, kMarginMillimetres, kMarginMillimetres, kMarginMillimetres),
        QPageLayout::Millimeter);
    return printer;
}

std::unique_ptr<PageOutput> PrinterOpener::Open(const PrintTarget& target,
                                                const std::string& documentName) {
    std::unique_ptr<QPrinter> printer = MakePrinter(target, documentName);
    if (!printer->isValid()) {
        return nullptr;
    }
    return std::make_unique<PrinterPageOutput>(std::move(printer));
}

std::unique_ptr<PageOutput> OpenPdfOutput(const std::string& path) {
    // QPrinter only finds out at the first page that it cannot write the file.
    const QFileInfo directory(QFileInfo(QString::fromStdString(path)).absolutePath());
    if (!directory.isDir() || !directory.isWritable()) {
        return nullptr;
    }
    return PrinterOpener().Open(PrintTarget{"", path}, "Quorvanel");
}

}  // namespace qrv::pages
