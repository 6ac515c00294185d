// quorvanel-report's audit and calibration commands on a station directory.
#include <gtest/gtest.h>

#include <array>
#include <utility>

#include "records/audit_trail.h"
#include "records/calibration.h"
#include "records/time_alarm.h"
#include "runtime/text_file.h"
#include "sensors/sensor_file.h"
#include "support/run_report_tool.h"
#include "support/temp_dir.h"

namespace qrv::records {
namespace {

using testing::RunTool;

class AuditCommand : public ::testing::Test {
  protected:
    AuditCommand() {
        for (int day = 1; day <= 4; ++day) {
            trail.Record({{2026, 5, day, 8, 0, 0, 0},
                          "anna",
                          "probe 0000000A1B2C Fridge: AlarmHigh",
                          std::to_string(day),
                          std::to_string(day + 1),
                          {}});
        }
    }
    testing::TempDir temp;
    AuditTrail trail{temp / "QRVAudit.txt"};
};

TEST_F(AuditCommand, VerifySaysWholeOrNamesTheBrokenLine) {
    const auto whole = RunTool(temp.path(), {"audit", "--verify"});
    EXPECT_EQ(whole.status, 0);
    EXPECT_NE(whole.out.find("the trail is whole: 4 lines"), std::string::npos) << whole.out;

    std::string bytes = testing::ReadBytes(trail.Path());
    bytes.replace(bytes.find("\t3\t4\t"), 5, "\t3\t9\t");
    ASSERT_TRUE(SetReadOnly(trail.Path(), false));
    ASSERT_EQ(WriteFileAtomically(trail.Path(), bytes), kFileOk);
    const auto broken = RunTool(temp.path(), {"audit", "--verify"});
    EXPECT_EQ(broken.status, 4);
    EXPECT_NE(broken.out.find("line 3 was altered"), std::string::npos) << broken.out;
}

TEST_F(AuditCommand, ListsTheLinesOfTheDaysAsked) {
    const auto listed =
        RunTool(temp.path(), {"audit", "--from", "2026-05-02", "--to", "2026-05-03"});
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(listed.out,
              "2026-05-02 08:00:00  anna  probe 0000000A1B2C Fridge: AlarmHigh: 2 -> 3\n"
              "2026-05-03 08:00:00  anna  probe 0000000A1B2C Fridge: AlarmHigh: 3 -> 4\n");
    EXPECT_EQ(RunTool(temp.path(), {"audit", "--from", "2026-06-01"}).status, 1);
}

TEST_F(AuditCommand, RefusesBadDatesMixedOptionsAndAMissingTrail) {
    EXPECT_EQ(RunTool(temp.path(), {"audit", "--from", "2026-02-30"}).status, 2);
    EXPECT_EQ(RunTool(temp.path(), {"audit", "--verify", "--from", "2026-05-01"}).status, 2);
    EXPECT_EQ(RunTool(temp.path(), {"audit", "--pdf"}).status, 2);
    EXPECT_EQ(RunTool(temp.path() / "elsewhere", {"audit", "--verify"}).status, 1);
}

}  // namespace
}  // namespace qrv::records

