// A week of monitoring in virtual time: thirty probes on three lines, with
// probes lost and back, the unit unplugged, damaged CRCs, a hanging SMS
// program and the clock jumping forward an hour. Every due block must be in
// the day files once, every alarm that starts must end or still stand, and
// the program log must hold nothing unexpected.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "live_station.h"
#include "runtime/date_strings.h"
#include "runtime/encoding.h"
#include "station/startup.h"

namespace qrv::testing {
namespace {

constexpr int kSampleMinutes = 5;
constexpr double kDay = 86400.0;

std::string Network() {
    std::ostringstream lines;
    lines << R"({"lines": [)";
    for (int line = 0; line < 3; ++line) {
        lines << (line > 0 ? "," : "") << "[";
        for (int i = 0; i < 10; ++i) {
            const double phase = 3600.0 * (line * 10 + i);
            if (i < 7) {
                // A day's swing that crosses 30 degrees in the afternoon.
                lines
                    << R"({"type": "DS18B20", "temperature": {"sine": {"mean": 22, "amplitude": 10,)"
                    << R"( "period": 86400, "phase": )" << phase << "}}},";
            } else if (i < 9) {
                lines << R"({"type": "DS2438", "humidity": {"sine": {"mean": 55, "amplitude": 8,)"
                      << R"( "period": 43200, "phase": )" << phase << R"(}}, "temperature": 20},)";
            } else {
                lines << R"({"type": "DS2406", "input": 1},)";
            }
        }
        lines << R"({"type": "DS2405"}])";
    }
    lines << "]}";
    return lines.str();
}

// "YYYY-MM-DD HH:MM" of a moment.
std::string Minute(const LocalDateTime& when) {
    return FileDate(when) + " " + TimeText(when).substr(0, 5);
}

class Soak : public ::testing::Test, protected LiveStation {
  protected:
    Soak() : LiveStation(Network(), {2026, 1, 5, 9, 0, 30, 0}) {
        for (int line = 1; line <= 3; ++line) {
            for (int i = 0; i < 10; ++i) {
                const int index =
                    AddProbe(line, i, "L" + std::to_string(line) + "-" + std::to_string(i));
                SensorRecord& probe = Probe(index);
                probe.AlarmHigh = 30;
                probe.AlarmDelay = 300;
                probe.TripHigh = 28;
                probe.TripDelay = 120;
                probe.AlarmLow = 0;
                probe.TripLow = 5;
                probe.SmsEnable = i == 0 ? 1 : 0;
                probe.RelayEnable = i == 1 ? 1 : 0;
                probe.AlarmTimes[5] = {32, 72};  // Saturday office hours only
            }
        }
        SystemSettings settings = state.settings;
        settings.KeuzeSampleTime = kSampleMinutes;
        state.settingsOwner.Replace(settings);
        ConfigureSms();
        launcher.SetRunSeconds(20.0);
    }

    sim::Rom SimRom(int index) {
        sim::Rom rom{};
        for (std::size_t i = 0; i < rom.size(); ++i) {
            rom[i] = static_cast<std::uint8_t>(Probe(index).Rom[i]);
        }
        return rom;
    }

