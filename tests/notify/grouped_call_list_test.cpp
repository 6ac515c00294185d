// Alarms of several probes on the simulated unit and virtual time, with real
// receivers: those that rise or end together reach each contact as one
// notice, also over a restart, with the link to the page that acknowledges.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>

#include "call_list_station.h"
#include "notify/call_list_file.h"
#include "sensors/rom_text.h"

namespace qrv::testing::grouping {
namespace {

constexpr double kMinute = 60.0;

// A cold room of four probes: three warm within seconds of each other at 2
// minutes and are cold again at 20; the fourth warms at 5 minutes, alone.
constexpr const char* kColdRoom = R"({"lines": [[
    {"type": "DS18B20", "temperature": {"value": -20.0, "steps": [[120, -10.0], [1200, -20.0]]}},
    {"type": "DS18B20", "temperature": {"value": -20.0, "steps": [[123, -10.0], [1203, -20.0]]}},
    {"type": "DS18B20", "temperature": {"value": -20.0, "steps": [[126, -10.0], [1206, -20.0]]}},
    {"type": "DS18B20", "temperature": {"value": -20.0, "steps": [[300, -10.0]]}}],
    [], []]})";
const Lines kColdRoomNames{"Freezer", "Fridge 2", "Cold room", "Deep freeze"};

void SetUpColdRoom(LiveStation& station) {
    for (std::size_t i = 0; i < kColdRoomNames.size(); ++i) {
        AddColdStoreProbe(station, static_cast<int>(i), kColdRoomNames[i]);
    }
    station.state.sensors.Lock()->NetworkName = "Lab 3";
    station.ConfigureSms();
}

// "event: probe, probe" of every request, in order.
Lines Grouped(const HttpReceiver& receiver) {
    Lines lines;
    for (const HttpReceiver::Request& request : receiver.Requests()) {
        const nlohmann::json doc = nlohmann::json::parse(request.body);
        std::string line = doc["event"].get<std::string>() + ":";
        for (const nlohmann::json& alarm : doc["alarms"]) {
            line += " " + alarm["probe"].get<std::string>();
        }
        lines.push_back(line);
    }
    return lines;
}

// The subjects of the mails received, sorted (the maildir keeps no order).
Lines Subjects(const SmtpReceiver& receiver) {
    Lines subjects;
    for (const std::string& mail : receiver.Mails()) {
        const std::size_t at = mail.find("\nSubject: ");
        const std::size_t from = at + std::string_view("\nSubject: ").size();
        subjects.push_back(at == std::string::npos
                               ? std::string()
                               : mail.substr(from, mail.find_first_of("\r\n", from) - from));
    }
    std::sort(subjects.begin(), subjects.end());
    return subjects;
}