namespace qrv::records {
namespace {

class CalibrationCommand : public ::testing::Test {
  protected:
    CalibrationCommand() {
        SensorTable table;
        table.Append1820ToDataStruct(kFridge, 1);
        table.SensorArray[0].Name = "Fridge 1";
        table.DefineSensorTypeAndUnits(0);
        table.Append1820ToDataStruct(kDoor, 1);
        table.SensorArray[1].Name = "Door";
        table.DefineSensorTypeAndUnits(1);
        VirtualClock clock;
        testing::WriteBytes(temp / "QRVNL.SNS", FormatSensorFile(table, clock));
    }
    static constexpr RomCode kFridge{0x28, 0x2C, 0x1B, 0x0A, 0, 0, 0, 0x5E};
    static constexpr RomCode kDoor{0x12, 0x05, 0x06, 0x07, 0, 0, 0, 0x33};
    testing::TempDir temp;
};

TEST_F(CalibrationCommand, SetsReplacesAndClearsWithAnAuditLineEach) {
    const auto set =
        RunTool(temp.path(), {"calibration", "set", "0000000A1B2C", "--offset", "-0.4", "--date",
                              "2026-03-01", "--instrument", "RT-1", "--certificate", "C-17",
                              "--next-due", "2027-03-01", "--who", "anna"});
    ASSERT_EQ(set.status, 0) << set.out;
    const auto twoPoint =
        RunTool(temp.path(), {"calibration", "set", "282C1B0A0000005E", "--points", "0", "0.4",
                              "100", "100.8", "--date", "2026-03-02", "--instrument", "Bath B2",
                              "--certificate", "C-18", "--next-due", "2026-03-20"});
    ASSERT_EQ(twoPoint.status, 0) << twoPoint.out;

    const CalibrationFileResult read = ReadCalibrationFile(temp / "QRVCalibration.json");
    ASSERT_EQ(read.book.entries.size(), 1u) << "the second replaced the first";
    EXPECT_NEAR(Corrected(read.book.entries[0], 100.8), 100.0, 1e-9);
    EXPECT_EQ(read.book.entries[0].certificate, "C-18");

    const auto listed = RunTool(temp.path(), {"calibration"});
    EXPECT_NE(listed.out.find("Fridge 1: gain 0.99602 offset -0.398"), std::string::npos)
        << listed.out;
    EXPECT_NE(listed.out.find("OVERDUE"), std::string::npos) << "due in March 2026, listed later";

    EXPECT_EQ(RunTool(temp.path(), {"calibration", "clear", "Fridge 1"}).status, 0) << "by name";
    EXPECT_TRUE(ReadCalibrationFile(temp / "QRVCalibration.json").book.entries.empty());

    const std::string trail = testing::ReadBytes(temp / "QRVAudit.txt");
    EXPECT_TRUE(VerifyAuditTrail(trail, ReadTrailKey(temp / "QRVAudit.key")).Whole());
    const auto lines = ReadAuditLines(trail);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(lines[0].entry.who.starts_with("anna (account ")) << "claimed, and who ran it";
    EXPECT_EQ(lines[0].entry.what, "calibration of probe 0000000A1B2C Fridge 1");
    EXPECT_TRUE(lines[0].entry.oldValue.empty());
    EXPECT_EQ(lines[1].entry.oldValue, lines[0].entry.newValue);
    EXPECT_TRUE(lines[2].entry.newValue.empty());
}

// A trail that cannot take a line (here a folder where the file should be,
// which also holds for root) refuses the change and leaves the file alone.
TEST_F(CalibrationCommand, RefusesAChangeTheTrailCannotRecord) {
    const std::vector<std::string_view> set{
        "calibration", "set",        "0000000A1B2C", "--offset", "-0.4",
        "--date",      "2026-03-01", "--instrument", "RT-1",     "--certificate",
        "C-17",        "--next-due", "2027-03-01"};
    std::filesystem::create_directory(temp / "QRVAudit.txt");
    EXPECT_EQ(RunTool(temp.path(), set).status, 3);
    EXPECT_FALSE(std::filesystem::exists(temp / "QRVCalibration.json")) << "as it was: absent";

    std::filesystem::remove(temp / "QRVAudit.txt");
    ASSERT_EQ(RunTool(temp.path(), set).status, 0);
    const std::string stored = testing::ReadBytes(temp / "QRVCalibration.json");
    std::filesystem::rename(temp / "QRVAudit.txt", temp / "moved");
    std::filesystem::create_directory(temp / "QRVAudit.txt");
    std::vector<std::string_view> other = set;
    other[4] = "0.2";
    EXPECT_EQ(RunTool(temp.path(), other).status, 3);
    EXPECT_EQ(RunTool(temp.path(), {"calibration", "clear", "0000000A1B2C"}).status, 3);
    EXPECT_EQ(testing::ReadBytes(temp / "QRVCalibration.json"), stored);
}

TEST_F(CalibrationCommand, SaysSoWhenNoProbeHasACalibration) {
    const auto listed = RunTool(temp.path(), {"calibration"});
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(listed.out, "no probe has a calibration\n");
}

TEST_F(CalibrationCommand, RefusesWhatCannotBeASoundCalibration) {
    const auto run = [this](std::vector<std::string_view> args) {
        args.insert(args.begin(), "calibration");
        return RunTool(temp.path(), args).status;
    };
    const std::vector<std::string_view> record{"--date",     "2026-03-01",    "--instrument",
                                               "RT-1",       "--certificate", "C-17",
                                               "--next-due", "2027-03-01"};
    auto with = [&record](std::vector<std::string_view> args) {
        args.insert(args.end(), record.begin(), record.end());
        return args;
    };
    EXPECT_EQ(run(with({"set", "0000000A1B2C", "--offset", "x"})), 2);
    EXPECT_EQ(run(with({"set", "0000000A1B2C", "--offset", "nan"})), 2) << "not a number";
    EXPECT_EQ(run(with({"set", "0000000A1B2C", "--points", "0", "inf", "100", "100"})), 2);
    EXPECT_EQ(run(with({"set", "0000000A1B2C", "--points", "0", "4", "8", "4.5"})), 2);
    EXPECT_EQ(run(with({"set", "0000000A1B2C", "--offset", "1", "--points", "0", "0", "9", "9"})),
              2);
    EXPECT_EQ(run(with({"set", "000000070605", "--offset", "1"})), 2) << "a door switch";
    EXPECT_EQ(run(with({"set", "FFFFFFFFFFFF", "--offset", "1"})), 2) << "no such probe";
    EXPECT_EQ(run(with({"set", "Fridge", "--offset", "1"})), 2) << "a name is matched whole";
    EXPECT_EQ(run({"set", "0000000A1B2C", "--offset", "1", "--date", "2026-03-01"}), 2)
        << "without the record an inspector asks for";
    EXPECT_EQ(run({"clear", "0000000A1B2C"}), 1) << "nothing to clear";
    EXPECT_EQ(run({"set", "0000000A1B2C", "--offset", "1", "--date", "2026-03-01", "--instrument",
                   "RT-1\t2026-03-02 09:00:00\tanna", "--certificate", "C-17", "--next-due",
                   "2027-03-01"}),
              2)
        << "a tab would forge a field";
    EXPECT_EQ(run(with({"set", "0000000A1B2C", "--offset", "1", "--who", "anna\nbob"})), 2);
    EXPECT_EQ(run(with({"set", "0000000A1B2C", "--offset", "1", "--reason", "check\r"})), 2);
    EXPECT_EQ(run({"set", "0000000A1B2C", "--offset", "1", "--date", "-026-01-01", "--instrument",
                   "RT-1", "--certificate", "C-17", "--next-due", "2027-03-01"}),
              2)
        << "year -26";
    EXPECT_EQ(run({"set", "0000000A1B2C", "--offset", "1", "--date", "9998-01-01", "--instrument",
                   "RT-1", "--certificate", "C-17", "--next-due", "9999-01-01"}),
              2)
        << "in the future";
    EXPECT_FALSE(std::filesystem::exists(temp / "QRVCalibration.json"));
    EXPECT_FALSE(std::filesystem::exists(temp / "QRVAudit.txt"));
}

}  // namespace
}  // namespace qrv::records

