#pragma once

#include <algorithm>
#include <cstring>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "storage/result_file_format.h"

namespace qrv {

// The lines of a result file, as LineReader gives them (CR LF or LF, at most
// kResultLineLimit characters each), inline for the scan of every value.
class ResultFileLines {
  public:
    explicit ResultFileLines(std::string_view bytes)
        : next_(bytes.data()), end_(bytes.data() + bytes.size()) {}

    // The view goes into a caller's variable, not into an optional: a
    // string_view stored in two halves and copied whole stalls the processor
    // on every line.
    bool Next(std::string_view& line) {
        if (next_ >= end_) {
            return false;
        }
        const auto* newline = static_cast<const char*>(
            std::memchr(next_, '\n', static_cast<std::size_t>(end_ - next_)));
        const char* stop = newline != nullptr ? newline : end_;
        const char* contentEnd = stop > next_ && stop[-1] == '\r' ? stop - 1 : stop;
        line = std::string_view(
            next_, std::min(static_cast<std::size_t>(contentEnd - next_), kResultLineLimit));
        next_ = newline != nullptr ? newline + 1 : end_;
        return true;
    }
    std::optional<std::string_view> Next() {
        std::string_view line;
        return Next(line) ? std::optional(line) : std::nullopt;
    }

  private:
    const char* next_;
    const char* end_;
};

// Cheap tests a probe line fails long before the full parse would: a block
// header has eight to eleven characters, one behind a torn line has its
// colon nine from the end.
inline bool MayBeSampleHeader(std::string_view line) {
    return line.size() >= 8 && line.size() <= 11;
}
inline bool MayEndInSampleHeader(std::string_view line) {
    return line.size() > 11 && line[line.size() - 9] == ':';
}

struct ResultHeaderCheck {
    // 0, or minus the number of the last of header lines 1..4 that did not match.
    int result = 0;
    // Line 5, when the file has one before its first block.
    std::optional<std::string_view> dateLine;
};

// Walks the blocks of a result file held in memory. onBlock(const SampleHeader&)
// is called before each block and returns false to stop the walk;
// onProbe(int position, const ProbeLine&) gets every well-formed probe line
// with its position in the block.
//
// A damaged file must never shift the reading of the blocks after the damage:
// a line shaped like a sample header, or ending in one, always starts a new
// block, even when the block before it is short of lines; lines of any other
// shape are skipped (inside a block they still use up their position). A
// missing header is reported as a mismatch and the blocks are read all the
// same.
//
// A station restarted within a stored minute used to store that minute again:
// a block of the same minute as the block before it repeats it, and a probe
// already read in that minute is not handed on twice (the first block's
// value stands; a probe only the repeat has is still read). Equal minutes
// further apart (the clock set back) are real readings and are all read.
template <typename OnBlock, typename OnProbe>
ResultHeaderCheck ScanResultFile(std::string_view bytes, OnBlock&& onBlock, OnProbe&& onProbe) {
    ResultHeaderCheck check;
    ResultFileLines reader(bytes);
    std::optional<std::string_view> pending;
    std::optional<int> runMinutes;  // of the block before, and its repeats
    // The lines of the probes read in that minute, whose first characters
    // are their keys.
    std::vector<const char*> runKeys;
    const auto readInRun = [&runKeys](const KeyChars& key) {
        return std::any_of(runKeys.begin(), runKeys.end(), [&key](const char* line) {
            return std::memcmp(line, key.data(), key.size()) == 0;
        });
    };
    ProbeLine probe;
    for (int number = 1; number <= 5; ++number) {
        const std::optional<std::string_view> line = reader.Next();
        if (line && ParseSampleHeader(*line)) {
            pending = line;
        } else if (line && TrailingSampleHeader(*line)) {
            pending = TrailingSampleHeader(*line);
        }
        if (!line || pending) {
            if (number <= 4) {
                check.result = -4;
            }
            break;
        }
        if (number <= 4) {
            if (*line != kResultHeaderLines[static_cast<std::size_t>(number - 1)]) {
                check.result = -number;
            }
        } else {
            check.dateLine = line;
        }
    }
    for (;;) {
        std::optional<std::string_view> line = pending ? pending : reader.Next();
        pending.reset();
        if (!line) {
            break;
        }
        std::optional<SampleHeader> header = ParseSampleHeader(*line);
        if (!header) {
            if (const auto tail = TrailingSampleHeader(*line)) {
                header = ParseSampleHeader(*tail);
            }
        }
        if (!header) {
            continue;
        }
        if (!onBlock(*header)) {
            break;
        }
        const bool repeat = runMinutes == header->minutes;
        if (!repeat) {
            runMinutes = header->minutes;
            runKeys.clear();
        }
        for (int position = 0; position < header->count; ++position) {
            std::string_view probeLine;
            if (!reader.Next(probeLine)) {
                break;
            }
            if (MayBeSampleHeader(probeLine) && ParseSampleHeader(probeLine)) {
                pending = probeLine;
                break;
            }
            if (MayEndInSampleHeader(probeLine)) {
                if (const auto tail = TrailingSampleHeader(probeLine)) {
                    pending = tail;
                    break;
                }
            }
            if (!ParseProbeLineInto(probeLine, probe) || (repeat && readInRun(probe.key))) {
                continue;
            }
            runKeys.push_back(probeLine.data());
            onProbe(position, std::as_const(probe));
        }
    }
    return check;
}

}  // namespace qrv
