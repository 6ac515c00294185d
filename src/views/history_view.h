#pragma once

#include <optional>
#include <string>

#include "reports/page_model.h"
#include "storage/history_sensor.h"

namespace qrv::views {

// The two menu commands that open the history panel.
inline constexpr int kViewHistory = 1;    // the station's own previous days
inline constexpr int kViewSavedData = 2;  // result files kept elsewhere; no day stepping

// The opening rules of the view: a day loaded by the other mode, or cleared
// since, is not shown again. Returns whether the loaded day can be shown
// without asking for a file; updates HistoryInitialized, HistoryIndex and
// the remembered mode (LastViewAction).
bool ReuseLoadedDay(HistoryData& data, int& lastViewAction, int mode);

// The probe shown after another day was loaded: the same position when the
// new day has that many probes, else the first.
int ProbeIndexAfterLoad(int wanted, int historyMaxIndex);

// What the view shows of probe HistoryIndex: name, type line, extremes and
// graph (no curve for a probe with a single value).
struct HistoryScreen {
    std::string probeName;
    std::string typeLine;
    std::string maxLine;
    std::string minLine;
    std::string registrationDate;
    GraphModel graph;
};
std::optional<HistoryScreen> MakeHistoryScreen(const HistoryData& data, int keuzeGraphStyle,
                                               int taal);

// The cursor read-out of a point of the shown probe; nullopt when the index
// lies outside its values.
struct Readout {
    std::string time;
    std::string value;
};
std::optional<Readout> HistoryReadout(const HistoryData& data, int point, int taal);

}  // namespace qrv::views
