#pragma once

#include <optional>

#include "records/out_of_range.h"
#include "reports/page_model.h"
#include "reports/printouts/print_context.h"
#include "storage/month_sensor.h"

namespace qrv {

// The report periods, numbered as the menu commands pass them.
enum class ReportPeriod { Month = 0, Week = 1, Day = 2 };

// What the report panel has narrowed the period to.
struct PeriodSelection {
    ReportPeriod period = ReportPeriod::Month;
    int year = 2000;  // the ISO week-numbering year for a week
    int month = 1;
    int day = 1;
    int week = 1;
};

// The month or week page of one probe of the period read into MonthSensor:
// landscape, the min/max curve through every slot, the statistics block,
// and after it the probe's minutes out of range when they are known.
ReportPage MakePeriodPage(const MonthEntry& entry, const PeriodSelection& selection,
                          const PrintContext& context,
                          const std::optional<records::TimeOutOfRange>& outOfRange = std::nullopt);

// The curve of a period page: every slot i at X = 2 slot and 2 slot + 1, its
// maximum then minimum for even i and the reverse for odd i, so that one
// line runs down and up through every slot's range.
void AddSlotCurve(const MonthEntry& entry, GraphModel& graph);

}  // namespace qrv
