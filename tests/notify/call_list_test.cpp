// The call list at work on the simulated unit and virtual time, with real
// receivers: a freezer that warms, the SMS program as a contact, and a week
// of alarms with one receiver down for a day.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>

#include <fmt/format.h>

#include "app/live_station.h"
#include "app/shell/commands.h"
#include "notify/acknowledgement.h"
#include "receivers.h"
#include "runtime/silent_status_display.h"
#include "sensors/rom_text.h"
#include "support/clocked_launcher.h"
#include "support/recording_log.h"

namespace qrv::testing {
namespace {

using namespace std::chrono_literals;

constexpr double kMinute = 60.0;
// A freezer at -20 °C that warms to -10 °C two minutes in and is cold again
// after twenty.
constexpr const char* kWarmingFreezer = R"({"lines": [[
    {"type": "DS18B20", "temperature": {"value": -20.0, "steps": [[120, -10.0], [1200, -20.0]]}}],
    [], []]})";

NotifyContact ContactOf(std::string name, NotifyChannel channel, std::string address) {
    NotifyContact contact;
    contact.name = std::move(name);
    contact.channel = channel;
    contact.address = std::move(address);
    return contact;
}

std::vector<std::string> Events(const HttpReceiver& receiver) {
    std::vector<std::string> events;
    for (const HttpReceiver::Request& request : receiver.Requests()) {
        events.push_back(nlohmann::json::parse(request.body)["event"]);
    }
    return events;
}

// "event state" of every request, in order.
std::vector<std::string> EventStates(const HttpReceiver& receiver) {
    std::vector<std::string> lines;
    for (const HttpReceiver::Request& request : receiver.Requests()) {
        const nlohmann::json doc = nlohmann::json::parse(request.body);
        lines.push_back(fmt::format("{} {}{}", doc["event"].get<std::string>(),
                                    doc["time_alarm"].get<bool>() ? "time " : "",
                                    doc["state"].get<std::string>()));
    }
    return lines;
}

using Lines = std::vector<std::string>;

class CallList : public ::testing::Test, protected LiveStation {
  protected:
    CallList() : LiveStation(kWarmingFreezer, {2026, 12, 8, 2, 0, 0, 0}) {
        const int freezer = AddProbe(1, 0, "Freezer");
        SensorRecord& record = Probe(freezer);
        record.AlarmHigh = -15;
        record.TripHigh = -15;
        record.AlarmLow = -40;
        record.TripLow = -40;
        record.AlarmDelay = 0;
        record.TripDelay = 0;
        record.SmsEnable = 1;
        record.Value = -20.0;
        state.sensors.Lock()->NetworkName = "Lab 3";
        ConfigureSms();
    }

    // Runs the station on until the notifications have caught up with it;
    // an SMS hand-off needs the clock to move while it runs.
    void Settle() {
        ASSERT_TRUE(WaitUntil([&] {
            if (monitoring.Notifications()->Idle()) {
                return true;
            }
            if (clock.Sleepers() > 0 &&
                monitoring.Acquisition().Sms().WaitUntilIdle(0ms) == false) {
                RunFor(1.0);
            }
            return false;
        }));
    }
};

