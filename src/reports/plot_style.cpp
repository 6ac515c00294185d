#include "reports/plot_style.h"

#include "sensors/sensor_record.h"

namespace qrv {

PlotStyle ScreenPlotStyle(int keuzeGraphStyle, int probeType) {
    if (probeType == kTypeSwitch) {
        return {PlotLook::ThickLine, 0x000000, false};
    }
    switch (keuzeGraphStyle) {
        case 0:
            return {PlotLook::Bar, kBarColour, false};
        case 2:
            return {PlotLook::LinePoints, 0x000000, false};
        case 3:
            return {PlotLook::Dots, 0x000000, false};
        default:
            return {PlotLook::Line, 0x000000, false};
    }
}

PlotStyle PrintedDayPlotStyle(int probeType) {
    if (probeType == kTypeSwitch) {
        return {PlotLook::ThickLine, 0x000000, false};
    }
    return {PlotLook::LinePoints, 0x000000, true};
}

PlotStyle PeriodPlotStyle() {
    return {PlotLook::ThickLine, 0x000000, false};
}

}  // namespace qrv
