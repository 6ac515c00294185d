#include "sensors/sensor_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstring>
#include <limits>

#include "runtime/text_file.h"
#include "sensors/sensor_file_overflow.h"
#include "support/recording_log.h"
#include "support/scripted_dialogs.h"
#include "support/station_file_text.h"
#include "support/temp_dir.h"

namespace qrv {
namespace {

using testing::kNotice;
using testing::ReadBytes;
using testing::RecordingLog;
using testing::TempDir;
using testing::WriteBytes;

std::vector<std::string> Header(int maxIndex, const std::string& name = "Koelcel") {
    std::vector<std::string> lines = {std::string(61, '='), "QRVNL SNS FILE Vs 1.10", kNotice,
                                      "Date/time stamp=2026-12-06 08:30:05", "Networkname=" + name};
    for (int key = 5; key <= 9; ++key) {
        lines.push_back(std::to_string(key) + "=000000000" + std::to_string(key));
    }
    lines.insert(lines.end(), 10, "sns");
    lines.push_back("maxindex");
    lines.push_back(std::to_string(maxIndex));
    return lines;
}

// One record block; layout 3 is the current one, 1 and 2 the older ones.
std::vector<std::string> Block(int index, int layout = 3, const std::string& name = "Freezer 1") {
    std::vector<std::string> lines = {std::string(35, '='),
                                      std::to_string(index),
                                      "2",
                                      "40",
                                      "17",
                                      "34",
                                      "81",
                                      "0",
                                      "0",
                                      "0",
                                      "201",
                                      name,
                                      "-18.250000",
                                      "-25",
                                      "-10",
                                      "300",
                                      "-22",
                                      "-15",
                                      "30",
                                      "1",
                                      "2",
                                      "1",
                                      "0"};
    if (layout >= 2) {
        for (int day = 0; day < 7; ++day) {
            lines.push_back(std::to_string(day * 4));
            lines.push_back(std::to_string(90 - day));
        }
    }
    if (layout >= 3) {
        lines.push_back("0");
        lines.push_back("1");
    }
    lines.insert(lines.end(), 10, "sp");
    return lines;
}

std::string Join(std::vector<std::string> lines, const std::string& eol = "\r\n") {
    std::string text;
    for (const auto& line : lines) {
        text += line + eol;
    }
    return text;
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class SensorFile : public ::testing::Test {
  protected:
    int Load(const std::string& text) {
        WriteBytes(path_, text);
        return ReadSensorFile(path_, table_);
    }
    int Save(int taal = 0) { return WriteSensorFile(path_, table_, clock_, dialogs_, log_, taal); }

    TempDir dir_;
    std::filesystem::path path_ = dir_ / "QRVNL.SNS";
    SensorTable table_;
    VirtualClock clock_{{2026, 12, 6, 8, 30, 5, 0}};
    ScriptedDialogs dialogs_;
    RecordingLog log_;
};

TEST_F(SensorFile, LoadsTheCurrentLayout) {
    ASSERT_EQ(Load(Join(Header(0) + Block(0))), 0);
    EXPECT_EQ(table_.NetworkName, "Koelcel");
    ASSERT_EQ(table_.GetMax1820Index(), 0);
    const SensorRecord& r = table_.SensorArray[0];
    EXPECT_EQ(r.Line, 2);
    EXPECT_EQ(r.Rom, (RomCode{40, 17, 34, 81, 0, 0, 0, 201}));
    EXPECT_EQ(r.Name, "Freezer 1");
    EXPECT_EQ(r.SensorType, kTypeTemperature);
    EXPECT_EQ(r.Units, "\u00B0C");
    EXPECT_EQ(r.Value, 0.0) << "the stored reading is not loaded";
    EXPECT_EQ(r.AlarmLow, -25);
    EXPECT_EQ(r.AlarmHigh, -10);
    EXPECT_EQ(r.AlarmDelay, 300);
    EXPECT_EQ(r.TripLow, -22);
    EXPECT_EQ(r.TripHigh, -15);
    EXPECT_EQ(r.TripDelay, 120) << "pre-alarm delays below 120 s are raised";
    EXPECT_EQ(r.AlarmState, 0) << "alarm states start afresh";
    EXPECT_EQ(r.Status, 2);
    EXPECT_EQ(r.FoundOnNetwork, 1);
    EXPECT_EQ(r.AlarmTimes[0], (AlarmWindow{0, 90}));
    EXPECT_EQ(r.AlarmTimes[6], (AlarmWindow{24, 84}));
    EXPECT_EQ(r.SmsEnable, 0);
    EXPECT_EQ(r.RelayEnable, 1);
}

TEST_F(SensorFile, OlderLayoutsGetTheirDefaults) {
    table_.SensorArray[1].SmsEnable = 1;  // layout 1 keeps what the slot held
    ASSERT_EQ(Load(Join(Header(2) + Block(0, 2) + Block(1, 1) + Block(2, 3))), 0);
    EXPECT_EQ(table_.SensorArray[0].SmsEnable, 1);
    EXPECT_EQ(table_.SensorArray[0].RelayEnable, 1);
    EXPECT_EQ(table_.SensorArray[0].AlarmTimes[1], (AlarmWindow{4, 89}));
    EXPECT_EQ(table_.SensorArray[1].AlarmTimes[3], (AlarmWindow{0, 96}));
    EXPECT_EQ(table_.SensorArray[1].SmsEnable, 1);
    EXPECT_EQ(table_.SensorArray[2].SmsEnable, 0);
    EXPECT_EQ(table_.GetMax1820Index(), 2);
}

TEST_F(SensorFile, WritesTheExactLayout) {
    table_.NetworkName = "Kühlhaus";
    const int index = table_.Append1820ToDataStruct({40, 17, 34, 81, 0, 0, 0, 201}, 102);
    SensorRecord& r = table_.SensorArray[index];
    r.Name = "Freezer 1";
    r.Value = -18.25;
    r.AlarmLow = -25;
    r.AlarmHigh = -10;
    r.AlarmDelay = 300;
    r.TripLow = -22;
    r.TripHigh = -15;
    r.TripDelay = 30;
    r.AlarmState = kAlarmHigh;
    r.Status = 2;
    r.SmsEnable = 0;
    r.RelayEnable = 1;
    for (int day = 0; day < 7; ++day) {
        r.AlarmTimes[day] = {day * 4, 90 - day};
    }
    ASSERT_EQ(Save(), 0);
    std::vector<std::string> expected = Header(0, "K\xFChlhaus") + Block(0);
    EXPECT_EQ(ReadBytes(path_), Join(expected)) << "a new probe on line 102 is written as 2";
    EXPECT_THAT(log_.Messages(), ::testing::ElementsAre("SensorFile written"));
}

TEST_F(SensorFile, RoundTripKeepsEverySetting) {
    for (int i = 0; i < kMaxSensors; ++i) {
        const int index =
            table_.Append1820ToDataStruct({static_cast<std::int16_t>(i % 2 ? 0x26 : 0x10),
                                           static_cast<std::int16_t>(i), 0, 0, 0, 0, 0, 7},
                                          1 + i % 3);
        table_.SensorArray[index].Name = "Probe ÄÖÜ " + std::to_string(i);
        table_.SensorArray[index].AlarmDelay = 120 + i;
        table_.SensorArray[index].TripDelay = 600;
        table_.SensorArray[index].SmsEnable = i % 2;
    }
    ASSERT_EQ(Save(), 0);
    SensorTable original = table_;
    table_.ClearDataBase();
    ASSERT_EQ(ReadSensorFile(path_, table_), 0);
    ASSERT_EQ(table_.GetMax1820Index(), 99);
    for (int i = 0; i < kMaxSensors; ++i) {
        EXPECT_EQ(table_.SensorArray[i].Name, original.SensorArray[i].Name);
        EXPECT_EQ(table_.SensorArray[i].Rom, original.SensorArray[i].Rom);
        EXPECT_EQ(table_.SensorArray[i].AlarmDelay, original.SensorArray[i].AlarmDelay);
        EXPECT_EQ(table_.SensorArray[i].SmsEnable, original.SensorArray[i].SmsEnable);
        EXPECT_EQ(table_.SensorArray[i].AlarmTimes, original.SensorArray[i].AlarmTimes);
    }
}

TEST_F(SensorFile, EmptyTableRoundTrip) {
    ASSERT_EQ(Save(), 0);
    EXPECT_EQ(ReadBytes(path_), Join(Header(-1, "QRV-Data")));
    table_.Append1820ToDataStruct({1, 2, 3, 4, 5, 6, 7, 8}, 1);
    EXPECT_EQ(ReadSensorFile(path_, table_), 0);
    EXPECT_EQ(table_.GetMax1820Index(), -1);
}

TEST_F(SensorFile, DamagedHeaderLeavesTheTableAlone) {
    table_.Append1820ToDataStruct({1, 2, 3, 4, 5, 6, 7, 8}, 3);
    table_.NetworkName = "Before";
    auto lines = Header(0) + Block(0);
    lines[1] = "QRVNL SNS FILE Vs 1.09";
    EXPECT_LT(Load(Join(lines)), 0);
    lines = Header(0) + Block(0);
    lines[7] = "X=0000000007";
    EXPECT_LT(Load(Join(lines)), 0);
    EXPECT_EQ(table_.SensorArray[0].Line, 3);
    EXPECT_EQ(table_.NetworkName, "Before");
}

TEST_F(SensorFile, IndexMismatchLoadsWithResult1000) {
    auto lines = Header(1) + Block(0) + Block(5);
    EXPECT_EQ(Load(Join(lines)), kSensorFileIndexMismatch);
    EXPECT_EQ(table_.GetMax1820Index(), 1);
}

TEST_F(SensorFile, TruncatedFileChangesNothingUnlessItsWholeRecordsAreAskedFor) {
    table_.Append1820ToDataStruct({1, 2, 3, 4, 5, 6, 7, 8}, 3);
    auto lines = Header(1) + Block(0);
    lines.resize(lines.size() - 15);  // the file ends inside the second block's predecessor
    lines.push_back(std::string(35, '='));
    EXPECT_EQ(Load(Join(lines)), kSensorFileTruncated);
    EXPECT_EQ(table_.SensorArray[0].Rom, (RomCode{1, 2, 3, 4, 5, 6, 7, 8}));

    lines = Header(0);
    lines.back() = "many";
    EXPECT_EQ(Load(Join(lines)), kSensorFileTruncated);
    EXPECT_EQ(table_.GetMax1820Index(), 0);

    // Asked for, a file without a record count gives its network name and no probe.
    SensorFileCut cut;
    EXPECT_EQ(ReadSensorBytes(Join(lines), table_, &cut), kSensorFileTruncated);
    EXPECT_EQ(table_.GetMax1820Index(), -1);
    EXPECT_EQ(table_.NetworkName, "Koelcel");
    EXPECT_EQ(cut.recordsRead, 0);
    EXPECT_EQ(cut.recordsInFile, 0);
    EXPECT_EQ(cut.damagedFromByte, Join(Header(0)).size() - 3);
}

TEST_F(SensorFile, ACutFileKeepsEveryRecordItHoldsWholeWhereverTheCut) {
    const int count = 4;
    std::vector<std::string> lines = Header(count - 1);
    for (int j = 0; j < count; ++j) {
        lines = lines + Block(j, 3, "Cold room " + std::to_string(j));
    }
    const std::string file = Join(lines);
    // Where each record's separator begins, and where its relay line (the
    // last one that holds a value) ends.
    std::vector<std::size_t> starts;
    std::vector<std::size_t> valuesEnd;
    const std::string separator = "\r\n" + std::string(35, '=') + "\r\n";
    for (std::size_t at = file.find(separator); at != std::string::npos;
         at = file.find(separator, at + 1)) {
        starts.push_back(at + 2);
    }
    ASSERT_EQ(starts.size(), static_cast<std::size_t>(count));
    for (std::size_t start : starts) {
        std::size_t end = start;
        for (int line = 0; line < 39; ++line) {
            end = file.find("\r\n", end) + 2;
        }
        valuesEnd.push_back(end);
    }

    for (std::size_t size = starts[0]; size < file.size(); ++size) {
        SensorTable table;
        table.NetworkName = "before";
        table.Append1820ToDataStruct({0x10, 9, 9, 9, 9, 9, 9, 9}, 2);
        SensorFileCut cut;
        const std::string_view bytes = std::string_view(file).substr(0, size);
        int whole = 0;
        while (whole < count && valuesEnd[static_cast<std::size_t>(whole)] <= size) {
            ++whole;
        }
        const int result = ReadSensorBytes(bytes, table, &cut);
        if (whole == count) {
            // Only spare lines of the last record are missing: nothing is lost.
            ASSERT_EQ(result, 0) << "cut at " << size;
            continue;
        }
        ASSERT_EQ(result, kSensorFileTruncated) << "cut at " << size;
        ASSERT_EQ(cut.recordsRead, whole) << "cut at " << size;
        ASSERT_EQ(cut.recordsInFile, count);
        ASSERT_EQ(cut.fileBytes, size);
        ASSERT_LE(cut.damagedFromByte, std::min(size, starts[static_cast<std::size_t>(whole)]));
        ASSERT_GE(cut.damagedFromByte, whole == 0 ? starts[0] : valuesEnd[whole - 1]);
        ASSERT_EQ(table.GetMax1820Index(), whole - 1) << "cut at " << size;
        ASSERT_EQ(table.NetworkName, "Koelcel");
        for (int j = 0; j < whole; ++j) {
            const SensorRecord& r = table.SensorArray[static_cast<std::size_t>(j)];
            ASSERT_EQ(r.Name, "Cold room " + std::to_string(j));
            ASSERT_EQ(r.AlarmHigh, -10);
            ASSERT_EQ(r.AlarmDelay, 300);
            ASSERT_EQ(r.AlarmTimes[6], (AlarmWindow{24, 84}));
            ASSERT_EQ(r.SmsEnable, 0);
            ASSERT_EQ(r.RelayEnable, 1);
        }
        ASSERT_EQ(table.SensorArray[static_cast<std::size_t>(whole)].Line, 0)
            << "the cut record's slot stays free";
    }

    // At a record boundary the damage begins where the file ends; inside a
    // record, at its separator.
    SensorTable table;
    SensorFileCut cut;
    ASSERT_EQ(ReadSensorBytes(std::string_view(file).substr(0, starts[2]), table, &cut),
              kSensorFileTruncated);
    EXPECT_EQ(cut.recordsRead, 2);
    EXPECT_EQ(cut.damagedFromByte, starts[2]);
    ASSERT_EQ(ReadSensorBytes(std::string_view(file).substr(0, starts[2] + 60), table, &cut),
              kSensorFileTruncated);
    EXPECT_EQ(cut.damagedFromByte, starts[2]);
}

TEST_F(SensorFile, AnOlderRecordCutBeforeItsLayoutShowsIsNotWhole) {
    // Without the line after its windows, a layout-2 record cannot be told
    // from a current one that lost its SMS and relay lines.
    auto lines = Header(1) + Block(0, 2) + Block(1, 2);
    lines.resize(lines.size() - 10);
    SensorFileCut cut;
    EXPECT_EQ(ReadSensorBytes(Join(lines), table_, &cut), kSensorFileTruncated);
    EXPECT_EQ(cut.recordsRead, 1);
    EXPECT_EQ(table_.SensorArray[0].SmsEnable, 1) << "the whole older record reads as always";
    lines.push_back("sp");
    EXPECT_EQ(ReadSensorBytes(Join(lines), table_, &cut), 0);
}

TEST_F(SensorFile, ACutFileThatAnnouncesTheLargestCountSaysSoWithoutOverflowing) {
    const auto lines = Header(std::numeric_limits<int>::max()) + Block(0);
    SensorFileCut cut;
    EXPECT_EQ(ReadSensorBytes(Join(lines), table_, &cut), kSensorFileTruncated);
    EXPECT_EQ(cut.recordsRead, 1);
    EXPECT_EQ(cut.recordsInFile, std::numeric_limits<int>::max());
}

TEST_F(SensorFile, HostileContentIsBounded) {
    auto block = Block(0, 3, std::string(60, 'N') + "\x01\x02");
    block[2] = "101";   // a marked line in the file is taken less 100
    block[3] = "999";   // not a byte: the element becomes 0
    block[14] = "abc";  // no number: 0
    auto lines = Header(150, std::string(40, 'W')) + block;
    for (int j = 1; j < 120; ++j) {
        lines = lines + Block(j);
    }
    lines[22 + 49 + 2] = "7";  // lines the unit does not have: line 1
    lines[22 + 98 + 2] = "250";
    EXPECT_EQ(Load(Join(lines, "\n")), 0) << "LF-only lines are accepted";
    EXPECT_EQ(table_.GetMax1820Index(), 99) << "no more than 100 records";
    EXPECT_EQ(table_.NetworkName, std::string(31, 'W'));
    EXPECT_EQ(table_.SensorArray[0].Name, std::string(27, 'N'));
    EXPECT_EQ(table_.SensorArray[0].Line, 1);
    EXPECT_EQ(table_.SensorArray[1].Line, 1);
    EXPECT_EQ(table_.SensorArray[2].Line, 1);
    EXPECT_EQ(table_.SensorArray[3].Line, 2);
    EXPECT_EQ(table_.SensorArray[0].Rom[0], 0);
    EXPECT_EQ(table_.SensorArray[0].AlarmHigh, 0);
}

TEST_F(SensorFile, NamesWithLineBreaksCannotBreakTheFile) {
    const int index = table_.Append1820ToDataStruct({0x28, 1, 2, 3, 4, 5, 6, 7}, 1);
    table_.SensorArray[index].Name = "Evil\r\n5\r\nname";
    table_.NetworkName = "Net\nwork";
    ASSERT_EQ(Save(), 0);
    SensorTable back;
    ASSERT_EQ(ReadSensorFile(path_, back), 0);
    EXPECT_EQ(back.SensorArray[0].Name, "Evil  5  name");
    EXPECT_EQ(back.NetworkName, "Net work");
    EXPECT_EQ(back.SensorArray[0].Rom, table_.SensorArray[0].Rom);
}

TEST_F(SensorFile, GarbageNeverCrashes) {
    std::string garbage = Join(Header(3));
    for (int i = 0; i < 20000; ++i) {
        garbage.push_back(static_cast<char>((i * 2654435761u) >> 24));
    }
    const int result = Load(garbage);
    EXPECT_TRUE(result == kSensorFileTruncated || result >= 0);
    EXPECT_EQ(ReadSensorFile(dir_ / "none.SNS", table_), kFileDoesNotExist);
}

TEST_F(SensorFile, AFileInItsPlaceThatCannotBeReadIsNeverReplaced) {
    // A pipe stands in for a file the station's user may not read (which a
    // test run as root cannot make): both give a reason and no bytes.
    ASSERT_EQ(::mkfifo(path_.c_str(), 0644), 0);
    EXPECT_EQ(ReadSensorFile(path_, table_), kFileCannotOpenForReading);
    table_.Append1820ToDataStruct({0x28, 1, 2, 3, 4, 5, 6, 7}, 1);

    EXPECT_EQ(Save(), kFileCannotOpenForWriting);

    EXPECT_TRUE(std::filesystem::is_fifo(path_)) << "still the file that was there";
    ASSERT_EQ(dialogs_.Popups().size(), 1u);
    EXPECT_EQ(dialogs_.Popups()[0].message, "File error in QRVNL.SNS, operation aborted.\n" +
                                                path_.string() + ": it is not a regular file");
    ASSERT_EQ(log_.Messages().size(), 1u);
    EXPECT_EQ(log_.Messages()[0], "SensorFile not written, the file in its place cannot be read: " +
                                      path_.string() + ": it is not a regular file");
}

TEST_F(SensorFile, AWriteThatFailsSaysWhyAndLeavesTheFileAsItWas) {
    table_.Append1820ToDataStruct({0x28, 1, 2, 3, 4, 5, 6, 7}, 1);
    ASSERT_EQ(Save(), 0);
    const std::string before = ReadBytes(path_);
    table_.Append1820ToDataStruct({0x28, 9, 2, 3, 4, 5, 6, 7}, 1);
    // A file size limit stands in for a full disk, which a test cannot make:
    // both fail the write with a reason of the system's.
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 256;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const int result = Save();
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldSignal);

    EXPECT_EQ(result, kFileCannotOpenForWriting);
    EXPECT_TRUE(ReadBytes(path_) == before);
    const std::string where = path_.string() + ": " + std::strerror(EFBIG);
    ASSERT_EQ(dialogs_.Popups().size(), 1u);
    EXPECT_EQ(dialogs_.Popups()[0].message,
              "File error in QRVNL.SNS, operation aborted.\n" + where);
    ASSERT_EQ(log_.Messages().size(), 2u);
    EXPECT_EQ(log_.Messages()[1], "SensorFile not written: " + where);
}

TEST_F(SensorFile, AFileWithMoreProbesThanTheTableIsKeptWholeBesideItOnce) {
    auto lines = Header(119);
    for (int j = 0; j < 120; ++j) {
        lines = lines + Block(j);
    }
    const std::string full = Join(lines);
    WriteBytes(path_, full);
    EXPECT_EQ(ProbesInSensorFile(full), 120);

    const auto kept = KeepSensorFileThatDoesNotFit(path_, clock_);
    ASSERT_TRUE(kept.has_value());
    EXPECT_EQ(kept->probesInFile, 120);
    EXPECT_TRUE(kept->newCopy);
    EXPECT_EQ(kept->error, "");
    EXPECT_EQ(kept->copy, dir_ / "QRVNL.SNS.kept-2026-12-06-083005");
    EXPECT_EQ(ReadBytes(kept->copy), full);

    // Loaded again (the installation reads the file too): the same copy.
    clock_.Advance(60.0);
    const auto again = KeepSensorFileThatDoesNotFit(path_, clock_);
    ASSERT_TRUE(again.has_value());
    EXPECT_FALSE(again->newCopy);
    EXPECT_EQ(again->copy, kept->copy);

    // Other bytes in the same second: a copy of their own, the first stays.
    const VirtualClock sameSecond{{2026, 12, 6, 8, 30, 5, 0}};
    lines[12] = "sns changed";
    WriteBytes(path_, Join(lines));
    const auto other = KeepSensorFileThatDoesNotFit(path_, sameSecond);
    ASSERT_TRUE(other.has_value());
    EXPECT_TRUE(other->newCopy);
    EXPECT_EQ(other->copy, dir_ / "QRVNL.SNS.kept-2026-12-06-083005-2");
    EXPECT_EQ(ReadBytes(kept->copy), full);

    ASSERT_EQ(ReadSensorFile(path_, table_), 0);
    EXPECT_EQ(table_.GetMax1820Index(), 99);
    ASSERT_EQ(Save(), 0);
    EXPECT_EQ(KeepSensorFileThatDoesNotFit(path_, clock_), std::nullopt)
        << "a file of 100 probes fits";
    EXPECT_EQ(KeepSensorFileThatDoesNotFit(dir_ / "none.SNS", clock_), std::nullopt);
    EXPECT_EQ(ProbesInSensorFile(Join(Header(-1))), 0);
    EXPECT_EQ(ProbesInSensorFile("short\r\n"), std::nullopt);
}

TEST_F(SensorFile, FailedWriteShowsThePopup) {
    EXPECT_EQ(WriteSensorFile(dir_ / "no" / "QRVNL.SNS", table_, clock_, dialogs_, log_, 2),
              kFileCannotOpenForWriting);
    ASSERT_EQ(dialogs_.Popups().size(), 1u);
    EXPECT_EQ(dialogs_.Popups()[0].title, "QUORVANEL   Réseau de capteurs intelligents");
    const std::string where = (dir_ / "no" / "QRVNL.SNS").string() + ": " + std::strerror(ENOENT);
    EXPECT_TRUE(dialogs_.Popups()[0].message.ends_with("\n" + where))
        << dialogs_.Popups()[0].message;
    EXPECT_EQ(log_.Messages(), std::vector<std::string>{"SensorFile not written: " + where});
}

}  // namespace
}  // namespace qrv