TEST_F(CallList, AWarmingFreezerWorksTheListUntilAcknowledgedThenRemindsAndEnds) {
    HttpReceiver anna;
    SmtpReceiver ben(dir / "maildir");
    ASSERT_TRUE(ben.Ready()) << "python3-aiosmtpd is needed (scripts/install-deps.sh)";
    // Short times, so the drill stays short under the sanitizers too.
    NotifyConfig config;
    config.escalateAfterMinutes = 3;
    config.remindAfterMinutes = 10;
    config.email.smtpUrl = ben.Url();
    config.email.from = "station@lab.example";
    config.email.starttls = false;
    config.contacts = {ContactOf("Anna", NotifyChannel::kWebhook, anna.Url()),
                       ContactOf("Ben", NotifyChannel::kEmail, "ben@lab.example"),
                       ContactOf("Cleo", NotifyChannel::kSms, "Cleo")};
    config.contacts[0].token = "tk_anna";
    monitoring.StartNotifications(config);
    Install();

    RunFor(125.0);
    ASSERT_EQ(Probe(0).AlarmState, kAlarmHigh);
    Settle();
    EXPECT_EQ(Events(anna), Lines{"alarm"});
    EXPECT_TRUE(ben.Mails().empty());
    const nlohmann::json first = nlohmann::json::parse(anna.Requests()[0].body);
    EXPECT_EQ(first["probe"], "Freezer");
    EXPECT_EQ(first["station"], "Lab 3");
    EXPECT_NE(anna.Requests()[0].head.find("Bearer tk_anna"), std::string::npos);
    // The call list has the SMS now: the linked destination gets none.
    EXPECT_TRUE(launcher.Launched().empty());

    RunFor(3 * kMinute);
    Settle();
    ASSERT_TRUE(WaitUntil([&] { return ben.Mails().size() == 1; }));
    // "High Alarm: Freezer -", the subject encoded whole for its degree sign.
    EXPECT_NE(ben.Mails()[0].find("Subject: =?UTF-8?B?SGlnaCBBbGFybTogRnJlZXplciAt"),
              std::string::npos)
        << ben.Mails()[0];

    dialogs.QueueText("moving the samples");
    shell::AlarmButton(state, services, 0);
    EXPECT_NE(Count(AlarmText(),
                    "Acknowledged by " + notify::LoginName() + " (window): moving the samples"),
              0);
    // Cleo's turn would have come at 6 minutes; nobody hears more until the reminder.
    RunFor(9 * kMinute);
    Settle();
    EXPECT_EQ(Events(anna), Lines{"alarm"});
    EXPECT_EQ(ben.Mails().size(), 1u);
    EXPECT_TRUE(launcher.Launched().empty());
    RunFor(2 * kMinute);
    Settle();
    EXPECT_EQ(Events(anna), (Lines{"alarm", "reminder"}));
    ASSERT_TRUE(WaitUntil([&] { return ben.Mails().size() == 2; }));

    RunFor(1300.0 - clock.Timer());
    ASSERT_EQ(Probe(0).AlarmState, kAlarmNone);
    Settle();
    EXPECT_EQ(Events(anna), (Lines{"alarm", "reminder", "ended"}));
    const nlohmann::json ended = nlohmann::json::parse(anna.Requests()[2].body);
    EXPECT_NEAR(ended["stood_seconds"].get<double>(), 1080, 5) << ended.dump(1);
    ASSERT_TRUE(WaitUntil([&] { return ben.Mails().size() == 3; }));
    EXPECT_TRUE(launcher.Launched().empty()) << "Cleo was never told, so hears of no end";
    EXPECT_EQ(dialogs.UnexpectedPopups(), 0);
}

