// The call list at work on the simulated unit and virtual time, with real
// receivers: a freezer that warms, the SMS program as a contact, and a week
// of alarms with one receiver down for a day.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <set>

#include <fmt/format.h>

#include "app/live_station.h"
#include "app/shell/commands.h"
#include "call_list_station.h"
#include "config/station_config.h"
#include "notify/acknowledgement.h"
#include "runtime/silent_status_display.h"
#include "sensors/rom_text.h"
#include "station/station_links.h"
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

// A call list that tells each alarm on its own the moment it changes: the
// cases of one probe, whose times are counted from the change.
NotifyConfig OneAtATime() {
    NotifyConfig config;
    config.groupSeconds = 0;
    return config;
}

// The freezer of the first device on line 1: alarm above -15 °C at once,
// SMS on, in the station "Lab 3" with the SMS program linked.
void SetUpFreezer(LiveStation& station) {
    AddColdStoreProbe(station, 0, "Freezer");
    station.state.sensors.Lock()->NetworkName = "Lab 3";
    station.ConfigureSms();
}

class CallList : public ::testing::Test, protected LiveStation {
  protected:
    CallList() : LiveStation(kWarmingFreezer, {2026, 12, 8, 2, 0, 0, 0}) { SetUpFreezer(*this); }

    void Settle() { testing::Settle(*this); }
};

TEST_F(CallList, AWarmingFreezerWorksTheListUntilAcknowledgedThenRemindsAndEnds) {
    HttpReceiver anna;
    SmtpReceiver ben(dir / "maildir");
    ASSERT_TRUE(ben.Ready()) << "python3-aiosmtpd is needed (scripts/install-deps.sh)";
    // Short times, so the drill stays short under the sanitizers too.
    NotifyConfig config = OneAtATime();
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
    NotifyConfig config = OneAtATime();
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
    NotifyConfig config = OneAtATime();
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
    NotifyConfig config = OneAtATime();
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
    NotifyConfig config = OneAtATime();
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

// Anna, Ben and Cleo on webhooks, three minutes apart.
struct ThreeOnCall {
    ThreeOnCall() {
        config.groupSeconds = 0;
        config.escalateAfterMinutes = 3;
        config.remindAfterMinutes = 60;
        config.contacts = {ContactOf("Anna", NotifyChannel::kWebhook, anna.Url()),
                           ContactOf("Ben", NotifyChannel::kWebhook, ben.Url()),
                           ContactOf("Cleo", NotifyChannel::kWebhook, cleo.Url())};
    }
    HttpReceiver anna;
    HttpReceiver ben;
    HttpReceiver cleo;
    NotifyConfig config = OneAtATime();
};

// The freezer warms at 02:02; Anna is told, Ben three minutes later. What
// the station directory holds at 02:06 is what a start after a power cut
// finds.
struct StationFiles {
    std::string callList;
    std::string alarms;
};

StationFiles WorkTheListToBen(LiveStation& station, const ThreeOnCall& on) {
    station.monitoring.StartNotifications(on.config);
    station.Install();
    station.RunFor(125.0);
    Settle(station);
    station.RunFor(4 * kMinute);
    Settle(station);
    EXPECT_EQ(Events(on.anna), Lines{"alarm"});
    EXPECT_EQ(Events(on.ben), Lines{"escalation"});
    return {ReadBytes(station.dir / notify::kCallListFileName),
            ReadBytes(station.state.paths.AlarmFileName())};
}

void StartWith(LiveStation& station, const StationFiles& files, const NotifyConfig& config) {
    SetUpFreezer(station);
    WriteBytes(station.dir / notify::kCallListFileName, files.callList);
    WriteBytes(station.state.paths.AlarmFileName(), files.alarms);
    station.monitoring.StartNotifications(config);
    station.Install();
}

TEST_F(CallList, AfterAPowerCutAStandingAlarmGoesOnWhereItsEscalationWas) {
    ThreeOnCall on;
    const StationFiles files = WorkTheListToBen(*this, on);
    // Back at 02:10 with the freezer still warm; it is cold again at 02:20.
    LiveStation later(R"({"lines": [[
        {"type": "DS18B20", "temperature": {"value": -10.0, "steps": [[600, -20.0]]}}],
        [], []]})",
                      {2026, 12, 8, 2, 10, 0, 0});
    StartWith(later, files, on.config);
    later.RunFor(10.0);
    testing::Settle(later);
    // Nobody hears of a new alarm; Cleo's turn came at 02:08, so she is
    // called now, told since when it stands.
    EXPECT_EQ(Events(on.anna), Lines{"alarm"});
    EXPECT_EQ(Events(on.ben), Lines{"escalation"});
    ASSERT_EQ(Events(on.cleo), Lines{"escalation"});
    const nlohmann::json cleo = Body(on.cleo, 0);
    EXPECT_TRUE(cleo["rose"].get<std::string>().starts_with("2026-12-08T02:02:0")) << cleo;
    EXPECT_NEAR(cleo["stood_seconds"].get<double>(), 8 * kMinute, 10) << cleo;
    EXPECT_NE(cleo["message"].get<std::string>().find("Since: 08/12/2026 02:02"), std::string::npos)
        << cleo["message"];

    later.RunFor(620.0 - later.clock.Timer());
    ASSERT_EQ(later.Probe(0).AlarmState, kAlarmNone);
    testing::Settle(later);
    for (const HttpReceiver* receiver : {&on.anna, &on.ben, &on.cleo}) {
        ASSERT_EQ(Events(*receiver).back(), "ended");
        const nlohmann::json ended = Body(*receiver, receiver->Count() - 1);
        EXPECT_NEAR(ended["stood_seconds"].get<double>(), 18 * kMinute, 10) << ended;
    }
    EXPECT_EQ(on.anna.Count() + on.ben.Count() + on.cleo.Count(), 6u);
}

