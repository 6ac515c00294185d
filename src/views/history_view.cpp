#include "views/history_view.h"

#include "reports/printouts/day_pages.h"
#include "reports/value_text.h"
#include "views/current_values.h"

namespace qrv::views {

bool ReuseLoadedDay(HistoryData& data, int& lastViewAction, int mode) {
    if (data.HistoryInitialized == 0) {
        lastViewAction = 0;
        data.HistoryIndex = 0;
    }
    if (lastViewAction != mode) {
        data.HistoryInitialized = 0;
    }
    lastViewAction = mode;
    return data.HistoryInitialized == 1;
}

int ProbeIndexAfterLoad(int wanted, int historyMaxIndex) {
    return wanted > historyMaxIndex || wanted < 0 ? 0 : wanted;
}

std::optional<HistoryScreen> MakeHistoryScreen(const HistoryData& data, int keuzeGraphStyle,
                                               int taal) {
    const int e = data.HistoryIndex;
    if (e < 0 || e > data.HistoryMaxIndex) {
        return std::nullopt;
    }
    const HistoEntry& entry = data.HistoSensor[static_cast<std::size_t>(e)];
    const DaySeries series = SeriesOf(entry);
    HistoryScreen screen;
    screen.probeName = entry.ProbeName.utf8;
    screen.typeLine = ProbeTypeLine(entry.ProbeType, taal);
    ExtremeLines lines =
        ExtremeLinesOf(entry.ProbeType, entry.MinValue, entry.MaxValue, entry.ProbeUnits);
    screen.maxLine = std::move(lines.maxLine);
    screen.minLine = std::move(lines.minLine);
    screen.registrationDate = data.EuroHistoryDatum;
    screen.graph = DayGraph(series, kScreenAxisMargin,
                            ScreenPlotStyle(keuzeGraphStyle, entry.ProbeType), 2, taal);
    return screen;
}

std::optional<Readout> HistoryReadout(const HistoryData& data, int point, int taal) {
    const int e = data.HistoryIndex;
    if (e < 0 || e > data.HistoryMaxIndex) {
        return std::nullopt;
    }
    const HistoEntry& entry = data.HistoSensor[static_cast<std::size_t>(e)];
    if (point < 0 || point > entry.LastIndex) {
        return std::nullopt;
    }
    const auto i = static_cast<std::size_t>(point);
    return Readout{CursorTimeText(entry.SampleTime[i]),
                   CursorValueText(entry.ProbeType, entry.SampleValue[i], entry.ProbeUnits, taal)};
}

}  // namespace qrv::views