TEST_F(CallList, ATimeOutOfRangeAlarmIsCalledOutBesideTheValueAlarmAndEndsOnItsOwn) {
    // More than 3 of the last 24 hours' minutes above the high limit.
    WriteBytes(dir / "QRVTimeAlarms.json",
               fmt::format(R"({{"time_alarms": [{{"rom": "{}", "minutes_above": 3}}]}})",
                           RomToHex(Probe(0).Rom)));
    HttpReceiver anna;
    HttpReceiver ben;
    NotifyConfig config;
    config.escalateAfterMinutes = 3;
    config.remindAfterMinutes = 60;
    config.contacts = {ContactOf("Anna", NotifyChannel::kWebhook, anna.Url()),
                       ContactOf("Ben", NotifyChannel::kWebhook, ben.Url())};
    monitoring.StartNotifications(config);
    Install();

    // The value alarm from 2 minutes in; the time alarm once 3 minutes above
    // are passed. Each is a new alarm to the head of the list, not a worse one.
    RunFor(420.0);
    Settle();
    ASSERT_EQ(EventStates(anna), (Lines{"alarm high_alarm", "alarm time time_high_alarm"}))
        << AlarmText();
    const nlohmann::json rose = nlohmann::json::parse(anna.Requests()[1].body);
    EXPECT_EQ(rose["unit"], "min");
    const std::string minutes = fmt::format("{}", rose["value"].get<double>());
    EXPECT_EQ(rose["title"], "Time High Alarm: Freezer " + minutes + " min in 24 h");
    EXPECT_NE(rose["message"].get<std::string>().find("(limit -15 °C)"), std::string::npos)
        << rose["message"];
    EXPECT_EQ(Count(AlarmText(), "Time High Alarm:  Freezer     " + minutes + " min in 24 h"), 1);
    EXPECT_TRUE(launcher.Launched().empty()) << "the call list has the alarm SMS";

    // Each escalates to Ben on its own clock; the value alarm's end leaves
    // the time alarm standing.
    RunFor(1300.0 - clock.Timer());
    ASSERT_EQ(Probe(0).AlarmState, kAlarmNone);
    Settle();
    EXPECT_EQ(EventStates(anna),
              (Lines{"alarm high_alarm", "alarm time time_high_alarm", "ended ended"}));
    EXPECT_EQ(EventStates(ben),
              (Lines{"escalation high_alarm", "escalation time time_high_alarm", "ended ended"}));

    // Turning the alarms off clears the time alarm: both hear of its end.
    shell::SetGeneralAlarmEnable(state, services, 0);
    RunFor(10.0);
    Settle();
    ASSERT_EQ(anna.Count(), 4u);
    ASSERT_EQ(ben.Count(), 4u);
    EXPECT_EQ(EventStates(anna).back(), "ended time ended");
    EXPECT_EQ(EventStates(ben).back(), "ended time ended");
    EXPECT_EQ(nlohmann::json::parse(ben.Requests()[3].body)["title"], "Time OK: Freezer");
    EXPECT_EQ(dialogs.UnexpectedPopups(), 0);
}

TEST_F(CallList, TheSmsProgramAsAContactKeepsItsTimingCodesAndLogLines) {
    NotifyConfig config;
    config.contacts = {ContactOf("Cleo", NotifyChannel::kSms, "Cleo")};
    monitoring.StartNotifications(config);
    launcher.SetRunSeconds(3.0);
    Install();
    RunFor(125.0);
    Settle();
    ASSERT_EQ(launcher.Launched().size(), 1u) << LogText();
    EXPECT_EQ(launcher.Launched()[0][1], "Cleo");
    EXPECT_EQ(launcher.Launched()[0][2], "QUORVANEL");
    EXPECT_EQ(Count(LogText(), ": WARNING: SMS Centre finished too fast.\r\n"), 1);
    EXPECT_EQ(Count(LogText(),
                    "Notification to Cleo by sms (High Alarm: Freezer -10.3 °C): attempt 1 failed "
                    "(WARNING: SMS Centre finished too fast.); "
                    "next in 1 min"),
              1);
    launcher.SetRunSeconds(30.0);
    RunFor(kMinute);
    Settle();
    ASSERT_EQ(launcher.Launched().size(), 2u);
    EXPECT_EQ(Count(LogText(), ": OK:    SMS was send.\r\n"), 1);
    EXPECT_EQ(Count(LogText(), "attempt 2 delivered (OK:    SMS was send.)"), 1);
    // The station's SMS form, word by word, as the linked program always got it.
    const std::vector<std::string> argv = launcher.Launched()[1];
    std::string text;
    for (std::size_t i = 2; i < argv.size(); ++i) {
        text += (i > 2 ? " " : "") + argv[i];
    }
    EXPECT_TRUE(
        text.starts_with("QUORVANEL MESSAGE: High Alarm: Freezer -10.3 C,08/12/2026, 02:02:0"))
        << text;
    EXPECT_TRUE(text.ends_with("Lab 3")) << text;
}

TEST_F(CallList, AProbeWithoutSmsNotifiesNobodyAndWithoutContactsTheLinkedProgramGetsItAsBefore) {
    Probe(0).SmsEnable = 0;
    HttpReceiver anna;
    NotifyConfig config;
    config.contacts = {ContactOf("Anna", NotifyChannel::kWebhook, anna.Url())};
    monitoring.StartNotifications(config);
    Install();
    RunFor(125.0);
    Settle();
    EXPECT_EQ(anna.Count(), 0u);

    // Without contacts the alarm SMS go to the linked destination again.
    monitoring.StartNotifications(NotifyConfig{});
    EXPECT_EQ(monitoring.Notifications(), nullptr);
    EXPECT_EQ(monitoring.Acquisition().AlarmSms().SendAlarmMessage("QUORVANEL MESSAGE: x"), 0);
}

