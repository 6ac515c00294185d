#pragma once

#include <string>
#include <vector>

namespace qrv::shell {

class ResultsTableView;

struct ProbeMenuItem {
    std::string label;  // "__" followed by the probe's name
    int index = 0;
};

// The main window's menu bar and what its commands open. Only the window's
// commands and followers use it: the station's start-up, installation and
// shutdown announce their changes on the feed instead, so a station without
// a window has nothing to stand in for it.
class MainWindowView {
  public:
    virtual ~MainWindowView() = default;

    // Relabels the title, the menu bar, the alarm button and the mode line in
    // the current language.
    virtual void TranslateQRVMenu() = 0;
    // Sets every check mark from the settings.
    virtual void UpdateCheckMarks() = 0;
    // Dims the items by mode and installation (the menu timer's work).
    virtual void HandleSetMenuItems() = 0;
    virtual void SetComPortItems(const std::vector<int>& ports) = 0;
    virtual void SetProbeItems(const std::vector<ProbeMenuItem>& probes) = 0;
    virtual void SetYearItems(const std::vector<int>& years) = 0;

    // The views and printouts the menu opens; each returns when the user
    // has left it. period: 0 month, 1 week, 2 day; mode: 1 history, 2 saved data.
    virtual void DoeProbeViewPanel(int index) = 0;
    virtual void LaatViewNuZien(int mode) = 0;
    virtual void PrintMoWeDayReport(int period, int year) = 0;
    // The daily minimum and maximum sheet of a month of the year.
    virtual void PrintDailySheet(int year) = 0;
    virtual void PrintSystemSettings() = 0;
    virtual void PrintProbeSettings() = 0;

    // The main panel's results table, for the commands that rebuild it.
    virtual ResultsTableView& ResultsTable() = 0;

    // Ends the event loop; the shutdown follows.
    virtual void QuitUserInterface() = 0;
};

}  // namespace qrv::shell
