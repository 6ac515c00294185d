#pragma once

#include <QColor>
#include <QString>
#include <cstdint>
#include <string_view>

// The station keeps its texts as UTF-8 std::strings and its colours as 0xRRGGBB
// numbers, so that the core needs no Qt; the widgets convert them here.
namespace qrv {

inline QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline QColor FromRgb(std::uint32_t rgb) {
    return QColor::fromRgb(static_cast<QRgb>(rgb));
}

}  // namespace qrv
