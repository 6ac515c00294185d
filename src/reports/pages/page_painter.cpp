#include "reports/pages/page_painter.h"

#include <QFontMetricsF>

#include <algorithm>
#include <cmath>

#include "qt_values/qt_values.h"
#include "reports/pages/graph_painter.h"

namespace qrv::pages {

namespace {

constexpr double kGap = 6.0;

// Ligatures would put "ffi" into the PDF as one glyph, and neither a text
// extractor nor a viewer's search would then find "Office": no shaping where
// the script does not need it (Latin never does).
constexpr QFont::StyleStrategy kSearchable = QFont::PreferNoShaping;

QFont Sans(double size, bool bold = false) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif, kSearchable);
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(size))));
    font.setBold(bold);
    return font;
}

QFont Mono(double size, bool bold = false) {
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setStyleHint(QFont::Monospace, kSearchable);
    font.setFixedPitch(true);
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(size))));
    font.setBold(bold);
    return font;
}

// Draws lines top down from y; returns the y below the last one.
double DrawLines(QPainter& painter, const QFont& font, double x, double y, double width,
                 const std::vector<std::string>& lines, double spacing = 1.25,
                 Qt::TextElideMode elide = Qt::ElideRight) {
    painter.setFont(font);
    const QFontMetricsF metrics(font);
    const double height = metrics.height() * spacing;
    for (const std::string& line : lines) {
        const QString text = metrics.elidedText(Q(line), elide, width);
        painter.drawText(QRectF(x, y, width, height), Qt::AlignLeft | Qt::AlignVCenter, text);
        y += height;
    }
    return y;
}

// The largest size (at most `largest`) at which the lines fit the box. The
// font comes in whole pixels, whose glyphs are not exactly a scaled copy of
// the large one's: the longest line is measured at the size chosen, so no
// line is shortened when it is drawn.
double FittingMonoSize(const std::vector<std::string>& lines, std::size_t extraLines, double width,
                       double height, double largest) {
    QString longest = QStringLiteral("0");
    for (const std::string& line : lines) {
        const QString text = Q(line);
        if (text.size() > longest.size()) {
            longest = text;
        }
    }
    const QFontMetricsF unit(Mono(100.0));
    const double perCharacter = unit.horizontalAdvance(QLatin1Char('0')) / 100.0;
    const double perLine = unit.height() * 1.15 / 100.0;
    const double byWidth = width / (perCharacter * static_cast<double>(longest.size()));
    const double byHeight =
        height /
        (perLine * static_cast<double>(std::max<std::size_t>(1, lines.size() + extraLines)));
    constexpr double kSmallest = 4.0;
    double size = std::floor(std::clamp(std::min(byWidth, byHeight), kSmallest, largest));
    while (size > kSmallest && QFontMetricsF(Mono(size)).horizontalAdvance(longest) > width) {
        size -= 1.0;
    }
    return size;
}

// Banner and page line, title, detail lines and a rule; returns the y below.
double PaintHeader(QPainter& painter, const QRectF& area, const ReportPage& page) {
    double y = area.top();
    const QFont small = Sans(8.0);
    painter.setFont(small);
    const double bannerHeight = QFontMetricsF(small).height() * 1.3;
    painter.setPen(QColor(0x40, 0x40, 0x40));
    const QRectF bannerBox(area.left(), y, area.width(), bannerHeight);
    painter.drawText(bannerBox, Qt::AlignRight | Qt::AlignVCenter, Q(page.pageLine));
    const double pageLineWidth =
        page.pageLine.empty() ? 0.0 : QFontMetricsF(small).horizontalAdvance(Q(page.pageLine)) + 12;
    DrawLines(painter, small, area.left(), y, area.width() - pageLineWidth, {page.banner}, 1.3);
    y += bannerHeight + 4;

    painter.setPen(Qt::black);
    // A list page's title carries the file name: smaller rather than cut.
    QFont title = Sans(15.0, true);
    const double titleWidth = QFontMetricsF(title).horizontalAdvance(Q(page.title));
    if (titleWidth > area.width()) {
        title = Sans(std::max(9.0, 15.0 * area.width() / titleWidth), true);
    }
    y = DrawLines(painter, title, area.left(), y, area.width(), {page.title}, 1.3) + 2;
    // A long folder keeps its start and its end.
    y = DrawLines(painter, Sans(9.5), area.left(), y, area.width(), page.details, 1.3,
                  Qt::ElideMiddle) +
        3;
    painter.setPen(QPen(QColor(0x80, 0x80, 0x80), 0.5));
    painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
    painter.setPen(Qt::black);
    return y + kGap;
}