TEST_F(CallList, AnAlarmThatEndedWhileTheStationWasStoppedEndsToEveryoneToldAndInTheAlarmFile) {
    ThreeOnCall on;
    WorkTheListToBen(*this, on);
    // Stopped as SIGTERM stops it, then started at 02:30 on a cold freezer.
    monitoring.StartNotifications(NotifyConfig{});
    const StationFiles files{ReadBytes(dir / notify::kCallListFileName),
                             ReadBytes(state.paths.AlarmFileName())};
    LiveStation later(R"({"lines": [[{"type": "DS18B20", "temperature": -20.0}], [], []]})",
                      {2026, 12, 8, 2, 30, 0, 0});
    StartWith(later, files, on.config);
    later.RunFor(30.0);
    testing::Settle(later);
    EXPECT_EQ(Events(on.anna), (Lines{"alarm", "ended"}));
    EXPECT_EQ(Events(on.ben), (Lines{"escalation", "ended"}));
    EXPECT_EQ(on.cleo.Count(), 0u) << "Cleo was never told";
    EXPECT_NEAR(Body(on.ben, 1)["stood_seconds"].get<double>(), 28 * kMinute, 10);
    EXPECT_EQ(Count(later.AlarmText(), "High Alarm:  Freezer"), 1) << later.AlarmText();
    EXPECT_EQ(Count(later.AlarmText(), "Value OK:  Freezer"), 1) << later.AlarmText();
    EXPECT_EQ(Count(later.LogText(), "the alarm of Freezer ended while the station was stopped"),
              1);
    EXPECT_TRUE(
        nlohmann::json::parse(ReadBytes(later.dir / notify::kCallListFileName))["alarms"].empty());
    later.RunFor(3600.0);
    testing::Settle(later);
    EXPECT_EQ(on.anna.Count() + on.ben.Count(), 4u);
}

