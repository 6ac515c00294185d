// The call list over a restart: what the state file keeps, how the engine
// takes it back, and a damaged or foreign file set aside.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "engine_facts.h"

#include "notify/call_list_file.h"
#include "support/recording_log.h"
#include "support/temp_dir.h"

namespace qrv::notify::restart {
namespace {

using testing::ReadBytes;
using testing::RecordingLog;
using testing::TempDir;
using testing::WriteBytes;

constexpr double kMinute = 60.0;
using namespace facts;

bool Mentions(const RecordingLog& log, const std::string& part) {
    for (const std::string& line : log.Messages()) {
        if (line.find(part) != std::string::npos) {
            return true;
        }
    }
    return false;
}

std::vector<std::filesystem::path> SetAside(const TempDir& dir) {
    std::vector<std::filesystem::path> found;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        if (entry.path().filename().string().starts_with(std::string(kCallListFileName) +
                                                         ".bad-")) {
            found.push_back(entry.path());
        }
    }
    return found;
}

// The station stops ten minutes into an alarm that Ben acknowledged, with a
// message to Cleo still on its way; it starts again, on a new monotonic
// clock, an hour later and with the contacts in another order.
TEST(CallListFile, KeepsAlarmsAndMessagesOverARestartByWallClockAndContactName) {
    TempDir dir;
    RecordingLog log;
    const std::vector<NotifyContact> before{Contact("Anna"), Contact("Ben"), Contact("Cleo")};
    {
        VirtualClock clock({2026, 12, 8, 2, 0, 0, 0});
        CallListFile file(dir / kCallListFileName, before, clock, log);
        EscalationEngine engine(before, 3, 60, 0);
        const LocalDateTime rose{2026, 12, 8, 2, 2, 0, 0};
        clock.Advance(2 * kMinute);
        engine.OnAlarmChanged(Freezer(kAlarmHigh), clock.Timer(), rose);
        clock.Advance(3 * kMinute);
        engine.Advance(clock.Timer(), clock.Now(), kAsTold);
        engine.OnAcknowledged("Ben", clock.Timer());
        file.SaveAlarms(engine.Snapshot());
        Message message;
        message.id = "qrv-1-7";
        message.kind = NoticeKind::kEscalation;
        message.alarms = {AlarmKeyOf(Freezer(kAlarmHigh))};
        message.title = "High Alarm: Freezer";
        message.document = R"({"event": "escalation"})";
        file.SaveQueued(2, {{message, 3, clock.Timer() - 60, clock.Timer() + 120, false}});
    }
    const nlohmann::json kept = nlohmann::json::parse(ReadBytes(dir / kCallListFileName));
    EXPECT_EQ(kept["format"], "quorvanel call list");
    EXPECT_EQ(kept["alarms"][0]["rose"], "2026-12-08T02:02:00");

    VirtualClock later({2026, 12, 8, 3, 10, 0, 0});
    later.Advance(1000.0);  // 03:26:40, the monotonic clock far from where it was
    const std::vector<NotifyContact> after{Contact("Cleo"), Contact("Ben"), Contact("Anna")};
    CallListFile file(dir / kCallListFileName, after, later, log);
    const CallListState state = file.Load();
    ASSERT_EQ(state.alarms.size(), 1u);
    const StandingAlarm& alarm = state.alarms[0];
    EXPECT_EQ(alarm.facts.name, "Freezer");
    EXPECT_EQ(alarm.facts.state, kAlarmHigh);
    // Rose at 02:02, 84 min 40 s before now.
    EXPECT_NEAR(later.Timer() - alarm.since, 84 * kMinute + 40, 1e-6);
    EXPECT_EQ(alarm.rose, (LocalDateTime{2026, 12, 8, 2, 2, 0, 0}));
    // Anna and Ben, by their new places on the list.
    EXPECT_EQ(alarm.callList, (std::vector<int>{2, 1, 0}));
    EXPECT_EQ(alarm.nextOnList, 2u);
    ASSERT_EQ(alarm.told.size(), 2u);
    EXPECT_NEAR(later.Timer() - alarm.told.at(1), 81 * kMinute + 40, 1e-6);
    EXPECT_TRUE(alarm.acknowledged);
    EXPECT_EQ(alarm.acknowledgedBy, "Ben");
    ASSERT_EQ(state.queued.size(), 3u);
    ASSERT_EQ(state.queued[0].size(), 1u);
    const QueuedMessage& queued = state.queued[0][0];
    EXPECT_EQ(queued.message.id, "qrv-1-7");
    EXPECT_EQ(queued.message.kind, NoticeKind::kEscalation);
    EXPECT_EQ(queued.message.document, R"({"event": "escalation"})");
    EXPECT_EQ(queued.attempts, 3);
    EXPECT_NEAR(queued.next - later.Timer(), -79 * kMinute - 40, 1e-6);
    EXPECT_TRUE(state.queued[1].empty());
    EXPECT_TRUE(SetAside(dir).empty());
}

TEST(CallListFile, ADamagedOrForeignFileIsNamedKeptAsideAndNotUsed) {
    for (const std::string& bytes :
         {std::string("{\"format\": \"quorvanel call list\", \"version\": 1, \"alarms\": [{"),
          std::string(R"({"format": "quorvanel call list", "version": 1, "alarms": [{"facts":
              {"unit": false, "rom": "nonsense"}}], "queued": []})"),
          std::string(
              R"({"format": "quorvanel call list", "version": 9, "alarms": [], "queued": []})"),
          std::string(R"({"probes": ["Freezer"]})"), std::string("\x89PNG\r\n")}) {
        TempDir dir;
        RecordingLog log;
        WriteBytes(dir / kCallListFileName, bytes);
        VirtualClock clock({2026, 12, 8, 3, 4, 5, 0});
        CallListFile file(dir / kCallListFileName, {Contact("Anna")}, clock, log);
        const CallListState state = file.Load();
        EXPECT_TRUE(state.alarms.empty()) << bytes;
        ASSERT_EQ(state.queued.size(), 1u);
        EXPECT_TRUE(state.queued[0].empty());
        EXPECT_TRUE(Mentions(log, (dir / kCallListFileName).string())) << bytes;
        EXPECT_TRUE(Mentions(log, "kept as QRVCallList.json.bad-20261208-030405")) << bytes;
        const auto aside = SetAside(dir);
        ASSERT_EQ(aside.size(), 1u) << bytes;
        EXPECT_EQ(ReadBytes(aside[0]), bytes);
        // What the station writes next replaces nothing it could not read.
        file.SaveAlarms({});
        EXPECT_EQ(nlohmann::json::parse(ReadBytes(dir / kCallListFileName))["alarms"].size(), 0u);
    }
}

