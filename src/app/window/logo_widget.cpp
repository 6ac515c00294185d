#include "app/window/logo_widget.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace qrv::window {

namespace {
const QColor kInk(0x1F, 0x3A, 0x5F);
const QColor kAccent(0x00, 0x66, 0xCC);
const QColor kWarm(0xE8, 0x8A, 0x1A);
}  // namespace

LogoWidget::LogoWidget(QWidget* parent) : QWidget(parent) {
    setMinimumSize(320, 260);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void LogoWidget::SetSubtitle(const QString& subtitle) {
    subtitle_ = subtitle;
    update();
}

void LogoWidget::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    const double size = std::min(width() * 0.5, height() * 0.45);
    const QPointF centre(width() / 2.0, height() / 2.0 - size * 0.22);
    const double radius = size / 2.0;

    // Three probe lines coming in from the left, each with its probes.
    for (int line = -1; line <= 1; ++line) {
        const double y = centre.y() + line * radius * 0.42;
        const double xStart = centre.x() - radius * 2.1;
        const double dy = y - centre.y();
        const double ringOuter = radius * 0.9;
        const double xEnd = centre.x() - std::sqrt(ringOuter * ringOuter - dy * dy);
        painter.setPen(QPen(kInk.lighter(160), radius * 0.05, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(xStart, y), QPointF(xEnd, y));
        painter.setPen(Qt::NoPen);
        painter.setBrush(line == 0 ? kWarm : kAccent);
        for (int probe = 0; probe < 3; ++probe) {
            const double x = xStart + (xEnd - xStart) * (0.15 + probe * 0.3);
            painter.drawEllipse(QPointF(x, y), radius * 0.075, radius * 0.075);
        }
    }

    // The ring (the interface unit) with a thermometer inside.
    painter.setPen(QPen(kInk, radius * 0.1));
    painter.setBrush(Qt::white);
    painter.drawEllipse(centre, radius * 0.85, radius * 0.85);
    QPainterPath stem;
    const double stemWidth = radius * 0.16;
    stem.addRoundedRect(
        QRectF(centre.x() - stemWidth / 2, centre.y() - radius * 0.5, stemWidth, radius * 0.75),
        stemWidth / 2, stemWidth / 2);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kAccent);
    painter.drawPath(stem);
    painter.drawEllipse(QPointF(centre.x(), centre.y() + radius * 0.3), radius * 0.17,
                        radius * 0.17);

    QFont name = font();
    name.setPixelSize(std::max(14, static_cast<int>(radius * 0.42)));
    name.setBold(true);
    name.setLetterSpacing(QFont::PercentageSpacing, 115);
    painter.setFont(name);
    painter.setPen(kInk);
    const QRectF nameBox(0, centre.y() + radius * 1.05, width(), radius * 0.6);
    painter.drawText(nameBox, Qt::AlignHCenter | Qt::AlignVCenter, QStringLiteral("QUORVANEL"));

    QFont sub = font();
    sub.setPixelSize(std::max(11, static_cast<int>(radius * 0.17)));
    painter.setFont(sub);
    painter.setPen(kInk.lighter(150));
    painter.drawText(QRectF(0, nameBox.bottom(), width(), radius * 0.4),
                     Qt::AlignHCenter | Qt::AlignTop, subtitle_);
}

}  // namespace qrv::window