// Anna by webhook, Ben by e-mail, the dashboard's address known: the three
// probes that warm together are one notice to each, the fourth its own;
// their ends are one notice, also when the station was stopped while they
// waited for their group.
TEST(CallListGrouping, ProbesThatRiseOrEndTogetherAreOneNoticeWithTheLinkToAcknowledge) {
    LiveStation station(kColdRoom, {2026, 12, 8, 2, 0, 0, 0});
    SetUpColdRoom(station);
    HttpReceiver anna;
    SmtpReceiver ben(station.dir / "maildir");
    ASSERT_TRUE(ben.Ready()) << "python3-aiosmtpd is needed (scripts/install-deps.sh)";
    NotifyConfig config;
    ASSERT_EQ(config.groupSeconds, 30);
    config.escalateAfterMinutes = 3;
    config.remindAfterMinutes = 60;
    config.publicUrl = "https://station.example:8443";
    config.email.smtpUrl = ben.Url();
    config.email.from = "station@lab.example";
    config.email.starttls = false;
    config.contacts = {ContactOf("Anna", NotifyChannel::kWebhook, anna.Url()),
                       ContactOf("Ben", NotifyChannel::kEmail, "ben@lab.example")};
    station.monitoring.StartNotifications(config);
    station.Install();
    const auto rom = [&](int probe) { return RomToHex(station.Probe(probe).Rom); };

    station.RunFor(200.0);
    Settle(station);
    ASSERT_EQ(Grouped(anna), Lines{"alarm: Freezer Fridge 2 Cold room"}) << station.AlarmText();
    const nlohmann::json first = Body(anna, 0);
    EXPECT_EQ(first["title"], "3 alarms: Freezer, Fridge 2, Cold room");
    const std::string link = "https://station.example:8443/acknowledge?alarm=" + rom(0) + "," +
                             rom(1) + "," + rom(2) + "&notice=" + first["id"].get<std::string>();
    EXPECT_EQ(first["acknowledge_url"], link);
    ASSERT_EQ(first["actions"].size(), 1u);
    EXPECT_EQ(first["actions"][0]["action"], "view");
    EXPECT_EQ(first["actions"][0]["url"], link);
    EXPECT_NE(first["message"].get<std::string>().find("Acknowledge: " + link), std::string::npos)
        << first["message"];
    EXPECT_NE(anna.Requests()[0].head.find("X-Sequence-ID: " + first["id"].get<std::string>()),
              std::string::npos);
    EXPECT_TRUE(ben.Mails().empty());
    EXPECT_TRUE(station.launcher.Launched().empty());

    // The fourth, three minutes later, is its own; the three escalate to Ben
    // together, the link in the mail.
    station.RunFor(400.0 - station.clock.Timer());
    Settle(station);
    EXPECT_EQ(Grouped(anna), (Lines{"alarm: Freezer Fridge 2 Cold room", "alarm: Deep freeze"}));
    ASSERT_TRUE(WaitUntil([&] { return ben.Mails().size() == 1; }));
    const std::string mail = ben.Mails()[0];
    EXPECT_EQ(Subjects(ben), Lines{"3 alarms: Freezer, Fridge 2, Cold room"});
    EXPECT_EQ(mail.find("Deep freeze"), std::string::npos) << "not of this group";
    EXPECT_NE(mail.find("Acknowledge: https://station.example:8443/acknowledge?alarm=" + rom(0) +
                        "," + rom(1) + "," + rom(2) + "&notice="),
              std::string::npos)
        << mail;

    // The three go cold; the station stops before their group is told.
    station.RunFor(1218.0 - station.clock.Timer());
    ASSERT_EQ(station.Probe(2).AlarmState, kAlarmNone);
    ASSERT_EQ(station.Probe(3).AlarmState, kAlarmHigh);
    Settle(station);
    EXPECT_EQ(anna.Count(), 2u) << "the ends wait for their group";
    station.monitoring.StartNotifications(NotifyConfig{});
    const std::string callList = ReadBytes(station.dir / notify::kCallListFileName);
    const std::string alarms = ReadBytes(station.state.paths.AlarmFileName());
    ASSERT_TRUE(WaitUntil([&] { return ben.Mails().size() == 2; }));

    // Back at 02:25: the three are cold, the fourth still warm until 02:35.
    LiveStation later(R"({"lines": [[
        {"type": "DS18B20", "temperature": -20.0},
        {"type": "DS18B20", "temperature": -20.0},
        {"type": "DS18B20", "temperature": -20.0},
        {"type": "DS18B20", "temperature": {"value": -10.0, "steps": [[600, -20.0]]}}],
        [], []]})",
                      {2026, 12, 8, 2, 25, 0, 0});
    SetUpColdRoom(later);
    WriteBytes(later.dir / notify::kCallListFileName, callList);
    WriteBytes(later.state.paths.AlarmFileName(), alarms);
    later.monitoring.StartNotifications(config);
    later.Install();
    later.RunFor(60.0);
    Settle(later);
    EXPECT_EQ(Grouped(anna), (Lines{"alarm: Freezer Fridge 2 Cold room", "alarm: Deep freeze",
                                    "ended: Freezer Fridge 2 Cold room"}));
    const nlohmann::json ended = Body(anna, 2);
    EXPECT_FALSE(ended.contains("actions")) << "an end asks nothing";
    EXPECT_NEAR(ended["alarms"][0]["stood_seconds"].get<double>(), 18 * kMinute, 15) << ended;

    later.RunFor(700.0 - later.clock.Timer());
    ASSERT_EQ(later.Probe(3).AlarmState, kAlarmNone);
    Settle(later);
    EXPECT_EQ(Grouped(anna), (Lines{"alarm: Freezer Fridge 2 Cold room", "alarm: Deep freeze",
                                    "ended: Freezer Fridge 2 Cold room", "ended: Deep freeze"}));
    // Ben, told of all four, hears each end once.
    ASSERT_TRUE(WaitUntil([&] { return ben.Mails().size() == 4; })) << ben.Mails().size();
    Lines subjects = Subjects(ben);
    ASSERT_EQ(subjects.size(), 4u);
    // Deep freeze's own escalation, its subject encoded for the degree sign.
    EXPECT_TRUE(subjects[1].starts_with("=?UTF-8?B?")) << subjects[1];
    subjects.erase(subjects.begin() + 1);
    EXPECT_EQ(subjects, (Lines{"3 alarms: Freezer, Fridge 2, Cold room", "Alarm ended: Deep freeze",
                               "Alarm ended: Freezer, Fridge 2, Cold room"}));
    EXPECT_EQ(later.dialogs.UnexpectedPopups(), 0);
}

}  // namespace
}  // namespace qrv::testing::grouping
