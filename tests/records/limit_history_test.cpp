// The limits in force when a value was stored, from the trail's changes.
#include <gtest/gtest.h>

#include <string>

#include "records/audit_line.h"
#include "records/limit_history.h"

namespace qrv::records {
namespace {

std::string Line(const LocalDateTime& time, std::string what, std::string from, std::string to) {
    return FormatAuditLine({time, "anna", std::move(what), std::move(from), std::move(to), ""},
                           kTrailStart) +
           "\r\n";
}

TEST(LimitHistory, UndoesTheChangesMadeSinceAValueWasStored) {
    const std::string trail =
        Line({2026, 3, 10, 9, 0, 30}, "probe 0000000A1B2C Fridge: AlarmHigh", "8", "12") +
        Line({2026, 3, 10, 9, 5, 0}, "probe 0000000A1B2C Fridge: AlarmDelay", "60", "120") +
        Line({2026, 3, 20, 14, 0, 0}, "probe 0000000A1B2C Fridge: AlarmLow", "2", "0") +
        Line({2026, 3, 21, 8, 0, 0}, "probe 0000000A1B2C Fridge: AlarmHigh", "12", "10") +
        Line({2026, 3, 12, 8, 0, 0}, "probe 0000000FFFFF Store: AlarmHigh", "x", "9") +
        "a line that is no trail line\r\n";
    const LimitHistory history = LimitHistory::FromTrail(trail);
    const LimitHistory::Limits now{0, 10};
    const std::string fridge = "0000000A1B2C";
    EXPECT_EQ(history.At(fridge, now, 2026, 3, 5, 600), (LimitHistory::Limits{2, 8}))
        << "before every change";
    EXPECT_EQ(history.At(fridge, now, 2026, 3, 10, 540), (LimitHistory::Limits{2, 8}))
        << "the block of the minute the change was made in was stored before it";
    EXPECT_EQ(history.At(fridge, now, 2026, 3, 10, 541), (LimitHistory::Limits{2, 12}));
    EXPECT_EQ(history.At(fridge, now, 2026, 3, 20, 841), (LimitHistory::Limits{0, 12}));
    EXPECT_EQ(history.At(fridge, now, 2026, 3, 22, 0), now);
    EXPECT_FALSE(history.Changed("0000000FFFFF")) << "a value that is no limit changes nothing";
    EXPECT_EQ(history.At("0000000FFFFF", now, 2026, 3, 1, 0), now);
}

}  // namespace
}  // namespace qrv::records
