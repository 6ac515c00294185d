#include "reports/printouts/period_loading.h"

#include "storage/period_files.h"

namespace qrv {

void FindPeriodFiles(PeriodData& data, const PeriodSelection& selection,
                     const std::filesystem::path& dataDirectory, int taal,
                     ReportProgress& progress) {
    ClearSensorStructure(data);
    switch (selection.period) {
        case ReportPeriod::Month:
            FindFilesOfThisMonth(data, dataDirectory, selection.year, selection.month, taal,
                                 progress);
            break;
        case ReportPeriod::Week:
            FindFilesOfThisWeek(data, dataDirectory, selection.year, selection.week, taal,
                                progress);
            break;
        case ReportPeriod::Day:
            FindFileOfThisDay(data, dataDirectory, selection.year, selection.month, selection.day,
                              taal, progress);
            break;
    }
}

int LoadPeriod(PeriodData& data, const PeriodSelection& selection,
               const std::filesystem::path& dataDirectory, int taal, ReportProgress& progress,
               const PeriodDayConsumer& onDay) {
    FindPeriodFiles(data, selection, dataDirectory, taal, progress);
    if (progress.ReportAbort()) {
        return 0;
    }
    const bool hourly = selection.period != ReportPeriod::Week;
    return onDay ? GetAllDataAndDaysFromDisk(data, hourly, taal, progress, onDay)
                 : GetAllDataFromDisk(data, hourly, taal, progress);
}

}  // namespace qrv
