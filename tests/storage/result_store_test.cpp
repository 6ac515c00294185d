#include "storage/result_store.h"

#include <gtest/gtest.h>

#include <fmt/format.h>

#include <memory>

#include "storage/result_file_format.h"
#include "storage/result_file_text.h"
#include "storage/store_rig.h"
#include "storage/today_reader.h"
#include "support/temp_dir.h"

namespace qrv {
namespace {

using testing::BlockHeaderText;
using testing::ProbeLineText;
using testing::ReadBytes;
using testing::ResultHeaderText;

class ResultStoreTest : public ::testing::Test, protected testing::StoreRig {
  protected:
    ResultStoreTest() : StoreRig({2026, 12, 6, 14, 30, 5, 0}) {
        AddProbe(0x28, 0x2C,
                 "Koelcel \u00B0"
                 "1",
                 21.46);
        AddProbe(0x26, 0x2D, "Kas", 55.0);
        AddProbe(0x12, 0x2E, "Deur", 1.0);
    }

    std::filesystem::path DayFile(const std::string& date) const {
        return dataDir / (date + ".qrd");
    }

    testing::TempDir temp;
    std::filesystem::path dataDir = temp.path() / "QRVDATA";
};

TEST_F(ResultStoreTest, FirstStoreCreatesTheFileSecondAppendsABlock) {
    ASSERT_EQ(store.StoreResultsToDisk(dataDir), StoreResult::kStored);
    const std::string firstBlock = BlockHeaderText("14:30", 3) +
                                   ProbeLineText("0000000A1B2C", "  21.5",
                                                 "Koelcel \xB0"
                                                 "1") +
                                   ProbeLineText("1000000A1B2D", "  55.0", "Kas") +
                                   ProbeLineText("2000000A1B2E", "   1.0", "Deur");
    EXPECT_EQ(ReadBytes(DayFile("2026-12-06")), ResultHeaderText("2026-12-06") + firstBlock);
    EXPECT_EQ(store.State().LastSampleTime.load(), 870);

    clock.Advance(5 * 60);
    table.Lock()->SensorArray[0].Value = -5.0;
    table.Lock()->SensorArray[1].Status = kStatusOff;
    ASSERT_EQ(store.StoreResultsToDisk(dataDir), StoreResult::kStored);
    EXPECT_EQ(ReadBytes(DayFile("2026-12-06")),
              ResultHeaderText("2026-12-06") + firstBlock + BlockHeaderText("14:35", 3) +
                  ProbeLineText("0000000A1B2C", "  -5.0",
                                "Koelcel \xB0"
                                "1") +
                  ProbeLineText("1000000A1B2D", "-300.0", "Kas") +
                  ProbeLineText("2000000A1B2E", "   1.0", "Deur"));
    EXPECT_EQ(store.State().LastSampleTime.load(), 875);
    EXPECT_TRUE(log.Messages().empty());
}

TEST_F(ResultStoreTest, StoreAfterMidnightOpensTheNewDay) {
    clock.SetNow({2026, 12, 31, 23, 59, 30, 0});
    ASSERT_EQ(store.StoreResultsToDisk(dataDir), StoreResult::kStored);
    clock.Advance(60);
    ASSERT_EQ(store.StoreResultsToDisk(dataDir), StoreResult::kStored);
    const std::string newYear = ReadBytes(DayFile("2027-01-01"));
    EXPECT_TRUE(newYear.starts_with(ResultHeaderText("2027-01-01") + BlockHeaderText("00:00", 3)));
}

TEST_F(ResultStoreTest, EmptyTableStillWritesABlockHeader) {
    table.Lock()->ClearDataBase();
    ASSERT_EQ(store.StoreResultsToDisk(dataDir), StoreResult::kStored);
    EXPECT_EQ(ReadBytes(DayFile("2026-12-06")),
              ResultHeaderText("2026-12-06") + BlockHeaderText("14:30", 0));
}

TEST_F(ResultStoreTest, NothingIsWrittenWithoutANetwork) {
    netWorkInstalled = 0;
    EXPECT_EQ(store.StoreResultsToDisk(dataDir), StoreResult::kNoNetwork);
    EXPECT_FALSE(std::filesystem::exists(dataDir));
    EXPECT_TRUE(display.Calls().empty());
}

TEST_F(ResultStoreTest, AnEmptyFileLeftByACrashGetsItsHeader) {
    std::filesystem::create_directories(dataDir);
    testing::WriteBytes(DayFile("2026-12-06"), "");
    ASSERT_EQ(store.StoreResultsToDisk(dataDir), StoreResult::kStored);
    EXPECT_TRUE(ReadBytes(DayFile("2026-12-06")).starts_with(ResultHeaderText("2026-12-06")));
}

TEST_F(ResultStoreTest, ABlockAfterACrashStartsOnALineOfItsOwn) {
    std::filesystem::create_directories(dataDir);
    const std::string torn = ResultHeaderText("2026-12-06") + BlockHeaderText("14:20", 3) +
                             ProbeLineText("0000000A1B2C", "  20.0", "Koel").substr(0, 18);
    for (const std::string& cut : {torn, torn + "xx\r"}) {
        testing::WriteBytes(DayFile("2026-12-06"), cut);
        ASSERT_EQ(store.StoreResultsToDisk(dataDir), StoreResult::kStored);
        const std::string bytes = ReadBytes(DayFile("2026-12-06"));
        const std::string expected =
            cut + (cut.ends_with('\r') ? "\n" : "\r\n") + BlockHeaderText("14:30", 3);
        EXPECT_EQ(bytes.substr(0, expected.size()), expected);
    }
}

TEST_F(ResultStoreTest, AFailedStoreIsLoggedShownAndReported) {
    // The day's file name is taken by a directory: nothing can be appended.
    std::filesystem::create_directories(DayFile("2026-12-06"));
    EXPECT_EQ(store.StoreResultsToDisk(dataDir), StoreResult::kCannotWrite);
    ASSERT_EQ(log.Messages().size(), 1u);
    EXPECT_NE(log.Messages()[0].find("2026-12-06.qrd"), std::string::npos);
    EXPECT_NE(log.Messages()[0].find(": Is a directory"), std::string::npos) << log.Messages()[0];
    auto shown = display.Snapshot();
    EXPECT_EQ(shown.statusColor, colors::kAlarmRed);
    EXPECT_NE(shown.statusLine.find("2026-12-06.qrd"), std::string::npos);
    // The acquisition's next status line does not hide it: the header does
    // until a store succeeds again.
    display.SetStatusLine("Probe: Freezer", colors::kProgressBlue);
    shown = display.Snapshot();
    EXPECT_TRUE(shown.storeProblemShown);
    EXPECT_EQ(shown.storeProblemText, "File error, operation aborted. 2026-12-06.qrd");

    // A day file linked to a device or a directory is refused, never written;
    // a link to a regular file is followed.
    std::filesystem::remove(DayFile("2026-12-06"));
    for (const std::filesystem::path& target : {std::filesystem::path("/dev/null"), temp.path()}) {
        std::filesystem::remove(DayFile("2026-12-06"));
        std::filesystem::create_symlink(target, DayFile("2026-12-06"));
        EXPECT_EQ(store.StoreResultsToDisk(dataDir), StoreResult::kCannotWrite);
        EXPECT_NE(log.Messages().back().find("symbolic link"), std::string::npos)
            << log.Messages().back();
    }
    EXPECT_EQ(log.Messages().size(), 3u);
    std::filesystem::remove(DayFile("2026-12-06"));
    std::filesystem::create_symlink(temp / "elsewhere.qrd", DayFile("2026-12-06"));
    testing::WriteBytes(temp / "elsewhere.qrd", "");
    EXPECT_TRUE(display.Snapshot().storeProblemShown) << "refused links fail the store too";
    EXPECT_EQ(store.StoreResultsToDisk(dataDir), StoreResult::kStored);
    EXPECT_TRUE(ReadBytes(temp / "elsewhere.qrd").starts_with(ResultHeaderText("2026-12-06")));
    EXPECT_FALSE(display.Snapshot().storeProblemShown) << "a store that succeeds clears it";

    // A data directory that cannot be created fails the same way.
    testing::WriteBytes(temp / "blocked", "x");
    EXPECT_EQ(store.StoreResultsToDisk(temp / "blocked" / "QRVDATA"), StoreResult::kCannotWrite);
    EXPECT_EQ(log.Messages().size(), 4u);
}

TEST_F(ResultStoreTest, AMinuteWithABlockIsNeverStoredAgainAlsoAfterARestart) {
    ASSERT_EQ(store.StoreResultsToDisk(dataDir), StoreResult::kStored);
    const std::string once = ReadBytes(DayFile("2026-12-06"));
    clock.Advance(20);  // the store at stop or shutdown, in the same minute
    EXPECT_EQ(store.StoreResultsToDisk(dataDir), StoreResult::kMinuteAlreadyStored);

    // A station restarted within the minute reads the minute from the file.
    ResultStore restarted({table, clock, status, log, feed});
    EXPECT_EQ(restarted.StoreResultsToDisk(dataDir), StoreResult::kMinuteAlreadyStored);
    EXPECT_EQ(ReadBytes(DayFile("2026-12-06")), once);
    EXPECT_EQ(restarted.State().LastSampleTime.load(), 870);
    EXPECT_TRUE(log.Messages().empty());

    clock.Advance(60);
    ASSERT_EQ(restarted.StoreResultsToDisk(dataDir), StoreResult::kStored);
    const std::size_t block = once.size() - ResultHeaderText("2026-12-06").size();
    EXPECT_EQ(ReadBytes(DayFile("2026-12-06")).size(), once.size() + block);

    // Today's file moved away (Save As): the minute starts a new file.
    std::filesystem::rename(DayFile("2026-12-06"), temp / "saved.qrd");
    ASSERT_EQ(restarted.StoreResultsToDisk(dataDir), StoreResult::kStored);
    EXPECT_TRUE(ReadBytes(DayFile("2026-12-06"))
                    .starts_with(ResultHeaderText("2026-12-06") + BlockHeaderText("14:31", 3)));
}

TEST_F(ResultStoreTest, AnAppendedBlockAndAFailedStoreArePublishedNothingElse) {
    FeedSubscription events = feed.Subscribe();
    ASSERT_EQ(store.StoreResultsToDisk(dataDir), StoreResult::kStored);
    clock.Advance(20);
    EXPECT_EQ(store.StoreResultsToDisk(dataDir), StoreResult::kMinuteAlreadyStored);
    testing::WriteBytes(temp / "blocked", "x");
    EXPECT_EQ(store.StoreResultsToDisk(temp / "blocked" / "QRVDATA"), StoreResult::kCannotWrite);
    netWorkInstalled = 0;
    EXPECT_EQ(store.StoreResultsToDisk(dataDir), StoreResult::kNoNetwork);
    const std::vector<LiveEvent> published = events.Drain().events;
    ASSERT_EQ(published.size(), 2U);
    EXPECT_EQ(published[0].kind, LiveEventKind::kStored);
    EXPECT_EQ(published[0].time, (LocalDateTime{2026, 12, 6, 14, 30, 5, 0}));
    // A subscriber far from the window learns of a failure in the words of
    // the program log; the next kStored says the station stores again.
    EXPECT_EQ(published[1].kind, LiveEventKind::kStoreFailed);
    EXPECT_EQ(published[1].time, (LocalDateTime{2026, 12, 6, 14, 30, 25, 0}));
    ASSERT_EQ(log.Messages().size(), 1U);
    EXPECT_EQ(published[1].reason, log.Messages()[0]);
    EXPECT_NE(published[1].reason.find("cannot be created"), std::string::npos);
}

class TodayReaderTest : public ResultStoreTest {
  protected:
    int Read(int index) {
        return ReadViewResultsFromDisk(table.Lock()->SensorArray[static_cast<std::size_t>(index)],
                                       dataDir, clock, status, *view);
    }
    std::unique_ptr<TodayView> view = std::make_unique<TodayView>();
};

TEST_F(TodayReaderTest, ReadsBackWhatTheStoreWrote) {
    for (double value : {21.46, 19.0, 23.94}) {
        table.Lock()->SensorArray[0].Value = value;
        ASSERT_EQ(store.StoreResultsToDisk(dataDir), StoreResult::kStored);
        clock.Advance(10 * 60);
    }
    ASSERT_EQ(Read(0), 0);
    EXPECT_EQ(view->ViewArrayMaxIndex, 2);
    EXPECT_EQ(view->ViewTime[0], 870);
    EXPECT_EQ(view->ViewTime[2], 890);
    EXPECT_EQ(view->ViewTemp[0], 21.5);
    EXPECT_EQ(view->ViewTemp[2], 23.9);
    EXPECT_EQ(view->ViewMeasMin, 19.0);
    EXPECT_EQ(view->ViewMeasMax, 23.9);
    EXPECT_EQ(view->ViewProbeName,
              "Koelcel \u00B0"
              "1");
    EXPECT_EQ(view->ViewProbeUnits, "\u00B0C");
    EXPECT_EQ(view->ViewProbeType, kTypeTemperature);
}

TEST_F(TodayReaderTest, OffProbeMissingProbeAndMissingFileGiveNothing) {
    EXPECT_EQ(Read(0), kNoTodayValues);  // no file yet today
    EXPECT_EQ(view->ViewProbeName, "?");
    EXPECT_EQ(view->ViewMeasMin, 150.0);
    EXPECT_EQ(view->ViewMeasMax, -50.0);

    table.Lock()->SensorArray[1].Status = kStatusOff;
    ASSERT_EQ(store.StoreResultsToDisk(dataDir), StoreResult::kStored);
    EXPECT_EQ(Read(1), kNoTodayValues);
    EXPECT_EQ(view->ViewProbeName, "?");
    EXPECT_EQ(view->ViewArrayMaxIndex, 0);

    const int added = AddProbe(0x28, 0x40, "Nieuw", 4.0);
    EXPECT_EQ(Read(added), kNoTodayValues);
}

TEST_F(TodayReaderTest, ATypeChangeNoLongerMatchesOlderLines) {
    ASSERT_EQ(store.StoreResultsToDisk(dataDir), StoreResult::kStored);
    table.Lock()->SensorArray[0].SensorType = kTypeHumidity;
    EXPECT_EQ(Read(0), kNoTodayValues);
}

TEST_F(TodayReaderTest, ReadsEveryValueAlsoPastADaysMinutes) {
    std::string bytes = ResultHeaderText("2026-12-06");
    for (int block = 0; block < 1500; ++block) {
        // The clock set back an hour at 03:00, and the probe twice in a block.
        const int minute = block < 180 ? block : block - 60;
        bytes += BlockHeaderText(fmt::format("{:02}:{:02}", minute / 60, minute % 60), 2) +
                 ProbeLineText("0000000A1B2C", "  20.0", "A") +
                 ProbeLineText("0000000A1B2C", block == 1499 ? "  12.0" : "  21.0", "A");
    }
    std::filesystem::create_directories(dataDir);
    testing::WriteBytes(DayFile("2026-12-06"), bytes);
    ASSERT_EQ(Read(0), 0);
    ASSERT_EQ(view->ViewArrayMaxIndex, 2999);
    EXPECT_EQ(view->ViewTime[2999], 1439);
    EXPECT_EQ(view->ViewTemp[2999], 12.0);
    EXPECT_EQ(view->ViewMeasMin, 12.0);
}

TEST_F(ResultStoreTest, AClockSetBackIsLoggedOnceWithBothTimes) {
    ASSERT_EQ(store.StoreResultsToDisk(dataDir), StoreResult::kStored);
    clock.SetNow({2026, 12, 6, 13, 45, 0, 0});
    ASSERT_EQ(store.StoreResultsToDisk(dataDir), StoreResult::kStored);
    clock.Advance(60);
    ASSERT_EQ(store.StoreResultsToDisk(dataDir), StoreResult::kStored);
    ASSERT_EQ(log.Messages().size(), 1U);
    EXPECT_NE(log.Messages()[0].find("13:45"), std::string::npos) << log.Messages()[0];
    EXPECT_NE(log.Messages()[0].find("14:30"), std::string::npos) << log.Messages()[0];

    // A restarted station meets the set-back in the file itself.
    ResultStore restarted({table, clock, status, log, feed});
    clock.SetNow({2026, 12, 6, 9, 0, 0, 0});
    ASSERT_EQ(restarted.StoreResultsToDisk(dataDir), StoreResult::kStored);
    ASSERT_EQ(log.Messages().size(), 2U);
    EXPECT_NE(log.Messages()[1].find("13:46"), std::string::npos) << log.Messages()[1];
    EXPECT_NE(log.Messages()[1].find("09:00"), std::string::npos) << log.Messages()[1];
}

TEST_F(TodayReaderTest, AMinuteStoredAgainIsReadOnce) {
    std::filesystem::create_directories(dataDir);
    testing::WriteBytes(
        DayFile("2026-12-06"),
        ResultHeaderText("2026-12-06") + BlockHeaderText("10:00", 1) +
            ProbeLineText("0000000A1B2C", "  20.0", "A") + BlockHeaderText("10:05", 1) +
            ProbeLineText("0000000A1B2C", "  21.0", "A") + BlockHeaderText("10:05", 1) +
            ProbeLineText("0000000A1B2C", "  99.0", "A") + BlockHeaderText("10:10", 1) +
            ProbeLineText("0000000A1B2C", "  22.0", "A"));
    ASSERT_EQ(Read(0), 0);
    ASSERT_EQ(view->ViewArrayMaxIndex, 2);
    EXPECT_EQ(view->ViewTime[1], 605);
    EXPECT_EQ(view->ViewTemp[1], 21.0);
    EXPECT_EQ(view->ViewTime[2], 610);
    EXPECT_EQ(view->ViewMeasMax, 22.0);
}

TEST_F(TodayReaderTest, DamagedLinesAreSkipped) {
    std::filesystem::create_directories(dataDir);
    testing::WriteBytes(
        DayFile("2026-12-06"),
        "garbage\n" + BlockHeaderText("08:00", 3) + ProbeLineText("0000000A1B2C", "  20.0", "A") +
            // Cut off in the middle of a line, then a new block.
            "0000000A1B" + BlockHeaderText("08:10", 1) +
            ProbeLineText("0000000A1B2C", "  22.0", "A") + std::string(5000, 'x') + "\r\n");
    ASSERT_EQ(Read(0), 0);
    EXPECT_EQ(view->ViewArrayMaxIndex, 1);
    EXPECT_EQ(view->ViewTime[1], 490);
    EXPECT_EQ(view->ViewTemp[1], 22.0);
}

}  // namespace
}  // namespace qrv