// A mistyped probe name, in a contact or in a group, is pointed at where it
// is written once the probes are known, again after a reread, and the
// contact still hears of the probes it names rightly.
TEST_F(CallList, AProbeNameNoProbeHasIsNamedWithItsLineAtTheStartAndAfterARereadOnly) {
    HttpReceiver anna;
    const StationConfigRead read = ParseStationConfig(
        "[notify.groups]\n"
        "cold = [\"Freezer\",\n"
        "        \"Fridge 2\"]\n"
        "[[notify.contact]]\n"
        "name = \"Anna\"\n"
        "channel = \"webhook\"\n"
        "address = \"" +
            anna.Url() +
            "\"\n"
            "probes = [\"frezer\", \"280000000000ABCD\"]\n"
            "groups = [\"cold\"]\n",
        "quorvanel.toml");
    ASSERT_EQ(read.problems, Lines{});
    monitoring.StartNotifications(read.config.notify);
    Install();
    // The alarm at 2 minutes, told once its group's 30 seconds are over.
    RunFor(160.0);
    Settle();
    const auto named = [&](const std::string& line) { return Count(LogText(), line); };
    const std::string frezer =
        "quorvanel.toml:8: notify.contact.probes: Anna: no probe is named \"frezer\" (nor has "
        "that ROM code); Anna is not told of it";
    const std::string fridge =
        "quorvanel.toml:3: notify.contact.probes: Anna: no probe is named \"Fridge 2\"";
    EXPECT_EQ(named(frezer), 1) << LogText();
    EXPECT_EQ(named("quorvanel.toml:8: notify.contact.probes: Anna: no probe is named "
                    "\"280000000000ABCD\""),
              1);
    EXPECT_EQ(named(fridge), 1);
    EXPECT_EQ(named("no probe is named \"Freezer\""), 0);
    EXPECT_EQ(Events(anna), Lines{"alarm"}) << "Freezer is named through the group";

    const auto pauseAndResume = [&] {
        services.networkTimer.StopNetworkTimer();
        services.networkTimer.StartNetworkTimer();
        RunFor(5.0);
        Settle();
    };
    // Paused and resumed for an edit: nothing new to say.
    pauseAndResume();
    EXPECT_EQ(named(frezer), 1);
    // Files read again: said again.
    monitoring.Notifications()->CheckProbeNamesAgain();
    pauseAndResume();
    EXPECT_EQ(named(frezer), 2);
    EXPECT_EQ(named(fridge), 2);
}

// Every contact refused: the log and a popup say that the SMS program's one
// destination is used, and the alarm SMS goes there as without a list.
TEST_F(CallList, ACallListThatCannotBeUsedIsSaidAndTheSmsProgramsDestinationTakesOver) {
    SystemSettings german = state.settings;
    german.Taal = 1;
    state.settingsOwner.Replace(german);
    const StationConfigRead read = ParseStationConfig(
        "[[notify.contact]]\nname = \"Anna\"\nchannel = \"webhook\"\naddress = \"ftp://x\"\n",
        "quorvanel.toml");
    shell::StationLinks links(state, monitoring, clock, log, dialogs);
    links.Start(read.config);
    EXPECT_EQ(monitoring.Notifications(), nullptr);
    EXPECT_EQ(Count(LogText(),
                    "The call list in quorvanel.toml cannot be used: every contact is left out; "
                    "alarm SMS go to the SMS program's single destination instead"),
              1)
        << LogText();
    ASSERT_EQ(dialogs.Popups().size(), 1u);
    EXPECT_TRUE(dialogs.Popups()[0].message.starts_with(
        "Die Anrufliste in quorvanel.toml kann nicht verwendet werden: every contact is left "
        "out\nAlarm-SMS gehen an das eine Ziel des SMS-Programms"))
        << dialogs.Popups()[0].message;
    EXPECT_EQ(monitoring.Acquisition().AlarmSms().SendAlarmMessage("QUORVANEL MESSAGE: x"), 0);
}

TEST_F(CallList, ADamagedStateFileIsKeptAsideAndTheCallListStartsWithoutIt) {
    WriteBytes(dir / notify::kCallListFileName, "{\"format\": \"quorvanel call list\", \"alar");
    HttpReceiver anna;
    NotifyConfig config = OneAtATime();
    config.contacts = {ContactOf("Anna", NotifyChannel::kWebhook, anna.Url())};
    monitoring.StartNotifications(config);
    EXPECT_EQ(Count(LogText(), (dir / notify::kCallListFileName).string() + " is not used"), 1)
        << LogText();
    EXPECT_EQ(Count(LogText(), "it is kept as QRVCallList.json.bad-20261208-020000"), 1);
    EXPECT_TRUE(std::filesystem::exists(dir / "QRVCallList.json.bad-20261208-020000"));
    Install();
    RunFor(125.0);
    Settle();
    EXPECT_EQ(Events(anna), Lines{"alarm"});
}

