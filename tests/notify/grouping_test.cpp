// Alarms that rise or end close together: one notice per contact, an
// escalation that keeps them in step, and a group that outlives a restart.
#include <gtest/gtest.h>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "engine_facts.h"

#include "acquisition/alarm_texts.h"
#include "config/station_config.h"
#include "notify/call_list_file.h"
#include "notify/escalation.h"
#include "notify/notice_texts.h"
#include "support/recording_log.h"
#include "support/temp_dir.h"

namespace qrv::notify::grouping {
namespace {

constexpr double kMinute = 60.0;
constexpr int kGroupSeconds = 30;
const LocalDateTime kWhen{2026, 12, 8, 3, 12, 0, 0};
using namespace facts;
using testing::RecordingLog;
using testing::TempDir;

// The freezer's neighbours, each its own probe.
AlarmFacts Probe(const std::string& name, std::uint8_t serial, int state, double value = -10.0) {
    AlarmFacts facts = Freezer(state, value);
    facts.name = name;
    facts.rom = {0x28, serial, 0, 0, 0, 0, 0, 0x11};
    return facts;
}

// "contact kind: first name + others", as merged for sending.
Lines Merged(std::vector<Notice> notices) {
    Lines lines;
    for (const Notice& notice : GroupedByContact(std::move(notices))) {
        std::string line = fmt::format("{} {}: {}", notice.contact, NoticeKindName(notice.kind),
                                       notice.facts.name);
        for (const GroupedAlarm& other : notice.also) {
            line += " + " + other.facts.name;
        }
        lines.push_back(line);
    }
    return lines;
}

TEST(Grouping, AlarmsRisingTogetherAreOneNoticeThatEscalatesAndEndsInStep) {
    EscalationEngine engine({Contact("Anna"), Contact("Ben")}, 15, 60, kGroupSeconds);
    // Three rise within the 30 seconds the first opened; none is told yet.
    EXPECT_TRUE(engine.OnAlarmChanged(Probe("A", 1, kAlarmHigh), 0, kWhen).empty());
    EXPECT_TRUE(engine.OnAlarmChanged(Probe("B", 2, kAlarmHigh), 12, kWhen).empty());
    EXPECT_TRUE(engine.OnAlarmChanged(Probe("C", 3, kPreAlarmHigh), 30, kWhen).empty());
    // The fourth comes after the group closed: a group of its own.
    EXPECT_TRUE(engine.OnAlarmChanged(Probe("D", 4, kAlarmHigh), 31, kWhen).empty());
    EXPECT_DOUBLE_EQ(engine.NextDue(), 30);
    EXPECT_TRUE(engine.Advance(29.9, kWhen, kAsTold).empty());
    EXPECT_EQ(Merged(engine.Advance(30, kWhen, kAsTold)), Lines{"0 alarm: A + B + C"});
    EXPECT_EQ(Merged(engine.Advance(61, kWhen, kAsTold)), Lines{"0 alarm: D"});

    // One worse, another worse a little later: told together, to all told.
    EXPECT_TRUE(engine.OnAlarmChanged(Probe("C", 3, kAlarmHigh), 5 * kMinute, kWhen).empty());
    EXPECT_TRUE(engine.OnAlarmChanged(Probe("A", 1, kAlarmLost), 5 * kMinute + 20, kWhen).empty());
    EXPECT_EQ(Merged(engine.Advance(5 * kMinute + 30, kWhen, kAsTold)), Lines{"0 worse: A + C"});

    // Escalations of a group come together: B's own step (15 min after it
    // was told) and A and C's (15 min after their worse state).
    EXPECT_EQ(Merged(engine.Advance(15 * kMinute + 30, kWhen, kAsTold)), Lines{"1 escalation: B"});
    EXPECT_EQ(Merged(engine.Advance(16 * kMinute + 1, kWhen, kAsTold)), Lines{"1 escalation: D"});
    EXPECT_EQ(Merged(engine.Advance(20 * kMinute + 30, kWhen, kAsTold)),
              Lines{"1 escalation: A + C"});

    // Ends: out of the escalation at once, told together once the group of
    // ends closes, to everyone told of each.
    EXPECT_TRUE(engine.OnAlarmChanged(Probe("A", 1, kAlarmNone), 60 * kMinute, kWhen).empty());
    EXPECT_FALSE(engine.Stands(AlarmKeyOf(Probe("A", 1, kAlarmNone))));
    EXPECT_TRUE(engine.OnAlarmChanged(Probe("B", 2, kAlarmNone), 60 * kMinute + 25, kWhen).empty());
    EXPECT_TRUE(engine.OnAlarmChanged(Probe("C", 3, kAlarmNone), 60 * kMinute + 29, kWhen).empty());
    EXPECT_TRUE(engine.Advance(60 * kMinute + 29, kWhen, kAsTold).empty());
    const std::vector<Notice> ended = engine.Advance(60 * kMinute + 30, kWhen, kAsTold);
    EXPECT_EQ(Merged(ended), (Lines{"0 ended: A + B + C", "1 ended: A + B + C"}));
    EXPECT_DOUBLE_EQ(ended.front().stoodSeconds, 60 * kMinute);
    EXPECT_EQ(engine.StandingAlarms(), 1);
    // D's reminder, not theirs.
    EXPECT_EQ(Merged(engine.Advance(76 * kMinute + 1, kWhen, kAsTold)),
              (Lines{"0 reminder: D", "1 reminder: D"}));
}

TEST(Grouping, AnAlarmThatEndsBeforeItIsToldIsToldAsEndedAndARiseFlushesAWaitingEnd) {
    EscalationEngine engine({Contact("Anna"), Contact("Ben")}, 15, 60, kGroupSeconds);
    engine.OnAlarmChanged(Probe("A", 1, kAlarmHigh), 0, kWhen);
    engine.OnAlarmChanged(Probe("A", 1, kAlarmNone), 10, kWhen);
    // Its alarm notice would be untrue now; the first contact still hears
    // that it was there.
    const std::vector<Notice> ended = engine.Advance(40, kWhen, kAsTold);
    EXPECT_EQ(Told(ended), Lines{"0 ended"});
    EXPECT_DOUBLE_EQ(ended.front().stoodSeconds, 10);
    EXPECT_EQ(engine.StandingAlarms(), 0);

    // Told, ended, and back before its end went out: the end goes at once,
    // and the new alarm waits for its own group.
    engine.OnAlarmChanged(Probe("A", 1, kAlarmHigh), 100, kWhen);
    EXPECT_EQ(Told(engine.Advance(130, kWhen, kAsTold)), Lines{"0 alarm"});
    engine.OnAlarmChanged(Probe("A", 1, kAlarmNone), 200, kWhen);
    EXPECT_EQ(Told(engine.OnAlarmChanged(Probe("A", 1, kAlarmHigh), 210, kWhen)), Lines{"0 ended"});
    EXPECT_EQ(Told(engine.Advance(240, kWhen, kAsTold)), Lines{"0 alarm"});

    // An acknowledgement while a group waits: the notice still goes out,
    // acknowledged, and the reminder follows instead of the escalation.
    engine.OnAlarmChanged(Probe("B", 2, kAlarmHigh), 300, kWhen);
    engine.OnAcknowledged("Anna", 310);
    const std::vector<Notice> told = engine.Advance(330, kWhen, kAsTold);
    ASSERT_EQ(Told(told), Lines{"0 alarm"});
    EXPECT_EQ(told.front().acknowledgedBy, "Anna");
    EXPECT_EQ(Told(engine.Advance(330 + 59 * kMinute, kWhen, kAsTold)), Lines{});
    EXPECT_EQ(Merged(engine.Advance(330 + 60 * kMinute, kWhen, kAsTold)),
              (Lines{"0 reminder: A + B"}));
}

// A group that waited when the station stopped, and ends that waited: the
// state file keeps them, and after the start the group gathers again from
// the alarms that come back, the ends go at once.
TEST(Grouping, AGroupThatWaitedOverARestartIsToldAsOneAndWaitingEndsGoAtOnce) {
    TempDir dir;
    RecordingLog log;
    const std::vector<NotifyContact> contacts{Contact("Anna"), Contact("Ben")};
    {
        VirtualClock clock({2026, 12, 8, 2, 0, 0, 0});
        CallListFile file(dir / kCallListFileName, contacts, clock, log);
        EscalationEngine engine(contacts, 15, 60, kGroupSeconds);
        engine.OnAlarmChanged(Probe("E", 5, kAlarmHigh), 0, kWhen);
        engine.OnAlarmChanged(Probe("F", 6, kAlarmHigh), 0, kWhen);
        engine.Advance(30, kWhen, kAsTold);
        clock.Advance(5 * kMinute);
        // E and F end; A and B rise: all four wait when the power goes.
        engine.OnAlarmChanged(Probe("E", 5, kAlarmNone), clock.Timer(), kWhen);
        engine.OnAlarmChanged(Probe("F", 6, kAlarmNone), clock.Timer() + 5, kWhen);
        engine.OnAlarmChanged(Probe("A", 1, kAlarmHigh), clock.Timer(), kWhen);
        engine.OnAlarmChanged(Probe("B", 2, kAlarmHigh), clock.Timer() + 3, kWhen);
        file.SaveAlarms(engine.Snapshot());
    }
    VirtualClock clock({2026, 12, 8, 3, 0, 0, 0});
    CallListFile file(dir / kCallListFileName, contacts, clock, log);
    EscalationEngine engine(contacts, 15, 60, kGroupSeconds);
    engine.Restore(file.Load().alarms);
    ASSERT_EQ(engine.StandingAlarms(), 4) << ::testing::PrintToString(log.Messages());
    EXPECT_EQ(engine.Awaiting().size(), 2u);
    // The ends need no news of their probes.
    const std::vector<Notice> ended = engine.Advance(clock.Timer(), clock.Now(), kAsTold);
    EXPECT_EQ(Merged(ended), Lines{"0 ended: E + F"});
    EXPECT_NEAR(ended.front().stoodSeconds, 5 * kMinute, 1);
    // A comes back, B a few seconds later: one notice, a group's time after A.
    const double back = clock.Timer() + 10;
    engine.OnAlarmChanged(Probe("A", 1, kAlarmHigh), back, clock.Now());
    engine.OnAlarmChanged(Probe("B", 2, kAlarmHigh), back + 4, clock.Now());
    EXPECT_TRUE(engine.Advance(back + kGroupSeconds - 1, clock.Now(), kAsTold).empty());
    EXPECT_EQ(Merged(engine.Advance(back + kGroupSeconds, clock.Now(), kAsTold)),
              Lines{"0 alarm: A + B"});
}

TEST(GroupingConfig, ReadsTheGroupTimeAndTheDashboardAddressOnlyWithTheDashboardOn) {
    const StationConfigRead read = ParseStationConfig(
        "[web]\nenabled = true\n[notify]\ngroup_seconds = 10\n"
        "public_url = \"https://lab3.example:8443/\"\n",
        "quorvanel.toml");
    EXPECT_EQ(read.problems, Lines{});
    EXPECT_EQ(read.config.notify.groupSeconds, 10);
    EXPECT_EQ(read.config.notify.publicUrl, "https://lab3.example:8443");

    const StationConfigRead off = ParseStationConfig(
        "[notify]\ngroup_seconds = 0\npublic_url = \"https://lab3.example\"\n", "quorvanel.toml");
    EXPECT_EQ(off.config.notify.groupSeconds, 0);
    EXPECT_EQ(off.config.notify.publicUrl, "");
    EXPECT_EQ(off.problems,
              Lines{"quorvanel.toml:3: notify.public_url: the dashboard is off ([web] enabled = "
                    "false): notices carry no link to it"});

    const StationConfigRead bad = ParseStationConfig(
        "[web]\nenabled = true\n[notify]\ngroup_seconds = -5\n"
        "public_url = \"https://lab3.example/?token=1\"\n",
        "quorvanel.toml");
    EXPECT_EQ(bad.config.notify.groupSeconds, 30);
    EXPECT_EQ(bad.config.notify.publicUrl, "");
    ASSERT_EQ(bad.problems.size(), 2u);
    EXPECT_TRUE(
        bad.problems[0].starts_with("quorvanel.toml:4: notify.group_seconds: must be a "
                                    "whole number from 0 to 600"))
        << bad.problems[0];
    EXPECT_TRUE(bad.problems[1].starts_with("quorvanel.toml:5: notify.public_url: must be"))
        << bad.problems[1];
}

TEST(GroupedNotice, NamesEveryProbeInEveryChannelWithOneIdAndTheLinkToAcknowledge) {
    Notice notice;
    notice.contact = 0;
    notice.kind = NoticeKind::kEscalation;
    notice.facts = Probe("Freezer", 1, kAlarmHigh, -12.04);
    notice.when = kWhen;
    notice.rose = {2026, 12, 8, 3, 0, 0, 0};
    notice.stoodSeconds = 12 * kMinute;
    notice.id = "qrv-7";
    notice.also = {
        {Probe("Fridge 2", 2, kPreAlarmHigh, 4.0), {2026, 12, 8, 2, 58, 0, 0}, 14 * kMinute},
        {Probe("Cold room", 3, kAlarmLost), {2026, 12, 8, 3, 0, 0, 0}, 12 * kMinute}};
    const Message message = MessageOf(notice, 0, "Lab 3", "", "https://lab3.example:8443");
    EXPECT_EQ(message.title, "3 alarms: Freezer, Fridge 2, Cold room");
    EXPECT_EQ(message.alarms, (Lines{"28010000000000"
                                     "11",
                                     "28020000000000"
                                     "11",
                                     "28030000000000"
                                     "11"}));
    const std::string link =
        "https://lab3.example:8443/acknowledge?alarm=2801000000000011,2802000000000011,"
        "2803000000000011&notice=qrv-7";
    EXPECT_EQ(message.text,
              "3 alarms: Freezer, Fridge 2, Cold room\n"
              "- High Alarm: Freezer -12.0 °C (limit -15 °C), Since 08/12/2026 03:00\n"
              "- Pre-High Alarm: Fridge 2 4.0 °C (limit -18 °C), Since 08/12/2026 02:58\n"
              "- Probe lost: Cold room, Since 08/12/2026 03:00\n"
              "Time: 08/12/2026 03:12\n"
              "Since: 08/12/2026 02:58\n"
              "Station: Lab 3\n"
              "Standing for: 14 min\n"
              "Not acknowledged yet.\n"
              "Acknowledge: " +
                  link + "\n");
    EXPECT_EQ(message.smsText,
              "QUORVANEL MESSAGE:  High Alarm: Freezer -12.0 °C; Pre-High Alarm: Fridge 2 4.0 °C; "
              "Probe lost: Cold room, Standing for 14 min, Not acknowledged yet, "
              "08/12/2026 03:12, Lab 3");
    const nlohmann::json doc = nlohmann::json::parse(message.document);
    EXPECT_EQ(doc["id"], "qrv-7");
    EXPECT_EQ(doc["probe"], "Freezer");
    ASSERT_EQ(doc["alarms"].size(), 3u);
    EXPECT_EQ(doc["alarms"][1]["probe"], "Fridge 2");
    EXPECT_EQ(doc["alarms"][1]["state"], "pre_alarm_high");
    EXPECT_EQ(doc["alarms"][1]["rose"], "2026-12-08T02:58:00");
    EXPECT_TRUE(doc["alarms"][2]["value"].is_null());
    EXPECT_EQ(doc["acknowledge_url"], link);
    EXPECT_EQ(doc["actions"],
              nlohmann::json::parse(R"([{"action": "view", "label": "Acknowledge", "url": ")" +
                                    link + R"("}])"));

