#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "reports/graph_axis.h"
#include "reports/plot_style.h"

namespace qrv {

// A probe's alarm or pre-alarm limit across the whole graph, in the colour
// of its alarm state.
struct LimitLine {
    double value = 0.0;
    std::uint32_t colour = 0;
    friend bool operator==(const LimitLine&, const LimitLine&) = default;
};

// A graph as the station draws it, on screen and on paper alike: a labelled
// X range, a value axis scaled by ComputeValueAxis, one series and the
// probe's limits.
struct GraphModel {
    double xLo = 0.0;
    double xHi = kMinutesPerDay;
    std::vector<AxisLabel> xLabels;
    ValueAxis y;
    std::vector<AxisLabel> yLabels;  // label strings instead of numbers (a switch)
    std::string yTitle;
    PlotStyle style;
    std::vector<double> xs;  // no curve when empty
    std::vector<double> ys;
    std::vector<LimitLine> limits;
};

enum class PageOrientation { Portrait, Landscape };

// The three page designs: a month or week page (graph and statistics), a day
// page (graph and value lines) and a list page (rows of fixed columns).
enum class PageLayout { Period, Day, List };

// One printed page, ready to be painted. Texts are UTF-8; the body, column
// headers and statistics are fixed-column lines printed in a monospaced font.
struct ReportPage {
    PageLayout layout = PageLayout::Day;
    PageOrientation orientation = PageOrientation::Portrait;
    std::string banner;  // product banner and printing date
    std::string title;
    std::string pageLine;              // "Page 2 of 3"; empty when the page has none
    std::vector<std::string> details;  // address, network, probe, period, file ...
    std::string typeLine;
    std::string maxLine;
    std::string minLine;
    std::optional<GraphModel> graph;
    std::vector<std::string> columnHeader;
    std::vector<std::string> body;
    // The body rows a list page's font is sized for, when more than it holds:
    // the pages of one printout then share their font whatever each holds.
    std::size_t bodyRoom = 0;
    std::vector<std::string> statistics;
};

// Where finished pages go: a printer, or a PDF file.
class PageOutput {
  public:
    virtual ~PageOutput() = default;
    // false when the page could not be printed; the output is then unusable.
    virtual bool AddPage(const ReportPage& page) = 0;
    // Ends the job; false when it failed.
    virtual bool Finish() = 0;
};

}  // namespace qrv