TEST_F(CallList, AReceiverThatRefusesForGoodIsGivenUpAtOnceAndTheNextContactIsCalled) {
    ThreeOnCall on;
    on.anna.AnswerWith(404);
    FeedSubscription events = monitoring.Feed().Subscribe();
    monitoring.StartNotifications(on.config);
    Install();
    RunFor(125.0);
    Settle();
    EXPECT_EQ(on.anna.Count(), 1u);
    // Published for the front ends: counted, on the feed, in the header.
    const NoticeTotals totals = monitoring.Notices();
    EXPECT_EQ(totals.Count(NotifyChannel::kWebhook, NoticeOutcome::kGivenUp), 1u);
    EXPECT_EQ(totals.Count(NotifyChannel::kWebhook, NoticeOutcome::kFailed), 1u);
    ASSERT_TRUE(totals.lastGivenUp.has_value());
    EXPECT_EQ(totals.lastGivenUp->contact, "Anna");
    const FeedBatch batch = events.Drain();
    EXPECT_EQ(std::count_if(batch.events.begin(), batch.events.end(),
                            [](const LiveEvent& event) {
                                return event.kind == LiveEventKind::kNoticeGivenUp &&
                                       event.by == "Anna" && event.reason == "HTTP 404: ok";
                            }),
              1);
    RunFor(1.0);
    EXPECT_EQ(display.Snapshot().noticeProblem,
              "NOTICE NOT DELIVERED to Anna by webhook (08/12/2026 02:02): HTTP 404: ok");
    EXPECT_EQ(Count(LogText(), "Notification to Anna by webhook (High Alarm: Freezer -10."), 1);
    EXPECT_EQ(Count(LogText(), "): attempt 1 refused (HTTP 404: ok); given up"), 1) << LogText();
    // Ben at once, told why; Cleo when her turn comes, three minutes on.
    ASSERT_EQ(Events(on.ben), Lines{"escalation"});
    const nlohmann::json ben = Body(on.ben, 0);
    EXPECT_EQ(ben["unreached"], "Anna by webhook: HTTP 404: ok");
    EXPECT_NE(ben["message"].get<std::string>().find("Could not reach Anna by webhook: HTTP 404"),
              std::string::npos)
        << ben["message"];
    RunFor(2 * kMinute);
    Settle();
    EXPECT_EQ(on.cleo.Count(), 0u);
    RunFor(kMinute + 5);
    Settle();
    EXPECT_EQ(Events(on.cleo), Lines{"escalation"});
    EXPECT_FALSE(Body(on.cleo, 0).contains("unreached"));
    EXPECT_EQ(on.anna.Count(), 1u);
}

