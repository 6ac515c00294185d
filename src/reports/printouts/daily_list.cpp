#include "reports/printouts/daily_list.h"

#include <algorithm>
#include <optional>

#include <fmt/format.h>

#include "reports/text_columns.h"
#include "reports/value_text.h"
#include "text/texts.h"

namespace qrv {

using text::Key;

namespace {

// A name of nine characters would touch the next one: the columns are one
// blank wider than the names' nine characters and the values' eight, so
// that names stand apart over their values.
constexpr std::size_t kListNameWidth = 9;

}  // namespace

int DailyListPageCount(int probes) {
    return probes <= 0 ? 0 : (probes + kListProbesPerPage - 1) / kListProbesPerPage;
}

std::string ListCell(std::optional<double> value, int probeType, std::string_view units, int taal) {
    if (!value || *value < kErrorValueLimit) {
        return "    -   ";
    }
    if (probeType == kTypeSwitch) {
        return "  " + PrintedSwitchText(*value, taal);
    }
    return ValueWithUnits(*value, units);
}

ReportPage MakeDailyListPage(const HistoryData& day, int page, int pages,
                             const PrintContext& context) {
    const int taal = context.taal;
    const int first = kListProbesPerPage * (page - 1);
    const int last = std::min(first + kListProbesPerPage - 1, day.HistoryMaxIndex);

    ReportPage list;
    list.layout = PageLayout::List;
    list.orientation = PageOrientation::Portrait;
    // The title names the day's file; its folder, which can be long, goes
    // below with the other details.
    list.title = DayRecordTitle(day.EuroHistoryDatum, context) + "   " +
                 day.HistoryFileName.filename().string();
    list.pageLine = text::Plain(Key::TXT_PAGE_NUM, taal) + std::to_string(page) +
                    text::Plain(Key::TXT_PAGE_OF, taal) + std::to_string(pages);
    list.banner = PrintingBanner(context);
    list.details = {NetworkLine(context),
                    text::Plain(Key::TXT_REGISTRATION_DATE, taal) + day.EuroHistoryDatum,
                    day.HistoryFileName.string()};

    std::string header(5, ' ');
    for (int e = first; e <= last; ++e) {
        header += "  " + FitCharacters(day.HistoSensor[static_cast<std::size_t>(e)].ProbeName.utf8,
                                       kListNameWidth);
    }
    list.columnHeader.push_back(std::move(header));

    list.body.reserve(kListRowCount);
    for (int row = 0; row < kListRowCount; ++row) {
        list.body.push_back(fmt::format("{:02d}:{:02d}", row / 2, 30 * (row % 2)));
    }
    for (int e = first; e <= last; ++e) {
        const HistoEntry& entry = day.HistoSensor[static_cast<std::size_t>(e)];
        for (int row = 0; row < kListRowCount; ++row) {
            const std::optional<double> value = ZoekInHistoSensor(day, e, 30 * row);
            list.body[static_cast<std::size_t>(row)] +=
                "   " + ListCell(value, entry.ProbeType, entry.ProbeUnits, taal);
        }
    }
    return list;
}

}  // namespace qrv
