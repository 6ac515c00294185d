#include "feed/notice_tally.h"

namespace qrv {

std::string_view NoticeOutcomeLabel(NoticeOutcome outcome) {
    switch (outcome) {
        case NoticeOutcome::kDelivered:
            return "delivered";
        case NoticeOutcome::kFailed:
            return "failed";
        case NoticeOutcome::kGivenUp:
            break;
    }
    return "given_up";
}

void NoticeTally::Add(NotifyChannel channel, NoticeOutcome outcome) {
    ++totals_.counts[static_cast<std::size_t>(channel)][static_cast<std::size_t>(outcome)];
}

void NoticeTally::Delivered(const std::string& contact, NotifyChannel channel) {
    std::lock_guard lock(mutex_);
    Add(channel, NoticeOutcome::kDelivered);
    // The contact can be reached again.
    if (totals_.lastGivenUp && totals_.lastGivenUp->contact == contact &&
        totals_.lastGivenUp->channel == channel) {
        totals_.lastGivenUp.reset();
    }
}

void NoticeTally::Failed(NotifyChannel channel) {
    std::lock_guard lock(mutex_);
    Add(channel, NoticeOutcome::kFailed);
}

void NoticeTally::GivenUp(GivenUpNotice notice) {
    std::lock_guard lock(mutex_);
    Add(notice.channel, NoticeOutcome::kGivenUp);
    totals_.lastGivenUp = std::move(notice);
}

NoticeTotals NoticeTally::Totals() const {
    std::lock_guard lock(mutex_);
    return totals_;
}

}  // namespace qrv