// A freezer that warms at 2 minutes, warms further at 6 and is cold again
// at 20; Anna's receiver refuses everything until just before the end.
TEST(CallListRefusing, OnlyTheEndReachesAReceiverThatRefusedUntilTheAlarmEnded) {
    LiveStation station(R"({"lines": [[
        {"type": "DS18B20", "temperature":
            {"value": -20.0, "steps": [[120, -10.0], [360, -8.0], [1200, -20.0]]}}],
        [], []]})",
                        {2026, 12, 8, 2, 0, 0, 0});
    SetUpFreezer(station);
    HttpReceiver anna;
    HttpReceiver ben;
    anna.AnswerWith(503);
    NotifyConfig config = OneAtATime();
    config.escalateAfterMinutes = 3;
    config.remindAfterMinutes = 10;
    config.contacts = {ContactOf("Anna", NotifyChannel::kWebhook, anna.Url()),
                       ContactOf("Ben", NotifyChannel::kWebhook, ben.Url())};
    station.monitoring.StartNotifications(config);
    station.Install();
    station.RunFor(1190.0);
    Settle(station);

    // The reminder at 02:15 tells the value of 02:15, not that of 02:02.
    ASSERT_EQ(Events(ben), (Lines{"escalation", "reminder"}));
    const nlohmann::json reminder = Body(ben, 1);
    EXPECT_NEAR(reminder["value"].get<double>(), -8.0, 0.5) << reminder;
    EXPECT_TRUE(reminder["time"].get<std::string>().starts_with("2026-12-08T02:15")) << reminder;
    EXPECT_TRUE(reminder["rose"].get<std::string>().starts_with("2026-12-08T02:02")) << reminder;
    EXPECT_NE(reminder["message"].get<std::string>().find("Value: -8."), std::string::npos)
        << reminder["message"];
    EXPECT_NE(reminder["message"].get<std::string>().find("Standing for: 13 min"),
              std::string::npos)
        << reminder["message"];

    // Every copy of Anna's alarm notice carries its one id, in the JSON and
    // as ntfy's sequence id.
    std::set<std::string> ids;
    int copies = 0;
    for (const HttpReceiver::Request& request : anna.Requests()) {
        const nlohmann::json doc = nlohmann::json::parse(request.body);
        if (doc["event"] == "alarm") {
            ++copies;
            ids.insert(doc["id"]);
            EXPECT_EQ(doc["sequence_id"], doc["id"]);
            EXPECT_NE(request.head.find("X-Sequence-ID: " + doc["id"].get<std::string>()),
                      std::string::npos)
                << request.head;
        }
    }
    EXPECT_GE(copies, 4);
    EXPECT_EQ(ids.size(), 1u);
    const std::set<std::string> benIds{Body(ben, 0)["id"], Body(ben, 1)["id"]};
    EXPECT_EQ(benIds.size(), 2u);
    EXPECT_EQ(benIds.count(*ids.begin()), 0u);

    anna.AnswerWith(200);
    const std::size_t refused = anna.Count();
    station.RunFor(1210.0 - station.clock.Timer());
    ASSERT_EQ(station.Probe(0).AlarmState, kAlarmNone);
    Settle(station);
    // Every retry the alarm notice and the reminder had left comes in this hour.
    station.RunFor(3600.0);
    Settle(station);
    const std::vector<std::string> events = Events(anna);
    EXPECT_EQ(std::vector<std::string>(events.begin() + static_cast<std::ptrdiff_t>(refused),
                                       events.end()),
              Lines{"ended"});
    EXPECT_EQ(Events(ben), (Lines{"escalation", "reminder", "ended"}));
    // The alarm notice and the reminder were waiting for their retries.
    EXPECT_EQ(Count(station.LogText(), "): dropped, a later notice replaces it"), 2)
        << station.LogText();
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
    TempDir dir;
    acquisition::AlarmLog alarmFile(dir / "QRVAlarm.txt", clock, log);
    acquisition::TimeOutOfRangeAlarms timeAlarms;
    NoticeTally tally;
    notify::Notifier notifier(config, {feed, table, settings, clock, log, sms, alarmFile,
                                       timeAlarms, dir / notify::kCallListFileName, tally});

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
    // Each ends delivered, given up, or replaced by a later one (the end
    // replaces Ben's retries of its escalation, an acknowledgement his
    // reminders).
    EXPECT_EQ(lines(": attempt 1 "), lines(" delivered (HTTP 200)") + lines("; given up") +
                                         lines(": dropped, a later notice replaces it"));
    // Anna, first on the list, is called again for an alarm still standing
    // when Ben's escalation was given up.
    int unreached = 0;
    for (const HttpReceiver::Request& request : anna.Requests()) {
        const nlohmann::json doc = nlohmann::json::parse(request.body);
        if (doc.contains("unreached")) {
            ++unreached;
            EXPECT_EQ(doc["unreached"], "Ben by webhook: HTTP 503: ok");
        }
    }
    EXPECT_GE(unreached, 1);
    EXPECT_EQ(lines("to Anna by webhook (High Alarm: Freezer", "°C): attempt 1 delivered"),
              alarms + unreached);
    EXPECT_EQ(lines("to Anna by webhook (Alarm ended: Freezer)", "attempt 1 delivered"), alarms);
    EXPECT_EQ(lines("to Anna", "failed"), 0);
    std::vector<std::string> annaEvents = Events(anna);
    EXPECT_EQ(std::count(annaEvents.begin(), annaEvents.end(), "alarm"), alarms);
    EXPECT_EQ(std::count(annaEvents.begin(), annaEvents.end(), "ended"), alarms);
    // Ben's day without a receiver: retried for an hour each, then given up.
    EXPECT_GT(lines("to Ben", "; given up"), 0);
    EXPECT_EQ(lines("to Ben", "; given up"), lines("to Ben", "attempt 7 failed"));
    EXPECT_GT(lines("to Ben", ": dropped, a later notice replaces it"), 0);
    // Nothing about an alarm reaches anyone after its end.
    for (const HttpReceiver* receiver : {&anna, &ben}) {
        std::set<std::string> ended;
        for (const HttpReceiver::Request& request : receiver->Requests()) {
            const nlohmann::json doc = nlohmann::json::parse(request.body);
            const std::string rose = doc["rose"];
            if (doc["event"] == "ended") {
                ended.insert(rose);
            } else {
                EXPECT_EQ(ended.count(rose), 0u) << doc["event"] << " after the end: " << rose;
            }
        }
    }
    // Ben hears of an alarm first by its escalation, and of its end once.
    EXPECT_GT(lines("to Ben", "°C): attempt 1 "), 0);
    EXPECT_EQ(lines("to Ben", "°C): attempt 1 "),
              lines("to Ben", "(Alarm ended: Freezer): attempt 1 "));
}

}  // namespace
}  // namespace qrv::testing