TEST_F(CallList, TheAlarmMenuSendsATestMessageToTheContactChosenOrToAll) {
    const auto testContacts = [&] {
        shell::ExecuteMenuCommand(state, services, view, shell::MenuCommand::TestContacts, 0);
    };
    testContacts();
    ASSERT_EQ(dialogs.Popups().size(), 1u);
    EXPECT_EQ(dialogs.Popups()[0].message,
              "There are no contacts in quorvanel.toml: alarms go to the SMS program only.");

    HttpReceiver anna;
    HttpReceiver ben;
    NotifyConfig config;
    config.contacts = {ContactOf("Anna", NotifyChannel::kWebhook, anna.Url()),
                       ContactOf("Ben", NotifyChannel::kWebhook, ben.Url())};
    monitoring.StartNotifications(config);
    dialogs.QueueText("2");
    testContacts();
    EXPECT_NE(dialogs.Popups()[1].message.find("1  Anna (webhook)\n2  Ben (webhook)\n"),
              std::string::npos)
        << dialogs.Popups()[1].message;
    ASSERT_TRUE(WaitUntil([&] { return ben.Count() == 1 && monitoring.Notifications()->Idle(); }));
    EXPECT_EQ(anna.Count(), 0u);
    const nlohmann::json test = nlohmann::json::parse(ben.Requests()[0].body);
    EXPECT_EQ(test["event"], "test");
    EXPECT_EQ(test["title"], "Test message: Lab 3");

    dialogs.QueueText(" 0 ");
    testContacts();
    ASSERT_TRUE(WaitUntil([&] { return anna.Count() == 1 && ben.Count() == 2; }));
    for (const char* typed : {"3", "x", ""}) {
        dialogs.QueueText(typed);
        testContacts();
        EXPECT_EQ(dialogs.Popups().back().message, "Bad syntax.") << typed;
    }
    dialogs.QueueText(std::nullopt);
    testContacts();
    EXPECT_EQ(dialogs.UnexpectedPopups(), 0);
    ASSERT_TRUE(WaitUntil([&] { return monitoring.Notifications()->Idle(); }));
    EXPECT_EQ(anna.Count() + ben.Count(), 3u);
}

