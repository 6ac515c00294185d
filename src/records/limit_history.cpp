#include "records/limit_history.h"

#include <charconv>
#include <optional>
#include <tuple>

#include "records/audit_line.h"
#include "runtime/text_file.h"

namespace qrv::records {

namespace {

// "probe 0000000A1B2C Fridge: AlarmHigh", as the probe settings' changes
// are recorded, whoever made them.
constexpr std::string_view kProbe = "probe ";
constexpr std::size_t kSerialLength = 12;

std::optional<int> Whole(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

LimitHistory LimitHistory::FromTrail(std::string_view bytes) {
    LimitHistory history;
    LineReader reader(bytes);
    while (const auto line = reader.ReadLine(kNoSizeLimit)) {
        const auto parsed = ParseAuditLine(*line);
        if (!parsed) {
            continue;
        }
        const std::string_view what = parsed->entry.what;
        const bool high = what.ends_with(": AlarmHigh");
        if ((!high && !what.ends_with(": AlarmLow")) || !what.starts_with(kProbe) ||
            what.size() < kProbe.size() + kSerialLength) {
            continue;
        }
        const auto from = Whole(parsed->entry.oldValue);
        if (!from || !Whole(parsed->entry.newValue)) {
            continue;
        }
        history.changes_[std::string(what.substr(kProbe.size(), kSerialLength))].push_back(
            {parsed->entry.time, high, *from});
    }
    return history;
}

LimitHistory::Limits LimitHistory::At(std::string_view serial, Limits now, int year, int month,
                                      int day, int minute) const {
    const auto found = changes_.find(serial);
    if (found == changes_.end()) {
        return now;
    }
    const auto stored = std::tuple{year, month, day, minute};
    // Going back from now, each change made at or after the block's minute
    // is undone.
    for (auto change = found->second.rbegin(); change != found->second.rend(); ++change) {
        const LocalDateTime& t = change->time;
        if (std::tuple{t.year, t.month, t.day, t.hour * 60 + t.minute} >= stored) {
            (change->high ? now.second : now.first) = change->from;
        }
    }
    return now;
}

std::string LimitHistory::SerialOfKey(std::string_view probeKey) const {
    if (probeKey.empty()) {
        return {};
    }
    for (const auto& [serial, changes] : changes_) {
        if (std::string_view(serial).substr(1) == probeKey.substr(1)) {
            return serial;
        }
    }
    return {};
}

TimeOutOfRange LimitHistory::DayOutOfRange(std::string_view serial, Limits now, int year, int month,
                                           int day, std::span<const int> minutes,
                                           std::span<const double> values) const {
    if (!Changed(serial)) {
        return DayTimeOutOfRange(minutes, values, now.first, now.second);
    }
    std::vector<std::pair<double, double>> limits;
    limits.reserve(minutes.size());
    for (const int minute : minutes) {
        const auto [low, high] = At(serial, now, year, month, day, minute);
        limits.emplace_back(low, high);
    }
    return DayTimeOutOfRange(minutes, values, limits);
}

TrailLimits ReadTrailLimits(const std::filesystem::path& trailFile) {
    const FileBytes trail = ReadFileBytes(trailFile);
    if (trail.result == kFileOk) {
        return {LimitHistory::FromTrail(trail.bytes), {}};
    }
    if (trail.result == kFileDoesNotExist) {
        return {};
    }
    return {{},
            "the audit trail " + trailFile.string() + " cannot be read (" +
                (trail.reason.empty() ? std::string("not a file") : trail.reason) +
                "): the minutes out of range are counted against today's limits"};
}

}  // namespace qrv::records
