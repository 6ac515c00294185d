// The call list on virtual time: who is told, when, and what they read.
#include <gtest/gtest.h>

#include <cstdlib>

#include <nlohmann/json.hpp>

#include "engine_facts.h"

#include "acquisition/alarm_texts.h"
#include "config/station_config.h"
#include "notify/acknowledgement.h"
#include "notify/contact_delivery.h"
#include "notify/curl_channels.h"
#include "notify/escalation.h"
#include "notify/notice_texts.h"
#include "runtime/encoding.h"
#include "support/recording_log.h"
#include "support/temp_dir.h"

namespace qrv::notify {
namespace {

constexpr double kMinute = 60.0;
const LocalDateTime kWhen{2026, 12, 8, 3, 12, 0, 0};
using namespace facts;
using testing::ReadBytes;
using testing::RecordingLog;
using testing::TempDir;

TEST(Escalation, WorksTheListDownWhileUnacknowledgedThenRemindsEveryoneTold) {
    EscalationEngine engine({Contact("Anna"), Contact("Ben"), Contact("Cleo")}, 15, 60, 0);
    EXPECT_EQ(Told(engine.OnAlarmChanged(Freezer(kAlarmHigh), 0, kWhen)), Lines{"0 alarm"});
    EXPECT_DOUBLE_EQ(engine.NextDue(), 15 * kMinute);
    EXPECT_TRUE(engine.Advance(15 * kMinute - 1, kWhen, kAsTold).empty());
    EXPECT_EQ(Told(engine.Advance(15 * kMinute, kWhen, kAsTold)), Lines{"1 escalation"});
    EXPECT_EQ(Told(engine.Advance(30 * kMinute, kWhen, kAsTold)), Lines{"2 escalation"});
    // The list is worked through: an hour on, everyone told hears again.
    EXPECT_TRUE(engine.Advance(89 * kMinute, kWhen, kAsTold).empty());
    EXPECT_EQ(Told(engine.Advance(90 * kMinute, kWhen, kAsTold)),
              (Lines{"0 reminder", "1 reminder", "2 reminder"}));
    // A late look at the clock catches up every step it missed, in order.
    EscalationEngine late({Contact("Anna"), Contact("Ben"), Contact("Cleo")}, 15, 60, 0);
    late.OnAlarmChanged(Freezer(kAlarmHigh), 0, kWhen);
    EXPECT_EQ(Told(late.Advance(31 * kMinute, kWhen, kAsTold)),
              (Lines{"1 escalation", "2 escalation"}));
}

TEST(Escalation, AnAcknowledgementStopsItUntilTheReminderToWhoAcknowledged) {
    EscalationEngine engine(
        {Contact("Anna", {}, {"anna"}), Contact("Ben", {}, {"bvd"}), Contact("Cleo")}, 15, 60, 0);
    engine.OnAlarmChanged(Freezer(kAlarmHigh), 0, kWhen);
    engine.Advance(15 * kMinute, kWhen, kAsTold);
    engine.OnAcknowledged("BVD", 20 * kMinute);
    EXPECT_TRUE(engine.Advance(79 * kMinute, kWhen, kAsTold).empty());
    const std::vector<Notice> reminder = engine.Advance(80 * kMinute, kWhen, kAsTold);
    EXPECT_EQ(Told(reminder), Lines{"1 reminder"});
    EXPECT_EQ(reminder.front().acknowledgedBy, "BVD");
    EXPECT_DOUBLE_EQ(reminder.front().stoodSeconds, 80 * kMinute);
    EXPECT_EQ(Told(engine.Advance(140 * kMinute, kWhen, kAsTold)), Lines{"1 reminder"});
    // Someone who is no contact acknowledged: the reminder goes to all told.
    EscalationEngine other({Contact("Anna"), Contact("Ben")}, 15, 60, 0);
    other.OnAlarmChanged(Freezer(kAlarmHigh), 0, kWhen);
    other.Advance(15 * kMinute, kWhen, kAsTold);
    other.OnAcknowledged("night-porter", 16 * kMinute);
    EXPECT_EQ(Told(other.Advance(76 * kMinute, kWhen, kAsTold)),
              (Lines{"0 reminder", "1 reminder"}));
}

TEST(Escalation, AWorseStateNotifiesAnewAndIsUnacknowledgedAgain) {
    EscalationEngine engine({Contact("Anna"), Contact("Ben"), Contact("Cleo")}, 15, 60, 0);
    engine.OnAlarmChanged(Freezer(kPreAlarmHigh), 0, kWhen);
    engine.Advance(15 * kMinute, kWhen, kAsTold);
    engine.OnAcknowledged("Ben", 16 * kMinute);
    // Back from alarm to pre-alarm, or another state as bad, tells nobody.
    EXPECT_TRUE(engine.OnAlarmChanged(Freezer(kPreAlarmLow), 17 * kMinute, kWhen).empty());
    const std::vector<Notice> worse =
        engine.OnAlarmChanged(Freezer(kAlarmHigh), 20 * kMinute, kWhen);
    EXPECT_EQ(Told(worse), (Lines{"0 worse", "1 worse"}));
    EXPECT_EQ(worse.front().facts.state, kAlarmHigh);
    EXPECT_TRUE(worse.front().acknowledgedBy.empty());
    EXPECT_TRUE(engine.OnAlarmChanged(Freezer(kPreAlarmHigh), 21 * kMinute, kWhen).empty());
    EXPECT_EQ(Told(engine.OnAlarmChanged(Freezer(kAlarmLost), 22 * kMinute, kWhen)),
              (Lines{"0 worse", "1 worse"}));
    // Unacknowledged again, so the escalation goes on down the list.
    EXPECT_EQ(Told(engine.Advance(37 * kMinute, kWhen, kAsTold)), Lines{"2 escalation"});
}

TEST(Escalation, TheEndGoesToExactlyThoseToldWithTheDuration) {
    EscalationEngine engine({Contact("Anna"), Contact("Ben"), Contact("Cleo")}, 15, 60, 0);
    engine.OnAlarmChanged(Freezer(kAlarmHigh), 100, kWhen);
    engine.Advance(100 + 15 * kMinute, kWhen, kAsTold);
    const std::vector<Notice> ended =
        engine.OnAlarmChanged(Freezer(kAlarmNone, -20.0), 100 + 25 * kMinute, kWhen);
    EXPECT_EQ(Told(ended), (Lines{"0 ended", "1 ended"}));
    EXPECT_DOUBLE_EQ(ended.front().stoodSeconds, 25 * kMinute);
    EXPECT_EQ(engine.StandingAlarms(), 0);
    EXPECT_TRUE(engine.Advance(1000 * kMinute, kWhen, kAsTold).empty());
    // An end without a start (a probe nobody is told about) tells nobody.
    EXPECT_TRUE(engine.OnAlarmChanged(Freezer(kAlarmNone), 0, kWhen).empty());
}

TEST(Escalation, ContactsHearOnlyOfTheirProbesAndEachAlarmHasItsOwnList) {
    AlarmFacts fridge = Freezer(kAlarmHigh);
    fridge.name = "Fridge 2";
    fridge.rom = {0x28, 9, 9, 9, 9, 9, 9, 0x11};
    EscalationEngine engine({Contact("Anna", {"freezer"}),
                             Contact("Ben", {"28090909090909"
                                             "11"}),
                             Contact("Cleo")},
                            15, 60, 0);
    EXPECT_EQ(Told(engine.OnAlarmChanged(Freezer(kAlarmHigh), 0, kWhen)), Lines{"0 alarm"});
    EXPECT_EQ(Told(engine.OnAlarmChanged(fridge, 5 * kMinute, kWhen)), Lines{"1 alarm"});
    EXPECT_EQ(Told(engine.Advance(15 * kMinute, kWhen, kAsTold)), Lines{"2 escalation"});
    EXPECT_EQ(Told(engine.Advance(20 * kMinute, kWhen, kAsTold)), Lines{"2 escalation"});
    // The unit concerns everyone.
    AlarmFacts unit;
    unit.unit = true;
    unit.state = kUnitLost;
    EXPECT_EQ(Told(engine.OnAlarmChanged(unit, 21 * kMinute, kWhen)), Lines{"0 alarm"});
    // Nobody for a probe: nothing is kept for it.
    EscalationEngine none({Contact("Anna", {"Office"})}, 15, 60, 0);
    EXPECT_TRUE(none.OnAlarmChanged(Freezer(kAlarmHigh), 0, kWhen).empty());
    EXPECT_EQ(none.StandingAlarms(), 0);
}

TEST(NoticeTexts, SayProbeValueLimitTimeStationAndDurationInTheLanguage) {
    Notice notice{1,
                  NoticeKind::kEscalation,
                  Freezer(kAlarmHigh, -12.04),
                  kWhen,
                  kWhen,
                  65 * kMinute,
                  "",
                  "n1",
                  "",
                  {}};
    const Message english = MessageOf(notice, 0, "Lab 3", "lab-freezers", "");
    EXPECT_EQ(english.title, "High Alarm: Freezer -12.0 °C");
    EXPECT_NE(english.text.find("Value: -12.0 °C (limit -15 °C)"), std::string::npos)
        << english.text;
    EXPECT_NE(english.text.find("08/12/2026 03:12"), std::string::npos);
    EXPECT_NE(english.text.find("Station: Lab 3"), std::string::npos);
    EXPECT_NE(english.text.find("Standing for: 1 h 05 min"), std::string::npos);
    EXPECT_NE(english.text.find("Not acknowledged yet."), std::string::npos);
    // The escalation's SMS says why it comes: limit, duration, nobody yet.
    EXPECT_EQ(english.smsText,
              "QUORVANEL MESSAGE:  High Alarm: Freezer -12.0 °C (limit -15 °C), Standing for 1 h "
              "05 min, Not acknowledged yet, 08/12/2026 03:12, Lab 3");
    notice.unreached = "Anna by email: SMTP 550";
    EXPECT_NE(MessageOf(notice, 1, "Lab 3", "", "")
                  .smsText.find("(Grenze -15 °C), Besteht seit 1 Std. 05 Min., Noch nicht "
                                "quittiert, Nicht erreicht: Anna by email: SMTP 550, 08/12/2026"),
              std::string::npos)
        << MessageOf(notice, 1, "Lab 3", "", "").smsText;
    notice.unreached.clear();
    // The SMS of a new alarm keeps the station's SMS form.
    SensorRecord record;
    record.Name = "Freezer";
    record.SensorType = kTypeTemperature;
    record.Value = -12.04;
    notice.kind = NoticeKind::kAlarm;
    EXPECT_EQ(MessageOf(notice, 0, "Lab 3", "", "").smsText,
              acquisition::AlarmSmsText(kAlarmHigh, record, 0, kWhen, "Lab 3"));
    notice.kind = NoticeKind::kEscalation;

    const nlohmann::json doc = nlohmann::json::parse(english.document);
    EXPECT_EQ(doc["topic"], "lab-freezers");
    EXPECT_EQ(doc["title"], english.title);
    EXPECT_EQ(doc["priority"], 5);
    EXPECT_EQ(doc["tags"], nlohmann::json::array({"rotating_light"}));
    EXPECT_EQ(doc["event"], "escalation");
    EXPECT_EQ(doc["rom"], "280102030405067A");
    EXPECT_EQ(doc["state"], "high_alarm");
    EXPECT_DOUBLE_EQ(doc["value"].get<double>(), -12.04);
    EXPECT_EQ(doc["unit"], "°C");
    EXPECT_EQ(doc["limits"]["alarm_high"], -15);
    EXPECT_EQ(doc["time"], "2026-12-08T03:12:00");
    EXPECT_EQ(doc["id"], "n1");
    EXPECT_EQ(doc["sequence_id"], "n1");
    EXPECT_EQ(english.id, "n1");

    const Message german = MessageOf(notice, 1, "Lab 3", "", "");
    EXPECT_EQ(german.title, "Alarm hoch: Freezer -12.0 °C");
    EXPECT_NE(german.text.find("Wert: -12.0 °C (Grenze -15 °C)"), std::string::npos) << german.text;
    EXPECT_NE(german.text.find("1 Std. 05 Min."), std::string::npos);
    EXPECT_FALSE(nlohmann::json::parse(german.document).contains("topic"));
    for (int taal = 0; taal < 4; ++taal) {
        EXPECT_NE(MessageOf(notice, taal, "Lab 3", "", "").text.find("Freezer"), std::string::npos);
    }
    EXPECT_NE(MessageOf(notice, 2, "Lab 3", "", "").text,
              MessageOf(notice, 3, "Lab 3", "", "").text);

    notice.kind = NoticeKind::kEnded;
    notice.facts = Freezer(kAlarmNone, -21.0);
    const Message ended = MessageOf(notice, 0, "Lab 3", "", "");
    EXPECT_EQ(ended.title, "Alarm ended: Freezer");
    EXPECT_NE(ended.text.find("It stood for: 1 h 05 min"), std::string::npos) << ended.text;
    EXPECT_NE(ended.smsText.find("It stood for 1 h 05 min"), std::string::npos) << ended.smsText;
    EXPECT_EQ(nlohmann::json::parse(ended.document)["tags"],
              nlohmann::json::array({"white_check_mark"}));

    notice.kind = NoticeKind::kAlarm;
    notice.facts = Freezer(kAlarmLost, -300.0);
    const Message lost = MessageOf(notice, 0, "Lab 3", "", "");
    EXPECT_EQ(lost.title, "Probe lost: Freezer");
    EXPECT_TRUE(nlohmann::json::parse(lost.document)["value"].is_null());
    EXPECT_EQ(lost.text.find("Value"), std::string::npos);
}

AlarmFacts FreezerTime(int state, double minutes) {
    AlarmFacts facts = Freezer(state, minutes);
    facts.timeAlarm = true;
    return facts;
}

TEST(Escalation, ATimeAlarmStandsBesideTheValueAlarmOfTheSameProbe) {
    EscalationEngine engine({Contact("Anna")}, 5, 30, 0);
    EXPECT_EQ(Told(engine.OnAlarmChanged(Freezer(kAlarmHigh), 0.0, kWhen)), Lines{"0 alarm"});
    EXPECT_EQ(Told(engine.OnAlarmChanged(FreezerTime(kTimeAlarmHigh, 61), kMinute, kWhen)),
              Lines{"0 alarm"});
    EXPECT_EQ(engine.StandingAlarms(), 2);
    // Changing side is no worse; the value alarm's end leaves the time alarm.
    EXPECT_TRUE(engine.OnAlarmChanged(FreezerTime(kTimeAlarmLow, 62), 2 * kMinute, kWhen).empty());
    EXPECT_EQ(Told(engine.OnAlarmChanged(Freezer(kAlarmNone), 3 * kMinute, kWhen)),
              Lines{"0 ended"});
    EXPECT_EQ(engine.StandingAlarms(), 1);
    const std::vector<Notice> ended =
        engine.OnAlarmChanged(FreezerTime(kAlarmNone, 40), 4 * kMinute, kWhen);
    ASSERT_EQ(Told(ended), Lines{"0 ended"});
    EXPECT_DOUBLE_EQ(ended[0].stoodSeconds, 3 * kMinute);
    EXPECT_EQ(engine.StandingAlarms(), 0);
}

TEST(NoticeTexts, ATimeAlarmSaysItsMinutesAndTheLimitInTheLanguage) {
    Notice notice{
        0, NoticeKind::kAlarm, FreezerTime(kTimeAlarmHigh, 61), kWhen, kWhen, 0.0, "", "n2", "",
        {}};
    const Message english = MessageOf(notice, 0, "Lab 3", "", "");
    EXPECT_EQ(english.title, "Time High Alarm: Freezer 61 min in 24 h");
    EXPECT_NE(english.text.find("Value: 61 min in 24 h (limit -15 °C)"), std::string::npos)
        << english.text;
    EXPECT_EQ(english.smsText,
              acquisition::TimeAlarmSmsText(kTimeAlarmHigh, "Freezer", 61, 0, kWhen, "Lab 3"));
    const nlohmann::json doc = nlohmann::json::parse(english.document);
    EXPECT_EQ(doc["state"], "time_high_alarm");
    EXPECT_EQ(doc["time_alarm"], true);
    EXPECT_EQ(doc["unit"], "min");
    EXPECT_EQ(doc["priority"], 5);

    notice.facts = FreezerTime(kTimeAlarmLow, 75);
    const Message dutch = MessageOf(notice, 3, "Lab 3", "", "");
    EXPECT_EQ(dutch.title, "Tijdalarm laag: Freezer 75 min in 24 uur");
    EXPECT_NE(dutch.text.find("(grens -30 °C)"), std::string::npos) << dutch.text;

    notice.kind = NoticeKind::kEnded;
    notice.facts = FreezerTime(kAlarmNone, 12);
    EXPECT_EQ(MessageOf(notice, 1, "Lab 3", "", "").title, "Zeit OK: Freezer");
    EXPECT_EQ(nlohmann::json::parse(MessageOf(notice, 0, "Lab 3", "", "").document)["time_alarm"],
              true);
}

// RFC 5322's date: the weekday and month in English whatever the language,
// and the zone the station's local time is in.
TEST(NoticeTexts, AMailIsDatedWhenItsNoticeWasMadeWithTheLocalOffset) {
    const char* zone = std::getenv("TZ");
    const std::string saved = zone != nullptr ? zone : "";
    ::setenv("TZ", "Europe/Amsterdam", 1);
    ::tzset();
    EXPECT_EQ(MailDate({2026, 12, 8, 3, 12, 5, 0}), "Tue, 08 Dec 2026 03:12:05 +0100");
    EXPECT_EQ(MailDate({2026, 7, 1, 23, 59, 0, 0}), "Wed, 01 Jul 2026 23:59:00 +0200");
    ::setenv("TZ", "America/St_Johns", 1);
    ::tzset();
    EXPECT_EQ(MailDate({2026, 1, 31, 0, 0, 0, 0}), "Sat, 31 Jan 2026 00:00:00 -0330");
    if (zone != nullptr) {
        ::setenv("TZ", saved.c_str(), 1);
    } else {
        ::unsetenv("TZ");
    }
    ::tzset();
    Notice notice;
    notice.kind = NoticeKind::kAlarm;
    notice.facts = Freezer(kAlarmHigh);
    notice.when = kWhen;
    notice.id = "n1";
    const Message message = MessageOf(notice, 2, "Lab 3", "", "");
    EXPECT_EQ(message.date, MailDate(kWhen));
    const std::string mail = MailText("station@lab.example", "anna@lab.example", message);
    EXPECT_TRUE(mail.starts_with("Date: " + MailDate(kWhen) + "\r\nFrom: station@lab.example\r\n"))
        << mail;
}

TEST(NoticeTexts, MailHeadersStayOneLineAndEncodeWhatIsNotAscii) {
    Message message;
    message.title = "High Alarm: Kühlraum\r\nBcc: everyone@example.org";
    message.text = "line one\nline two\n";
    message.priority = 5;
    const std::string mail = MailText("station@lab.example", "anna@lab.example", message);
    EXPECT_EQ(mail.find("\r\nBcc:"), std::string::npos) << mail;
    EXPECT_NE(mail.find("Subject: =?UTF-8?B?"), std::string::npos);
    EXPECT_NE(mail.find("\r\n\r\nline one\r\nline two\r\n"), std::string::npos);
    message.title = "Pre-High Alarm: Fridge";
    EXPECT_NE(MailText("a@b", "c@d", message).find("Subject: Pre-High Alarm: Fridge\r\n"),
              std::string::npos);
}

TEST(Acknowledgement, IsOneLineOfTheAlarmFileWhateverIsTyped) {
    EXPECT_EQ(AcknowledgementMessage("anna", ""), "Acknowledged by anna");
    EXPECT_EQ(AcknowledgementMessage("anna", "  door was open\r\n2026-01-01 00:00: fake "),
              "Acknowledged by anna: door was open  2026-01-01 00:00: fake");
    EXPECT_EQ(AcknowledgementMessage("", "x"), "Acknowledged by unknown user: x");
    EXPECT_EQ(AcknowledgementMessage("anna", std::string(300, 'a')),
              "Acknowledged by anna: " + std::string(kMaxCommentLength, 'a'));
    // The limit is the prompt's and the dashboard's, in characters: a comment
    // as long as they take is kept whole, however many bytes its letters take.
    std::string umlauts;
    for (std::size_t i = 0; i < kMaxCommentLength; ++i) {
        umlauts += "ü";
    }
    EXPECT_EQ(AcknowledgementMessage("anna", umlauts), "Acknowledged by anna: " + umlauts);
    EXPECT_EQ(AcknowledgementMessage("anna", umlauts + "üü"), "Acknowledged by anna: " + umlauts);
}

TEST(Acknowledgement, ACommentAsLongAsTheDashboardTakesIsKeptWholeInTheAlarmFile) {
    TempDir dir;
    VirtualClock clock;
    RecordingLog log;
    LiveFeed feed;
    acquisition::AlarmLog alarmFile(dir / "QRVAlarm.txt", clock, log);
    // The dashboard's API says 200 (docs/web-api.md).
    std::string comment;
    for (std::size_t i = 0; i < 200; ++i) {
        comment += i % 10 == 9 ? "x" : "\u00e9";
    }
    RecordAcknowledgement(alarmFile, feed, clock, "anna", comment);
    const std::string file = Cp1252ToUtf8(ReadBytes(dir / "QRVAlarm.txt"));
    EXPECT_NE(file.find("Acknowledged by anna: " + comment + "\r\n"), std::string::npos) << file;
}

TEST(Retries, WaitLongerEachTimeAndEndAnHourAfterTheFirstAttempt) {
    std::vector<double> attempts{0.0};
    while (auto next = NextAttempt(0.0, attempts.back(), static_cast<int>(attempts.size()))) {
        attempts.push_back(*next);
    }
    EXPECT_EQ(attempts, (std::vector<double>{0, 60, 180, 420, 900, 1860, 3600}));
}

TEST(NotifyConfig, ReadsContactsInOrderWithGroupsAndRefusesWhatCannotBeUsed) {
    const StationConfigRead read = ParseStationConfig(R"(
[notify]
escalate_after = 10
remind_after = 30
timeout_seconds = 5

[notify.email]
smtp_url = "smtp://127.0.0.1:2525"
from = "station@lab.example"
starttls = false

[notify.groups]
freezers = ["Freezer A", "Freezer B"]

[[notify.contact]]
name = "Anna"
channel = "webhook"
address = "https://ntfy.example/"
topic = "lab"
token = "tk_1"
groups = ["freezers"]
probes = ["Office"]

[[notify.contact]]
name = "Ben"
channel = "email"
address = "ben@lab.example"
logins = ["bvd"]

[[notify.contact]]
name = "Cleo"
channel = "sms"
address = "Cleo"

[[notify.contact]]
name = "Header"
channel = "email"
address = "x@y.z>\nBcc: all@y.z"

[[notify.contact]]
name = "Nowhere"
channel = "pager"
address = "1"

[[notify.contact]]
name = "Plain"
channel = "webhook"
address = "file:///etc/passwd"
colour = "red"
)",
                                                      "q.toml");
    const NotifyConfig& notify = read.config.notify;
    EXPECT_EQ(notify.escalateAfterMinutes, 10);
    EXPECT_EQ(notify.remindAfterMinutes, 30);
    EXPECT_EQ(notify.timeoutSeconds, 5);
    EXPECT_FALSE(notify.email.starttls);
    ASSERT_EQ(notify.contacts.size(), 3u);
    EXPECT_EQ(notify.contacts[0].name, "Anna");
    EXPECT_EQ(notify.contacts[0].probes,
              (std::vector<std::string>{"Office", "Freezer A", "Freezer B"}));
    EXPECT_EQ(notify.contacts[0].token, "tk_1");
    EXPECT_EQ(notify.contacts[1].channel, NotifyChannel::kEmail);
    EXPECT_EQ(notify.contacts[1].logins, std::vector<std::string>{"bvd"});
    EXPECT_EQ(notify.contacts[2].channel, NotifyChannel::kSms);
    ASSERT_EQ(read.problems.size(), 4u);
    EXPECT_NE(read.problems[0].find("Header: an email address"), std::string::npos)
        << read.problems[0];
    EXPECT_NE(read.problems[1].find("Nowhere: channel must be"), std::string::npos);
    EXPECT_NE(read.problems[2].find("notify.contact.colour: unknown key"), std::string::npos);
    EXPECT_NE(read.problems[3].find("Plain: a webhook address"), std::string::npos);

