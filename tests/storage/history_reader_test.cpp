#include "storage/history_sensor.h"

#include <gtest/gtest.h>

#include <fmt/format.h>

#include <memory>
#include <optional>

#include "storage/result_file_text.h"
#include "support/recording_status_display.h"
#include "support/temp_dir.h"

namespace qrv {
namespace {

using testing::BlockHeaderText;
using testing::ProbeLineText;
using testing::ResultHeaderText;

class RecordingHistoryProgress final : public HistoryProgress {
  public:
    void DisplaySearchHistoryMessage(std::string_view text) override {
        messages.emplace_back(text);
    }
    std::vector<std::string> messages;
};

class HistoryReaderTest : public ::testing::Test {
  protected:
    int Read(const std::string& bytes, const std::string& name = "2026-03-14.qrd") {
        const std::filesystem::path path = temp / name;
        testing::WriteBytes(path, bytes);
        ClearHistoSensorStructure(*data);
        data->HistoryFileName = path;
        return ReadHistoryFromDisk(*data, status, progress);
    }
    const HistoEntry& Entry(int i) const { return data->HistoSensor[static_cast<std::size_t>(i)]; }

    testing::TempDir temp;
    RecordingStatusDisplay display;
    int taal = 0;
    std::atomic<int> netWorkInstalled{1};
    StatusMessages status{display, taal, netWorkInstalled};
    RecordingHistoryProgress progress;
    std::unique_ptr<HistoryData> data = std::make_unique<HistoryData>();
};

TEST_F(HistoryReaderTest, ReadsEveryProbeAtItsMinutes) {
    const std::string bytes = ResultHeaderText("2026-03-14") + BlockHeaderText("00:00", 3) +
                              ProbeLineText("0000000A1B2C", "  21.5",
                                            "Koelcel \xB0"
                                            "1") +
                              ProbeLineText("1000000A1B2D", "  55.0", "Kas") +
                              ProbeLineText("2000000A1B2E", "   1.0", "Deur") +
                              BlockHeaderText("00:10", 3) +
                              ProbeLineText("0000000A1B2C", "  19.0",
                                            "Koelcel \xB0"
                                            "1") +
                              ProbeLineText("1000000A1B2D", "  60.5", "Kas") +
                              ProbeLineText("2000000A1B2E", "   0.0", "Deur");
    EXPECT_EQ(Read(bytes), 0);
    EXPECT_EQ(data->HistoryMaxIndex, 2);
    EXPECT_EQ(data->HistoryDatum, "2026-03-14");
    EXPECT_EQ(data->EuroHistoryDatum, "14/03/2026");

    EXPECT_EQ(KeyText(Entry(0).ProbeKey), "0000000A1B2C");
    EXPECT_EQ(Entry(0).ProbeName.utf8,
              "Koelcel \u00B0"
              "1");
    EXPECT_EQ(Entry(0).ProbeUnits, "\u00B0C");
    EXPECT_EQ(Entry(0).ProbeType, kTypeTemperature);
    EXPECT_EQ(Entry(0).LastIndex, 1);
    EXPECT_EQ(Entry(0).SampleTime[1], 10);
    EXPECT_EQ(Entry(0).SampleValue[1], 19.0);
    EXPECT_EQ(Entry(0).MinValue, 19.0);
    EXPECT_EQ(Entry(0).MaxValue, 21.5);

    // Keys are kept with the type character turned back into "0".
    EXPECT_EQ(KeyText(Entry(1).ProbeKey), "0000000A1B2D");
    EXPECT_EQ(Entry(1).ProbeUnits, " %");
    EXPECT_EQ(Entry(1).ProbeType, kTypeHumidity);
    EXPECT_EQ(Entry(2).ProbeUnits, "  ");
    EXPECT_EQ(Entry(2).ProbeType, kTypeSwitch);
    EXPECT_EQ(Entry(2).MinValue, 0.0);

    EXPECT_EQ(progress.messages, (std::vector<std::string>{" Converting: 2026-03-14.qrd   00:00",
                                                           " Converting: 2026-03-14.qrd   00:10"}));
    EXPECT_EQ(display.Snapshot().statusLine,
              "Reading previously recorded temperature data from disk..");
}

TEST_F(HistoryReaderTest, ProbesFoundByKeyNotByPosition) {
    const std::string bytes =
        ResultHeaderText("2026-03-14") + BlockHeaderText("08:00", 2) +
        ProbeLineText("0000000000A1", "  10.0", "A") +
        ProbeLineText("0000000000B2", "  20.0", "B") +
        // A probe added in the middle of the day, and the order changed.
        BlockHeaderText("08:05", 3) + ProbeLineText("0000000000C3", "  30.0", "C") +
        ProbeLineText("0000000000B2", "  21.0", "B") +
        ProbeLineText("0000000000A1", "  11.0", "A") +
        // The probe changed type: same entry; units and type follow the last line.
        BlockHeaderText("08:10", 1) + ProbeLineText("1000000000A1", "  50.0", "A als vocht");
    EXPECT_EQ(Read(bytes), 0);
    EXPECT_EQ(data->HistoryMaxIndex, 2);
    EXPECT_EQ(KeyText(Entry(2).ProbeKey), "0000000000C3");
    EXPECT_EQ(Entry(0).LastIndex, 2);
    EXPECT_EQ(Entry(0).SampleValue[2], 50.0);
    EXPECT_EQ(Entry(0).ProbeType, kTypeHumidity);
    EXPECT_EQ(Entry(0).ProbeUnits, " %");
    EXPECT_EQ(Entry(0).ProbeName.utf8, "A als vocht");
    EXPECT_EQ(Entry(1).LastIndex, 1);
    EXPECT_EQ(Entry(1).SampleTime[1], 485);
}

// Files of stations that stored a minute again after a restart.
std::string FileWithRepeatedMinutes() {
    return ResultHeaderText("2026-03-14") + BlockHeaderText("10:00", 1) +
           ProbeLineText("0000000000A1", "  20.0", "A") + BlockHeaderText("10:05", 2) +
           ProbeLineText("0000000000A1", "  21.0", "A") +
           ProbeLineText("0000000000B2", "  50.0", "B") +
           // Stored again twice; only the probe the first block lacks counts.
           BlockHeaderText("10:05", 3) + ProbeLineText("0000000000A1", "  99.0", "A") +
           ProbeLineText("0000000000B2", "  98.0", "B") +
           ProbeLineText("0000000000C3", "  30.0", "C") + BlockHeaderText("10:05", 1) +
           ProbeLineText("0000000000A1", "  97.0", "A") + BlockHeaderText("10:10", 1) +
           ProbeLineText("0000000000A1", "  22.0", "A") +
           // The clock set back: a reading of its own.
           BlockHeaderText("10:05", 1) + ProbeLineText("0000000000A1", "  23.0", "A");
}

TEST_F(HistoryReaderTest, AMinuteStoredAgainIsReadOnce) {
    EXPECT_EQ(Read(FileWithRepeatedMinutes()), 0);
    ASSERT_EQ(data->HistoryMaxIndex, 2);
    const HistoEntry& a = Entry(0);
    ASSERT_EQ(a.LastIndex, 3);
    EXPECT_EQ((std::vector<int>(a.SampleTime.begin(), a.SampleTime.begin() + 4)),
              (std::vector<int>{600, 605, 610, 605}));
    EXPECT_EQ((std::vector<double>(a.SampleValue.begin(), a.SampleValue.begin() + 4)),
              (std::vector<double>{20.0, 21.0, 22.0, 23.0}));
    EXPECT_EQ(a.MaxValue, 23.0);
    EXPECT_EQ(Entry(1).LastIndex, 0);
    EXPECT_EQ(Entry(1).MaxValue, 50.0);
    EXPECT_EQ(KeyText(Entry(2).ProbeKey), "0000000000C3");
    EXPECT_EQ(Entry(2).LastIndex, 0);
}

TEST_F(HistoryReaderTest, ValuesAtOrBelowTheThresholdAreSkipped) {
    const std::string bytes = ResultHeaderText("2026-03-14") + BlockHeaderText("08:00", 3) +
                              ProbeLineText("0000000000A1", "-200.0", "A") +
                              ProbeLineText("0000000000B2", "-300.0", "B") +
                              ProbeLineText("0000000000C3", "-199.9", "C");
    EXPECT_EQ(Read(bytes), 0);
    EXPECT_EQ(data->HistoryMaxIndex, 0);
    EXPECT_EQ(KeyText(Entry(0).ProbeKey), "0000000000C3");
    EXPECT_EQ(Entry(0).SampleValue[0], -199.9);
}

TEST_F(HistoryReaderTest, EveryValueOfADayIsReadAndTheHundredAndFirstProbeSkipped) {
    // A 1-minute day whose clock was set back an hour at 03:00: 1,500 blocks,
    // the late excursion among the last of them.
    std::string bytes = ResultHeaderText("2026-03-14");
    int block = 0;
    for (const auto& [from, to] : {std::pair{0, 180}, std::pair{120, 1440}}) {
        for (int minute = from; minute < to; ++minute, ++block) {
            bytes += BlockHeaderText(fmt::format("{:02}:{:02}", minute / 60, minute % 60), 1) +
                     ProbeLineText("0000000000A1", block == 1490 ? "  12.0" : "   4.0", "A");
        }
    }
    // 101 distinct probes in one block: the last is skipped.
    bytes += BlockHeaderText("23:59", 101);
    for (int i = 0; i < 101; ++i) {
        char key[13];
        std::snprintf(key, sizeof key, "0%011X", 0x100 + i);
        bytes += ProbeLineText(key, "   5.0", "P");
    }
    EXPECT_EQ(Read(bytes), 0);
    EXPECT_EQ(Entry(0).LastIndex, 1499);
    EXPECT_EQ(Entry(0).SampleValue[1490], 12.0);
    EXPECT_EQ(Entry(0).SampleTime[1490], 1430);
    EXPECT_EQ(Entry(0).SampleTime[1499], 1439);
    EXPECT_EQ(Entry(0).SampleTime[180], 120) << "the blocks after the set-back in file order";
    EXPECT_EQ(Entry(0).MaxValue, 12.0);
    EXPECT_EQ(data->HistoryMaxIndex, kMaxHistoryEntries - 1);
    EXPECT_EQ(KeyText(Entry(99).ProbeKey), "000000000162");

    // A shorter day read into the same structure holds only its own values.
    ClearHistoSensorStructure(*data);
    EXPECT_EQ(Read(ResultHeaderText("2026-03-15") + BlockHeaderText("00:00", 1) +
                   ProbeLineText("0000000000A1", "   3.0", "A")),
              0);
    EXPECT_EQ(Entry(0).LastIndex, 0);
    EXPECT_EQ(Entry(0).MaxValue, 3.0);
}

TEST_F(HistoryReaderTest, DamageNeverShiftsTheBlocksAfterIt) {
    std::string lfOnly = BlockHeaderText("09:00", 2) + ProbeLineText("0000000000A1", "  12.0", "A");
    std::erase(lfOnly, '\r');
    const std::string bytes =
        ResultHeaderText("2026-03-14") +
        // A block short of its lines: the next header still starts a block.
        BlockHeaderText("08:00", 3) + ProbeLineText("0000000000A1", "  10.0", "A") +
        BlockHeaderText("08:10", 2) + ProbeLineText("0000000000A1", "  11.0", "A") +
        // Garbage inside a block uses up its position only.
        "\x01\x02 binary \xFF garbage\r\n" + std::string(10000, '#') + "\r\n" + lfOnly +
        // A name far beyond the line limit is cut, the line is still read.
        ProbeLineText("0000000000B2", "  13.0", std::string(200, 'N')) +
        // A count running past the end of the file.
        BlockHeaderText("10:00", 9) + ProbeLineText("0000000000A1", "  14.0", "A");
    EXPECT_EQ(Read(bytes), 0);
    EXPECT_EQ(Entry(0).LastIndex, 3);
    const std::vector<int> times(Entry(0).SampleTime.begin(), Entry(0).SampleTime.begin() + 4);
    EXPECT_EQ(times, (std::vector<int>{480, 490, 540, 600}));
    EXPECT_EQ(Entry(0).SampleValue[2], 12.0);
    EXPECT_EQ(data->HistoryMaxIndex, 1);
    EXPECT_EQ(Entry(1).ProbeName.utf8, std::string(kMaxStoredNameLength, 'N'));
    EXPECT_EQ(Entry(1).SampleTime[0], 540);
}

TEST_F(HistoryReaderTest, EveryLineEndAndALastLineCutShort) {
    const std::string bytes =
        ResultHeaderText("2026-03-14") + BlockHeaderText("08:00", 4) +
        ProbeLineText("0000000000A1", " -12.5", "Vriezer") +
        // LF only; a CR inside a name is part of it; the no-reading marker.
        "0000000000B2    -0.1  Kel\rder\n" + ProbeLineText("0000000000C3", "-300.0", "Uit") +
        ProbeLineText("0000000000D4", "-199.9", "Koud") +
        // The last block: a line without its line end, then one cut in its value.
        "08:01  0003\n0000000000A1   -12.4  Vriezer\r\n0000000000B2     0.0  Kelder\r\n"
        "0000000000D4    2";
    EXPECT_EQ(Read(bytes), 0);
    ASSERT_EQ(data->HistoryMaxIndex, 2);
    EXPECT_EQ(KeyText(Entry(0).ProbeKey), "0000000000A1");
    EXPECT_EQ(Entry(0).LastIndex, 1);
    EXPECT_EQ(Entry(0).SampleValue[0], -12.5);
    EXPECT_EQ(Entry(0).SampleValue[1], -12.4);
    EXPECT_EQ(Entry(0).SampleTime[1], 481);
    EXPECT_EQ(Entry(0).MinValue, -12.5);
    EXPECT_EQ(Entry(1).SampleValue[0], -0.1);
    EXPECT_EQ(Entry(1).SampleValue[1], 0.0);
    EXPECT_EQ(Entry(1).ProbeName.utf8, "Kelder") << "the name of the last line";
    EXPECT_EQ(KeyText(Entry(2).ProbeKey), "0000000000D4");
    EXPECT_EQ(Entry(2).LastIndex, 0) << "the cut value is no value";
    EXPECT_EQ(Entry(2).SampleValue[0], -199.9);

    // The same last line whole but without its line end is read.
    EXPECT_EQ(Read(bytes + "1.5  Koud"), 0);
    EXPECT_EQ(Entry(2).LastIndex, 1);
    EXPECT_EQ(Entry(2).SampleValue[1], 21.5);
    EXPECT_EQ(Entry(2).SampleTime[1], 481);

    // And the CR inside the name of a line that is last.
    EXPECT_EQ(Read(ResultHeaderText("2026-03-14") + BlockHeaderText("08:00", 1) +
                   "0000000000B2    -0.1  Kel\rder\r"),
              0);
    EXPECT_EQ(Entry(0).ProbeName.utf8, "Kel\rder");
}

// A record's name has 27 characters and the store writes it whole; the
// dashboard's day and reports showed it cut to 24.
TEST_F(HistoryReaderTest, AWholeRecordNameIsReadBackWhole) {
    const std::string name = "Koelcel 13 achterwand tr\xE9ma";  // 27, Windows-1252
    ASSERT_EQ(name.size(), 27u);
    const std::string bytes = ResultHeaderText("2026-03-14") + BlockHeaderText("08:00", 1) +
                              ProbeLineText("0000000000A1", "  10.0", name);
    EXPECT_EQ(Read(bytes), 0);
    EXPECT_EQ(Entry(0).ProbeName.utf8, "Koelcel 13 achterwand tr\xC3\xA9ma");
}

TEST_F(HistoryReaderTest, AProbeWithoutANameIsReadWithAnEmptyName) {
    // What the store writes for an unnamed probe, with no header at all.
    EXPECT_EQ(Read("00:15  5\r\n0000013CA111     3.8\r\n"), -4);
    EXPECT_EQ(data->HistoryMaxIndex, 0);
    EXPECT_EQ(Entry(0).ProbeName.utf8, "");
    EXPECT_EQ(Entry(0).SampleTime[0], 15);
    EXPECT_EQ(Entry(0).SampleValue[0], 3.8);
    // A name that appears later replaces the empty one, and back.
    EXPECT_EQ(Read(ResultHeaderText("2026-03-14") + BlockHeaderText("00:15", 1) +
                   ProbeLineText("0000013CA111", "   3.8", "") + BlockHeaderText("00:30", 1) +
                   ProbeLineText("0000013CA111", "   3.9", "Kelder")),
              0);
    EXPECT_EQ(Entry(0).ProbeName.utf8, "Kelder");
    EXPECT_EQ(Read(ResultHeaderText("2026-03-14") + BlockHeaderText("00:15", 1) +
                   ProbeLineText("0000013CA111", "   3.8", "Kelder") + "00:30  0001\r\n" +
                   "0000013CA111     3.9\r\n"),
              0);
    EXPECT_EQ(Entry(0).ProbeName.utf8, "");
}

TEST_F(HistoryReaderTest, HeaderMismatchesAreReportedButTheDataIsRead) {
    const std::string block =
        BlockHeaderText("07:00", 1) + ProbeLineText("0000000000A1", "  10.0", "A");
    std::string header = ResultHeaderText("2026-03-14");
    header.replace(header.find("1.10"), 4, "1.11");
    EXPECT_EQ(Read(header + block), -2);
    EXPECT_EQ(Entry(0).LastIndex, 0);

    // No header at all: the date comes from the file name.
    EXPECT_EQ(Read(block, "2026-03-15.qrd"), -4);
    EXPECT_EQ(Entry(0).LastIndex, 0);
    EXPECT_EQ(data->HistoryDatum, "2026-03-15");
    EXPECT_EQ(data->EuroHistoryDatum, "15/03/2026");

    EXPECT_EQ(Read(""), -4);
    EXPECT_EQ(data->HistoryMaxIndex, -1);
}

TEST_F(HistoryReaderTest, MissingFileReadsNothing) {
    ClearHistoSensorStructure(*data);
    data->HistoryFileName = temp / "2026-01-01.qrd";
    EXPECT_EQ(ReadHistoryFromDisk(*data, status, progress), kFileDoesNotExist);
    EXPECT_EQ(data->HistoryMaxIndex, -1);
}

TEST_F(HistoryReaderTest, ValueAtAMinute) {
    std::string longDay = ResultHeaderText("2026-03-14");
    for (const char* time : {"00:00", "00:30", "01:00", "01:30"}) {
        longDay += BlockHeaderText(time, 1) + ProbeLineText("0000000000A1", "   4.0", "A");
    }
    Read(longDay);
    EXPECT_EQ(ZoekInHistoSensor(*data, 0, 90), 4.0);
    // A shorter day read afterwards leaves the older values beyond LastIndex.
    Read(ResultHeaderText("2026-03-15") + BlockHeaderText("00:00", 1) +
         ProbeLineText("0000000000A1", "   7.0", "A") + BlockHeaderText("00:20", 1) +
         ProbeLineText("0000000000A1", "   8.0", "A"));
    EXPECT_EQ(ZoekInHistoSensor(*data, 0, 0), 7.0);
    EXPECT_EQ(ZoekInHistoSensor(*data, 0, 20), 8.0);
    EXPECT_EQ(ZoekInHistoSensor(*data, 0, 10), std::nullopt);
    EXPECT_EQ(ZoekInHistoSensor(*data, 0, 90), std::nullopt);
    EXPECT_EQ(ZoekInHistoSensor(*data, 5, 0), std::nullopt);
    EXPECT_EQ(ZoekInHistoSensor(*data, 100, 0), std::nullopt);
}

}  // namespace
}  // namespace qrv
