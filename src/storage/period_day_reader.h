#pragma once

#include <functional>
#include <map>
#include <string_view>
#include <vector>

#include "storage/history_sensor.h"
#include "storage/month_sensor.h"
#include "storage/read_progress.h"

namespace qrv {

// What a period's report needs besides its slots: each day whole (the
// minutes out of range, the daily sheet). Called once per file read, in the
// order of the period, right after the file's slots were added.
using PeriodDayConsumer = std::function<void(int position, const HistoryData& day)>;

// One file's share of a period, as the period reader would add it: for each
// probe, in the order of its first kept value, the file's slot entries,
// extremes, and the name and type character of its last kept line. A file's
// slots all lie after those of the files before it, so this share does not
// depend on them and files can be parsed side by side.
struct PeriodDay {
    struct Slot {
        int number = 0;
        double max = 0.0;
        double min = 0.0;
    };
    struct Probe {
        KeyChars key{};         // first character "0"
        std::string_view name;  // into the file's bytes
        char typeChar = '0';
        double min = 0.0;
        double max = 0.0;
        std::vector<Slot> slotEntries;
    };
    std::vector<Probe> probes;  // the first `count` are this file's
    std::size_t count = 0;
    std::map<KeyChars, std::size_t> index;  // for lines out of their usual place

    void Clear();
};

// Parses a file of the period: every value into `day` as the history reader
// keeps them (day is cleared first; its HistoryFileName names the file) and
// the period's share into `share`, worked out from the day. Only a file
// whose day leaves out what the period keeps (a failed reading between the
// two readers' thresholds, a probe beyond the day's entries) is parsed a
// second time for its share. Returns the header check's result. Touches
// nothing else, so it may run on any thread.
int ParseDayOfPeriod(std::string_view bytes, int position, bool hourly, HistoryData& day,
                     PeriodDay& share);

// Adds a file's share to the period's entries, as reading the file there
// line by line would have.
void MergeDayOfPeriod(PeriodData& data, const PeriodDay& share);

// GetAllDataFromDisk that also hands every file's day to onDay, each file
// read and parsed once. Two files are parsed at a time, the second on a
// helper thread when it gets to it first; progress (the file being read:
// each takes milliseconds, so not the blocks' times) and onDay are called
// on the calling thread only.
int GetAllDataAndDaysFromDisk(PeriodData& data, bool hourly, int taal, ReportProgress& progress,
                              const PeriodDayConsumer& onDay);

}  // namespace qrv