    // The German button; an end asks nothing, nor does a station without a
    // dashboard address.
    EXPECT_EQ(nlohmann::json::parse(
                  MessageOf(notice, 1, "Lab 3", "", "https://h").document)["actions"][0]["label"],
              "Quittieren");
    notice.kind = NoticeKind::kEnded;
    const Message ended = MessageOf(notice, 0, "Lab 3", "", "https://lab3.example:8443");
    EXPECT_EQ(ended.title, "Alarm ended: Freezer, Fridge 2, Cold room");
    EXPECT_NE(ended.text.find("- Alarm ended: Fridge 2 4.0 °C, It stood for 14 min\n"),
              std::string::npos)
        << ended.text;
    EXPECT_EQ(ended.text.find("acknowledge"), std::string::npos);
    EXPECT_FALSE(nlohmann::json::parse(ended.document).contains("actions"));
    notice.kind = NoticeKind::kAlarm;
    notice.also.clear();
    const Message plain = MessageOf(notice, 0, "Lab 3", "", "");
    EXPECT_EQ(plain.text.find("Acknowledge"), std::string::npos);
    EXPECT_FALSE(nlohmann::json::parse(plain.document).contains("actions"));
    // One probe keeps the station's own alarm SMS, without a link.
    SensorRecord record;
    record.Name = "Freezer";
    record.SensorType = kTypeTemperature;
    record.Value = -12.04;
    EXPECT_EQ(MessageOf(notice, 0, "Lab 3", "", "https://h").smsText,
              acquisition::AlarmSmsText(kAlarmHigh, record, 0, kWhen, "Lab 3"));
    // The unit's alarm is named as such in the link.
    notice.facts = AlarmFacts{};
    notice.facts.unit = true;
    notice.facts.state = kUnitLost;
    EXPECT_EQ(AcknowledgeLink("https://h", notice),
              "https://h/acknowledge?alarm=unit&notice=qrv-7");
}

}  // namespace
}  // namespace qrv::notify::grouping
