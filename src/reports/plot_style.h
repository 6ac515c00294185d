#pragma once

#include <cstdint>

namespace qrv {

// How a series is drawn.
enum class PlotLook {
    Bar,         // a vertical bar from the axis bottom to each value
    Line,        // a thin line through the values
    LinePoints,  // a thin line with a mark on every value
    Dots,        // a mark on every value, no line
    ThickLine,   // a heavy line, for switches and period min/max curves
};

struct PlotStyle {
    PlotLook look = PlotLook::Line;
    std::uint32_t colour = 0x000000;  // 0xRRGGBB
    bool smallMarks = false;          // small marks instead of the screen's larger ones

    friend bool operator==(const PlotStyle&, const PlotStyle&) = default;
};

inline constexpr std::uint32_t kBarColour = 0x000080;

// The user's graph style (0 bar, 1 line, 2 connected points, 3 dots; any
// other value a line) on the current-values and history graphs; a switch is
// always drawn as a heavy line.
PlotStyle ScreenPlotStyle(int keuzeGraphStyle, int probeType);

// Day pages and hard copies: connected points with small marks, a heavy line
// for a switch.
PlotStyle PrintedDayPlotStyle(int probeType);

// Month and week pages: one heavy black line down and up through every slot.
PlotStyle PeriodPlotStyle();

}  // namespace qrv