namespace qrv::records {
namespace {

// A station with two probes sharing a name beside the one the tests change.
class TimeAlarmCommand : public ::testing::Test {
  protected:
    TimeAlarmCommand() {
        SensorTable table;
        const std::array<std::pair<RomCode, const char*>, 4> probes{
            {{kFreezer, "Freezer"}, {kTwinA, "Cold room"}, {kTwinB, "Cold room"}, {kDoor, "Door"}}};
        for (std::size_t i = 0; i < probes.size(); ++i) {
            table.Append1820ToDataStruct(probes[i].first, 1);
            table.SensorArray[i].Name = probes[i].second;
            table.DefineSensorTypeAndUnits(static_cast<int>(i));
        }
        VirtualClock clock;
        testing::WriteBytes(temp / "QRVNL.SNS", FormatSensorFile(table, clock));
    }
    testing::Outcome Run(std::vector<std::string_view> args) const {
        args.insert(args.begin(), "time-alarm");
        return testing::RunTool(temp.path(), args);
    }
    TimeAlarmBook Book() const {
        const TimeAlarmFileResult read = ReadTimeAlarmFile(temp / "QRVTimeAlarms.json");
        EXPECT_TRUE(read.error.empty()) << read.error;
        return read.book;
    }
    static constexpr RomCode kFreezer{0x28, 0x2C, 0x1B, 0x0A, 0, 0, 0, 0x5E};
    static constexpr RomCode kTwinA{0x28, 0x01, 0x02, 0x03, 0, 0, 0, 0x11};
    static constexpr RomCode kTwinB{0x28, 0x04, 0x05, 0x06, 0, 0, 0, 0x22};
    static constexpr RomCode kDoor{0x12, 0x05, 0x06, 0x07, 0, 0, 0, 0x33};
    testing::TempDir temp;
};

TEST_F(TimeAlarmCommand, SetsAndClearsSidesByNameOrAddressWithAnAuditLineEach) {
    const auto none = Run({});
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.out, "no probe has a time alarm\n");