// A week of alarms coming and going, Ben's receiver refusing for a whole
// day: every notice ends delivered or given up, and Anna, first on the list,
// hears of every alarm and every end.
TEST(CallListWeek, EveryNoticeIsAccountedForInTheLog) {
    VirtualClock clock({2026, 12, 7, 0, 0, 0, 0});
    RecordingLog log;
    LiveFeed feed;
    SharedSensorTable table;
    SettingsOwner settings;
    {
        auto t = table.Lock();
        t->SensorArray[0].Name = "Freezer";
        t->SensorArray[0].Rom = {0x28, 1, 2, 3, 4, 5, 6, 0x7A};
        t->SensorArray[0].SensorType = kTypeTemperature;
        t->SensorArray[0].Units = "°C";
        t->SensorArray[0].SmsEnable = 1;
        t->SensorArray[0].Line = 1;
    }
    ASSERT_EQ(table.Lock()->GetMax1820Index(), 0);
    ClockedLauncher launcher(clock);
    SilentStatusDisplay display;
    acquisition::SmsWorker sms(settings, launcher, clock, log, display);
    HttpReceiver anna;
    HttpReceiver ben;
    NotifyConfig config;
    config.contacts = {ContactOf("Anna", NotifyChannel::kWebhook, anna.Url()),
                       ContactOf("Ben", NotifyChannel::kWebhook, ben.Url())};
    config.contacts[1].logins = {"bvd"};
    config.timeoutSeconds = 5;
    notify::Notifier notifier(config, {feed, table, settings, clock, log, sms});

    // What happens when: alarms every three hours, some acknowledged by Ben.
    struct Step {
        double at;
        std::function<void()> act;
    };
    std::vector<Step> script;
    const auto change = [&](int from, int to, double value) {
        SensorRecord record = table.Copy().SensorArray[0];
        record.Value = value;
        LiveEvent event = ProbeEvent(LiveEventKind::kAlarmChanged, clock.Now(), 0, record);
        event.oldAlarm = from;
        event.newAlarm = to;
        feed.Publish(event);
    };
    constexpr double kDay = 24 * 60 * kMinute;
    int alarms = 0;
    for (double start = 10 * kMinute; start < 7 * kDay; start += 180 * kMinute, ++alarms) {
        const double lasts = (10 + (alarms * 37) % 100 + 0.5) * kMinute;
        script.push_back({start, [&, alarms] { change(kAlarmNone, kAlarmHigh, -10 + alarms); }});
        if (alarms % 2 == 0) {
            script.push_back({start + 20 * kMinute, [&] {
                                  LiveEvent ack =
                                      StationEvent(LiveEventKind::kAcknowledged, clock.Now());
                                  ack.by = "bvd";
                                  feed.Publish(ack);
                              }});
        }
        script.push_back({start + lasts, [&] { change(kAlarmHigh, kAlarmNone, -20); }});
    }
    script.push_back({2 * kDay, [&] { ben.AnswerWith(503); }});
    script.push_back({3 * kDay, [&] { ben.AnswerWith(200); }});
    std::stable_sort(script.begin(), script.end(),
                     [](const Step& a, const Step& b) { return a.at < b.at; });

    std::size_t next = 0;
    while (next < script.size() || clock.NextWakeUp() < 8 * kDay) {
        const double due = next < script.size() ? script[next].at : 8 * kDay;
        const double target = std::min(due, clock.NextWakeUp());
        if (target > clock.Timer()) {
            clock.Advance(target - clock.Timer());
        }
        while (next < script.size() && script[next].at <= clock.Timer()) {
            script[next++].act();
        }
        // Idle, and every thread asleep on the clock: the next advance must not
        // pass a deadline a thread has yet to sleep for.
        ASSERT_TRUE(WaitUntil([&] {
            return notifier.Idle() && clock.NextWakeUp() <= notifier.NextDue() + 1e-6;
        })) << clock.Timer() / kDay;
    }

    const auto lines = [&](const std::string& part, const std::string& also = "") {
        int n = 0;
        for (const std::string& line : log.Messages()) {
            n += line.find(part) != std::string::npos && line.find(also) != std::string::npos;
        }
        return n;
    };
    EXPECT_EQ(alarms, 56);
    EXPECT_EQ(lines(": attempt 1 "), lines(" delivered (HTTP 200)") + lines("; given up"));
    EXPECT_EQ(lines("to Anna by webhook (High Alarm: Freezer", "°C): attempt 1 delivered"), alarms);
    EXPECT_EQ(lines("to Anna by webhook (Alarm ended: Freezer)", "attempt 1 delivered"), alarms);
    EXPECT_EQ(lines("to Anna", "failed"), 0);
    std::vector<std::string> annaEvents = Events(anna);
    EXPECT_EQ(std::count(annaEvents.begin(), annaEvents.end(), "alarm"), alarms);
    EXPECT_EQ(std::count(annaEvents.begin(), annaEvents.end(), "ended"), alarms);
    // Ben's day without a receiver: retried for an hour each, then given up.
    EXPECT_GT(lines("to Ben", "; given up"), 0);
    EXPECT_EQ(lines("to Ben", "; given up"), lines("to Ben", "attempt 7 failed"));
    // Ben hears of an alarm first by its escalation, and of its end once.
    EXPECT_GT(lines("to Ben", "°C): attempt 1 "), 0);
    EXPECT_EQ(lines("to Ben", "°C): attempt 1 "),
              lines("to Ben", "(Alarm ended: Freezer): attempt 1 "));
}

}  // namespace
}  // namespace qrv::testing
