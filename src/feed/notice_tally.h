#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "config/notify_config.h"
#include "runtime/clock.h"

namespace qrv {

// What became of an attempt or a notice of the call list.
enum class NoticeOutcome : std::uint8_t { kDelivered, kFailed, kGivenUp };
inline constexpr std::size_t kNoticeChannels = 3;
inline constexpr std::size_t kNoticeOutcomes = 3;

// "delivered", "failed", "given_up".
std::string_view NoticeOutcomeLabel(NoticeOutcome outcome);

// A notice that could not be delivered and is not tried again.
struct GivenUpNotice {
    LocalDateTime time;
    std::string contact;
    NotifyChannel channel = NotifyChannel::kSms;
    // The notice's title and what the receiver said last.
    std::string title;
    std::string detail;

    friend bool operator==(const GivenUpNotice&, const GivenUpNotice&) = default;
};

struct NoticeTotals {
    // By channel (NotifyChannel's order) and outcome: notices delivered,
    // attempts that failed (the last one of a notice given up included),
    // notices given up.
    std::array<std::array<std::uint64_t, kNoticeOutcomes>, kNoticeChannels> counts{};
    // The latest notice given up, until a later notice reaches that contact.
    std::optional<GivenUpNotice> lastGivenUp;

    std::uint64_t Count(NotifyChannel channel, NoticeOutcome outcome) const {
        return counts[static_cast<std::size_t>(channel)][static_cast<std::size_t>(outcome)];
    }
};

// What the call list's deliveries publish of their work since the station
// started: they note each outcome, the front ends (status lines, dashboard,
// metrics) take copies. It outlives a reload of the call list, so the counts
// run on. Safe from every thread; noting never waits for a reader.
class NoticeTally {
  public:
    void Delivered(const std::string& contact, NotifyChannel channel);
    void Failed(NotifyChannel channel);
    void GivenUp(GivenUpNotice notice);
    NoticeTotals Totals() const;

  private:
    void Add(NotifyChannel channel, NoticeOutcome outcome);

    mutable std::mutex mutex_;
    NoticeTotals totals_;
};

}  // namespace qrv