// An alarm taken over from before a restart neither escalates nor reminds
// until its probe's alarm comes back; then it goes on where it was, and
// coming back up to its old state is not worse.
TEST(Escalation, AnAlarmTakenOverWaitsForItsProbeAndGoesOnWhereItWas) {
    const std::vector<NotifyContact> contacts{Contact("Anna"), Contact("Ben"), Contact("Cleo")};
    const LocalDateTime when{2026, 12, 8, 2, 10, 0, 0};
    EscalationEngine before(contacts, 3, 60, 0);
    before.OnAlarmChanged(Freezer(kAlarmHigh), 0, when);
    before.Advance(3 * kMinute, when, kAsTold);

    EscalationEngine engine(contacts, 3, 60, 0);
    engine.Restore(before.Snapshot());
    EXPECT_EQ(engine.Awaiting(), Lines{"280102030405067A"});
    EXPECT_TRUE(engine.Advance(30 * kMinute, when, kAsTold).empty());
    EXPECT_EQ(engine.NextDue(), std::numeric_limits<double>::infinity());
    // The walk finds the pre-alarm first and then the alarm again.
    EXPECT_TRUE(engine.OnAlarmChanged(Freezer(kPreAlarmHigh), 31 * kMinute, when).empty());
    EXPECT_TRUE(engine.Awaiting().empty());
    EXPECT_TRUE(engine.OnAlarmChanged(Freezer(kAlarmHigh), 32 * kMinute, when).empty());
    // Cleo's turn came while the station was stopped: she is called now,
    // and the next steps count from here.
    const std::vector<Notice> late = engine.Advance(32 * kMinute, when, kAsTold);
    EXPECT_EQ(Told(late), Lines{"2 escalation"});
    EXPECT_DOUBLE_EQ(late[0].stoodSeconds, 32 * kMinute);
    EXPECT_EQ(Told(engine.OnAlarmChanged(Freezer(kAlarmLost), 33 * kMinute, when)),
              (Lines{"0 worse", "1 worse", "2 worse"}));
    const std::vector<Notice> ended =
        engine.OnAlarmChanged(Freezer(kAlarmNone), 40 * kMinute, when);
    EXPECT_EQ(Told(ended), (Lines{"0 ended", "1 ended", "2 ended"}));
    EXPECT_DOUBLE_EQ(ended[0].stoodSeconds, 40 * kMinute);
}

TEST(Escalation, AContactThatCannotBeReachedCallsTheNextAtOnce) {
    const std::vector<NotifyContact> contacts{Contact("Anna"), Contact("Ben"), Contact("Cleo")};
    EscalationEngine engine(contacts, 15, 60, 0);
    const std::string freezer = AlarmKeyOf(Freezer(kAlarmHigh));
    engine.OnAlarmChanged(Freezer(kAlarmHigh), 0, {});
    const std::vector<Notice> ben =
        engine.OnUnreachable(freezer, 0, "Anna by email: 550 no such user", kMinute, {});
    EXPECT_EQ(Told(ben), Lines{"1 escalation"});
    EXPECT_EQ(ben[0].unreached, "Anna by email: 550 no such user");
    // Cleo a full step after Ben, not after Anna.
    EXPECT_DOUBLE_EQ(engine.NextDue(), 16 * kMinute);
    // Cleo unreachable too: Anna, first on the list, hears it again.
    EXPECT_EQ(Told(engine.OnUnreachable(freezer, 2, "Cleo by sms", 20 * kMinute, {})),
              Lines{"0 escalation"});
    engine.OnAlarmChanged(Freezer(kAlarmNone), 30 * kMinute, {});
    EXPECT_TRUE(engine.OnUnreachable(freezer, 1, "Ben", 31 * kMinute, {}).empty());

    EscalationEngine alone({Contact("Anna")}, 15, 60, 0);
    alone.OnAlarmChanged(Freezer(kAlarmHigh), 0, {});
    EXPECT_TRUE(alone.OnUnreachable(freezer, 0, "Anna", kMinute, {}).empty());
}

TEST(Escalation, RemindersMissedWhileStoppedComeOnceNotInABurst) {
    EscalationEngine engine({Contact("Anna")}, 3, 60, 0);
    engine.OnAlarmChanged(Freezer(kAlarmHigh), 0, {});
    EXPECT_EQ(Told(engine.Advance(5 * 60 * kMinute + 1, {}, kAsTold)), Lines{"0 reminder"});
    EXPECT_DOUBLE_EQ(engine.NextDue(), 6 * 60 * kMinute + 1);
}

}  // namespace
}  // namespace qrv::notify::restart