// The probe type on the left, maximum and minimum on the right.
double PaintGraphCaption(QPainter& painter, double left, double y, double width,
                         const ReportPage& page) {
    const QFont bold = Sans(10.0, true);
    const QFont plain = Mono(9.5);
    const double height = QFontMetricsF(bold).height() * 1.4;
    painter.setFont(bold);
    painter.drawText(QRectF(left, y, width, height), Qt::AlignLeft | Qt::AlignVCenter,
                     Q(page.typeLine));
    painter.setFont(plain);
    const QString extremes = Q(page.maxLine) + QStringLiteral("     ") + Q(page.minLine);
    painter.drawText(QRectF(left, y, width, height), Qt::AlignRight | Qt::AlignVCenter,
                     extremes.trimmed());
    return y + height;
}

void PaintPeriodBody(QPainter& painter, const QRectF& area, double y, const ReportPage& page) {
    y = PaintGraphCaption(painter, area.left(), y, area.width(), page);
    const QFont statsFont = Mono(9.0);
    const QFontMetricsF metrics(statsFont);
    double statsWidth = 0.0;
    for (const std::string& line : page.statistics) {
        statsWidth = std::max(statsWidth, metrics.horizontalAdvance(Q(line)));
    }
    statsWidth += 8;
    const QRectF graphBox(area.left(), y, area.width() - statsWidth - kGap, area.bottom() - y);
    if (page.graph) {
        PaintGraph(painter, graphBox, *page.graph);
    }
    const double statsLeft = area.right() - statsWidth + 8;
    std::vector<std::string> block = page.statistics;
    if (!block.empty()) {
        DrawLines(painter, Mono(9.0, true), statsLeft, y + 8, statsWidth, {block.front()});
        block.erase(block.begin());
        DrawLines(painter, statsFont, statsLeft, y + 8 + metrics.height() * 1.8, statsWidth, block,
                  1.45);
    }
}

void PaintDayBody(QPainter& painter, const QRectF& area, double y, const ReportPage& page) {
    y = PaintGraphCaption(painter, area.left(), y, area.width(), page);
    // The value lines keep their size; the graph takes the rest of the page.
    const double lineSize =
        page.body.empty() ? 9.0
                          : FittingMonoSize(page.body, 0, area.width(), area.height() * 0.5, 8.5);
    const QFont lineFont = Mono(lineSize);
    const double linesHeight =
        static_cast<double>(page.body.size()) * QFontMetricsF(lineFont).height() * 1.15;
    const double graphHeight = area.bottom() - y - linesHeight - (page.body.empty() ? 0 : kGap);
    if (page.graph) {
        PaintGraph(painter, QRectF(area.left(), y, area.width(), graphHeight), *page.graph);
    }
    DrawLines(painter, lineFont, area.left(), area.bottom() - linesHeight, area.width(), page.body,
              1.15);
}

void PaintListBody(QPainter& painter, const QRectF& area, double y, const ReportPage& page) {
    std::vector<std::string> all = page.columnHeader;
    all.insert(all.end(), page.body.begin(), page.body.end());
    const std::size_t unused = std::max(page.bodyRoom, page.body.size()) - page.body.size();
    const double size = FittingMonoSize(all, unused + 1, area.width(), area.bottom() - y, 9.5);
    y = DrawLines(painter, Mono(size, true), area.left(), y, area.width(), page.columnHeader, 1.15);
    painter.setPen(QPen(QColor(0x80, 0x80, 0x80), 0.4));
    painter.drawLine(QPointF(area.left(), y + 1), QPointF(area.right(), y + 1));
    painter.setPen(Qt::black);
    DrawLines(painter, Mono(size), area.left(), y + 3, area.width(), page.body, 1.15);
}

}  // namespace

void PaintPage(QPainter& painter, const QRectF& area, const ReportPage& page) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(Qt::black);
    const double y = PaintHeader(painter, area, page);
    switch (page.layout) {
        case PageLayout::Period:
            PaintPeriodBody(painter, area, y, page);
            break;
        case PageLayout::Day:
            PaintDayBody(painter, area, y, page);
            break;
        case PageLayout::List:
            PaintListBody(painter, area, y, page);
            break;
    }
    painter.restore();
}

}  // namespace qrv::pages