    const StationConfigRead bad = ParseStationConfig(R"(
[notify]
escalate_after = 0
[[notify.contact]]
channel = "email"
address = "ben@lab.example"
)",
                                                     "q.toml");
    EXPECT_EQ(bad.config.notify.escalateAfterMinutes, 15);
    EXPECT_TRUE(bad.config.notify.contacts.empty());
    ASSERT_EQ(bad.problems.size(), 2u);
    EXPECT_NE(bad.problems[0].find("q.toml:3: notify.escalate_after"), std::string::npos)
        << bad.problems[0];
    EXPECT_NE(bad.problems[1].find("contact 1: email needs smtp_url"), std::string::npos)
        << bad.problems[1];
    EXPECT_EQ(bad.config.notify.unusable, "every contact is left out");
    EXPECT_EQ(read.config.notify.unusable, "") << "some contacts remain";
}

// The call list the file asks for is lost: the reason, so that the station
// can say that the SMS program's destination takes over.
TEST(NotifyConfig, SaysWhyACallListAskedForCannotBeUsed) {
    const auto unusable = [](std::string_view text) {
        return ParseStationConfig(text, "q.toml").config.notify.unusable;
    };
    EXPECT_EQ(unusable(""), "");
    EXPECT_EQ(unusable("[notify]\nescalate_after = 5\n"), "") << "no list asked for";
    EXPECT_EQ(unusable("notify = 3\n"), "[notify] is not a section");
    EXPECT_EQ(unusable("[notify]\ncontact = \"Anna\"\n"),
              "notify.contact is not a list of [[notify.contact]] sections");
    EXPECT_EQ(unusable("[[notify.contact]]\nname = \"Anna\"\nchannel = \"sms\"\n"
                       "address = \"\"\n"),
              "every contact is left out");
    EXPECT_EQ(unusable("[[notify.contact]]\nname = \"Anna\nchannel = \"sms\"\n"),
              "the file cannot be read as TOML");
    EXPECT_EQ(unusable("[[notify.contact]]\nname = \"Anna\"\nchannel = \"sms\"\n"
                       "address = \"Anna\"\n"),
              "");
}

}  // namespace
}  // namespace qrv::notify
