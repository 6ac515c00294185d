#include "reports/pages/panel_style.h"

#include <QFontDatabase>

namespace qrv::pages {

void StyleHeading(QLabel& label, int pixelSize) {
    QFont font = label.font();
    font.setPixelSize(pixelSize);
    font.setBold(true);
    label.setFont(font);
}

void StyleValueBox(QLabel& label) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(15);
    label.setFont(font);
    label.setMinimumWidth(110);
    label.setMaximumWidth(180);
    label.setAlignment(Qt::AlignCenter);
    label.setStyleSheet(
        "QLabel { background: white; border: 1px solid #9AA5B1; border-radius: 3px; "
        "padding: 3px 8px; }");
}

void StyleMono(QLabel& label) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(14);
    label.setFont(font);
}

void StyleMessageLine(QLabel& label) {
    label.setStyleSheet("color: #0033CC;");
    label.setWordWrap(false);
}

QFrame* HorizontalRule(QWidget* parent) {
    auto* rule = new QFrame(parent);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    return rule;
}

}  // namespace qrv::pages