    ASSERT_EQ(Run({"set", "Freezer", "--above", "60"}).status, 0);
    ASSERT_EQ(Run({"set", "0000000a1b2c", "--below", "30"}).status, 0) << "keeps the other side";
    EXPECT_EQ(Book().entries, (std::vector<TimeAlarm>{{kFreezer, 60, 30}}));
    EXPECT_EQ(Run({"set", "Freezer", "--above", "60"}).out, "0000000A1B2C Freezer: unchanged\n");
    ASSERT_EQ(Run({"set", "282C1B0A0000005E", "--above", "90", "--below", "30"}).status, 0);

    EXPECT_EQ(Run({}).out,
              "282C1B0A0000005E Freezer: more than 90 min above, 30 min below in 24 h\n");
    ASSERT_EQ(Run({"clear", "Freezer", "--below"}).status, 0);
    EXPECT_EQ(Book().entries, (std::vector<TimeAlarm>{{kFreezer, 90, std::nullopt}}));
    ASSERT_EQ(Run({"clear", "Freezer"}).status, 0);
    EXPECT_TRUE(Book().entries.empty());

    const std::string trail = testing::ReadBytes(temp / "QRVAudit.txt");
    EXPECT_TRUE(VerifyAuditTrail(trail, ReadTrailKey(temp / "QRVAudit.key")).Whole());
    const auto lines = ReadAuditLines(trail);
    ASSERT_EQ(lines.size(), 5u) << "unchanged writes nothing; the 90 is one change, not two";
    const std::string above = "probe 0000000A1B2C Freezer: minutes above high in 24 h";
    const std::string below = "probe 0000000A1B2C Freezer: minutes below low in 24 h";
    EXPECT_EQ(lines[0].entry.what, above);
    EXPECT_EQ(lines[0].entry.oldValue, "");
    EXPECT_EQ(lines[0].entry.newValue, "60");
    EXPECT_EQ(lines[1].entry.what, below);
    EXPECT_EQ(lines[2].entry.oldValue, "60");
    EXPECT_EQ(lines[2].entry.newValue, "90");
    EXPECT_EQ(lines[3].entry.what, below);
    EXPECT_EQ(lines[3].entry.newValue, "");
    EXPECT_EQ(lines[4].entry.what, above);
    EXPECT_EQ(lines[4].entry.oldValue, "90");
}

TEST_F(TimeAlarmCommand, RefusesAChangeTheTrailCannotRecord) {
    ASSERT_EQ(Run({"set", "Freezer", "--above", "60"}).status, 0);
    const std::string stored = testing::ReadBytes(temp / "QRVTimeAlarms.json");
    std::filesystem::rename(temp / "QRVAudit.txt", temp / "moved");
    std::filesystem::create_directory(temp / "QRVAudit.txt");
    EXPECT_EQ(Run({"set", "Freezer", "--above", "30", "--below", "20"}).status, 3);
    EXPECT_EQ(Run({"clear", "Freezer"}).status, 3);
    EXPECT_EQ(testing::ReadBytes(temp / "QRVTimeAlarms.json"), stored);
}

TEST_F(TimeAlarmCommand, KeepsTheEntriesOfOtherProbesWrittenMeanwhile) {
    TimeAlarmBook elsewhere;
    elsewhere.Set({kTwinA, std::nullopt, 45});
    ASSERT_TRUE(WriteTimeAlarmFile(temp / "QRVTimeAlarms.json", elsewhere));
    ASSERT_EQ(Run({"set", "Freezer", "--above", "60"}).status, 0);
    const TimeAlarmBook book = Book();
    ASSERT_NE(book.Find(kTwinA), nullptr);
    EXPECT_EQ(book.Find(kTwinA)->minutesBelow, 45);
    EXPECT_NE(book.Find(kFreezer), nullptr);
}

TEST_F(TimeAlarmCommand, RefusesUnknownAmbiguousAndUnsoundRequestsWithoutWriting) {
    EXPECT_EQ(Run({"set", "Cold room", "--above", "60"}).status, 2) << "two probes of that name";
    EXPECT_EQ(Run({"set", "Fridge", "--above", "60"}).status, 2) << "no such probe";
    EXPECT_EQ(Run({"set", "Door", "--above", "60"}).status, 2) << "a switch";
    EXPECT_EQ(Run({"set", "Freezer"}).status, 2) << "no side";
    EXPECT_EQ(Run({"set", "Freezer", "--above", "0"}).status, 2);
    EXPECT_EQ(Run({"set", "Freezer", "--below", "1440"}).status, 2);
    EXPECT_EQ(Run({"set", "Freezer", "--above", "6o"}).status, 2);
    EXPECT_EQ(Run({"set", "Freezer", "--above"}).status, 2);
    EXPECT_EQ(Run({"clear", "Freezer", "--above", "--below"}).status, 2);
    EXPECT_EQ(Run({"set", "Freezer", "--above", "60", "--above", "30"}).status, 2)
        << "a side given twice is refused, not the last taken";
    EXPECT_EQ(Run({"clear", "Freezer"}).status, 1)
        << "no time alarm to clear, as for a calibration";
    EXPECT_EQ(Run({"unset", "Freezer"}).status, 2);
    EXPECT_FALSE(std::filesystem::exists(temp / "QRVTimeAlarms.json"));
    EXPECT_FALSE(std::filesystem::exists(temp / "QRVAudit.txt"));

    // A damaged file is the user's to mend: neither listed over nor rewritten.
    testing::WriteBytes(temp / "QRVTimeAlarms.json", "{\"time_alarms\": [");
    EXPECT_EQ(Run({}).status, 1);
    EXPECT_EQ(Run({"set", "Freezer", "--above", "60"}).status, 1);
    EXPECT_EQ(testing::ReadBytes(temp / "QRVTimeAlarms.json"), "{\"time_alarms\": [");
}

}  // namespace
}  // namespace qrv::records
