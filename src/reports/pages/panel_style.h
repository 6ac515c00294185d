#pragma once

#include <QFrame>
#include <QLabel>
#include <QString>
#include <string>

#include "qt_values/qt_values.h"

namespace qrv::pages {

// The look the view and report panels share.
void StyleHeading(QLabel& label, int pixelSize);
// A framed box for a read-out (cursor time and value).
void StyleValueBox(QLabel& label);
// Fixed-column texts (max and min lines, statistics).
void StyleMono(QLabel& label);
// The message line of a panel while it reads: blue, hidden when empty.
void StyleMessageLine(QLabel& label);
QFrame* HorizontalRule(QWidget* parent);

}  // namespace qrv::pages