    // The blocks of every day file: "YYYY-MM-DD HH:MM" -> how many times.
    std::map<std::string, int> StoredBlocks(int days) {
        std::map<std::string, int> blocks;
        const std::regex header(R"(^(\d\d:\d\d)  (\d{4})\r?$)");
        for (int day = 0; day <= days; ++day) {
            LocalDateTime date{2026, 1, 5 + day, 0, 0, 0, 0};
            std::istringstream file(DayFile(date));
            std::string line;
            while (std::getline(file, line)) {
                std::smatch match;
                if (std::regex_match(line, match, header)) {
                    EXPECT_EQ(match[2], "0030") << FileDate(date) << " " << match[1];
                    ++blocks[FileDate(date) + " " + match[1].str()];
                }
            }
        }
        return blocks;
    }
};

TEST_F(Soak, AWeekOfMonitoringKeepsEveryBlockAndEveryAlarmAccountedFor) {
    const char* daysText = std::getenv("QRV_SOAK_DAYS");
    const int days = daysText != nullptr ? std::atoi(daysText) : 7;
    const double start = clock.Timer();
    // Faults, in seconds from the start.
    unit->AddFault(
        {sim::FaultKind::kRemoved, SimRom(3), 0, start + 0.3 * kDay, start + 0.3 * kDay + 900});
    unit->AddFault(
        {sim::FaultKind::kRemoved, SimRom(15), 0, start + 1.1 * kDay, start + 1.4 * kDay});
    unit->AddFault(
        {sim::FaultKind::kUnplugged, {}, 0, start + 1.6 * kDay, start + 1.6 * kDay + 420});
    unit->AddFault(
        {sim::FaultKind::kCorruptCrc, SimRom(22), 0, start + 2.5 * kDay, start + 2.5 * kDay + 600});
    unit->AddFault(
        {sim::FaultKind::kCorruptCrc, SimRom(7), 0, start + 3.2 * kDay, start + 3.2 * kDay + 90});

    std::set<std::string> expected{Minute(clock.Now())};  // the installation's store
    std::string jumpedFrom;
    std::string jumpedTo;
    Install();
    for (int hour = 0; hour < days * 24; ++hour) {
        if (hour == 3 * 24 + 5) {
            launcher.SetRunSeconds(ClockedLauncher::kNever);  // the SMS program hangs
        } else if (hour == 4 * 24 + 5) {
            launcher.SetRunSeconds(20.0);
        }
        if (hour == 5 * 24 + 2) {
            // The clock jumps forward an hour (a wrong time set by hand).
            LocalDateTime now = clock.Now();
            jumpedFrom = Minute(now);
            ++now.hour;
            clock.SetNow(now);
            jumpedTo = Minute(now);
        }
        for (int minute = 0; minute < 60; ++minute) {
            RunFor(60.0);
            const LocalDateTime now = clock.Now();
            if (now.minute % kSampleMinutes == 0) {
                expected.insert(Minute(now));
            }
        }
    }
    const std::map<std::string, int> blocks = StoredBlocks(days);
    for (const auto& [minute, count] : blocks) {
        EXPECT_EQ(count, 1) << "block stored twice: " << minute;
    }
    for (const std::string& minute : expected) {
        EXPECT_EQ(blocks.count(minute), 1U) << "due block missing: " << minute;
    }
    if (!jumpedFrom.empty()) {
        // The due minutes the jump skipped are stored once, at the next tick.
        EXPECT_EQ(blocks.size(), expected.size() + 1) << jumpedFrom << " -> " << jumpedTo;
    } else {
        EXPECT_EQ(blocks.size(), expected.size());
    }

    // Every alarm that started has ended, or still stands.
    std::map<std::string, bool> open;
    std::istringstream alarms(AlarmText());
    std::string line;
    int networkLost = 0;
    int networkBack = 0;
    int starts = 0;
    int smsAlarms = 0;
    const std::regex probeLine(
        R"(^\S+ \d\d:\d\d: (High Alarm:|Low Alarm:|Pre-High Alarm:|Pre-Low Alarm:|Probe lost|Value OK:)  (L\d-(\d)).*$)");
    while (std::getline(alarms, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        std::smatch match;
        if (line.ends_with(": Alarm: network lost")) {
            ++networkLost;
        } else if (line.ends_with(": Network comm-alarm ended.")) {
            ++networkBack;
        } else if (std::regex_match(line, match, probeLine)) {
            const bool ended = match[1] == "Value OK:";
            starts += ended ? 0 : 1;
            smsAlarms += !ended && match[3] == "0" ? 1 : 0;
            open[match[2]] = !ended;
        } else {
            EXPECT_TRUE(line.starts_with("=") || line.ends_with("QRVAlarm.txt created"))
                << "unexpected alarm line: " << line;
        }
    }
    EXPECT_GT(starts, days * 5);
    EXPECT_EQ(networkLost, days >= 2 ? 1 : 0);
    EXPECT_EQ(networkBack, networkLost);
    for (int i = 0; i < 30; ++i) {
        const bool stands = Probe(i).AlarmState != kAlarmNone;
        EXPECT_EQ(open[Probe(i).Name], stands) << Probe(i).Name;
    }

    // The program log holds one SMS result for every alarm of a probe with
    // SMS (also for those the shutdown ended), the audit trail's head at the
    // start and at every midnight, and nothing else.
    EXPECT_EQ(shell::RunShutdown(state, services), 0);
    std::istringstream log(LogText());
    int results = 0;
    int timeouts = 0;
    int trailHeads = 0;
    const std::regex trailHead(R"(^\S+ \d\d:\d\d: Audit trail QRVAudit\.txt: 0 lines, last line )"
                               R"(SHA-256 0{64}\r$)");
    const std::regex smsResult(
        R"(^\S+ \d\d:\d\d: (OK:    SMS was send\.|WARNING: SMS Centre finished too fast\.|)"
        R"(ERROR: SMS Centre timeout\.|ERROR: SMS Centre terminated at shutdown\.|)"
        R"(ERROR: SMS not handed off, the station shut down\.)\r$)");
    while (std::getline(log, line)) {
        std::smatch match;
        if (std::regex_match(line, match, smsResult)) {
            ++results;
            timeouts += match[1] == "ERROR: SMS Centre timeout." ? 1 : 0;
        } else if (std::regex_match(line, trailHead)) {
            ++trailHeads;
        } else {
            EXPECT_TRUE(line.starts_with("=") ||
                        line.find("QRVLog.txt created") != std::string::npos)
                << "unexpected log line: " << line;
        }
    }
    EXPECT_EQ(results, smsAlarms);
    EXPECT_EQ(timeouts > 0, days >= 4);
    EXPECT_EQ(trailHeads, days + 1);
}

}  // namespace
}  // namespace qrv::testing
