#pragma once

#include <QPainter>
#include <QRectF>

#include "reports/page_model.h"

namespace qrv::pages {

// Paints a page into area, in points (1/72 inch): the painter's transform
// maps points to the device, so a page looks the same on a printer, in a
// PDF file and on screen.
void PaintPage(QPainter& painter, const QRectF& area, const ReportPage& page);

}  // namespace qrv::pages
