#include "storage/month_sensor.h"

#include <gtest/gtest.h>

#include <fmt/format.h>

#include <map>
#include <memory>
#include <sstream>
#include <tuple>

#include "runtime/text_file.h"
#include "storage/period_day_reader.h"
#include "storage/period_files.h"
#include "storage/result_file_text.h"
#include "storage/result_generator.h"
#include "support/recording_status_display.h"
#include "support/temp_dir.h"

namespace qrv {
namespace {

using testing::BlockHeaderText;
using testing::ProbeLineText;
using testing::ResultHeaderText;

// Records the report panel's side and leaves after a number of checks.
class RecordingReportProgress final : public ReportProgress {
  public:
    void MakeMeldingVisible(bool visible, std::string_view text) override {
        melding.emplace_back(visible, std::string(text));
    }
    void DisplayMonthlyMessage(std::string_view message, std::string_view time) override {
        monthly.push_back(std::string(message) + "|" + std::string(time));
    }
    bool ReportAbort() const override { return ++checks > abortAfter; }

    std::vector<std::pair<bool, std::string>> melding;
    std::vector<std::string> monthly;
    mutable int checks = 0;
    int abortAfter = 1 << 30;
};

class PeriodReaderTest : public ::testing::Test {
  protected:
    PeriodReaderTest() { ClearSensorStructure(*data); }

    int ReadAt(const std::string& bytes, int position, bool hourly) {
        const std::filesystem::path path = temp / ("day" + std::to_string(position) + ".qrd");
        testing::WriteBytes(path, bytes);
        data->WantedMonthFile = path;
        return ReadDayOfMonthFromDisk(*data, position, hourly, progress);
    }
    const MonthEntry& Entry(int i) const { return data->MonthSensor[static_cast<std::size_t>(i)]; }
    std::vector<std::tuple<int, double, double>> Slots(int i) const {
        std::vector<std::tuple<int, double, double>> slots;
        for (int s = 0; s <= Entry(i).LastIndex; ++s) {
            const auto k = static_cast<std::size_t>(s);
            slots.emplace_back(Entry(i).SlotNumber[k], Entry(i).SlotMax[k], Entry(i).SlotMin[k]);
        }
        return slots;
    }

    testing::TempDir temp;
    RecordingReportProgress progress;
    std::unique_ptr<PeriodData> data = std::make_unique<PeriodData>();
};

std::string Block(const char* time,
                  std::initializer_list<std::pair<const char*, const char*>> lines) {
    std::string block = BlockHeaderText(time, static_cast<int>(lines.size()));
    for (const auto& [key, value] : lines) {
        block += ProbeLineText(key, value, std::string("Probe ") + key[11]);
    }
    return block;
}

TEST_F(PeriodReaderTest, BlocksOfOneHourFoldIntoOneSlot) {
    const std::string bytes =
        ResultHeaderText("2026-03-03") + Block("10:00", {{"0000000000A1", "  10.0"}}) +
        Block("10:30", {{"0000000000A1", "  14.0"}, {"0000000000B2", "   3.0"}}) +
        Block("10:45", {{"0000000000A1", "   9.0"}, {"0000000000B2", "   5.0"}}) +
        Block("11:00", {{"0000000000A1", "  12.0"}, {"0000000000B2", "   4.0"}});
    EXPECT_EQ(ReadAt(bytes, 3, true), 0);
    // Day 3 of the month: slots 48..71.
    EXPECT_EQ(Slots(0),
              (std::vector<std::tuple<int, double, double>>{{58, 14.0, 9.0}, {59, 12.0, 12.0}}));
    // First seen in the middle of an hour: its own entry for that hour.
    EXPECT_EQ(Slots(1),
              (std::vector<std::tuple<int, double, double>>{{58, 5.0, 3.0}, {59, 4.0, 4.0}}));
    EXPECT_EQ(Entry(0).MinValue, 9.0);
    EXPECT_EQ(Entry(0).MaxValue, 14.0);
    EXPECT_EQ(Entry(1).ProbeName.utf8, "Probe 2");
    EXPECT_EQ(data->MonthMaxIndex, 1);
    EXPECT_EQ(progress.monthly.size(), 4u);
    EXPECT_EQ(progress.monthly[1], "|10:30");
}

TEST_F(PeriodReaderTest, AWholeRecordNameIsReadBackWhole) {
    const std::string name(27, 'W');
    const std::string bytes = ResultHeaderText("2026-03-03") + BlockHeaderText("10:00", 1) +
                              ProbeLineText("0000000000A1", "  10.0", name) +
                              BlockHeaderText("10:10", 1) +
                              ProbeLineText("0000000000A1", "  11.0", name + "-cut");
    EXPECT_EQ(ReadAt(bytes, 3, true), 0);
    EXPECT_EQ(Entry(0).ProbeName.utf8, name);
}

TEST_F(PeriodReaderTest, AProbeMissingTheFirstBlockOfAnHourGetsThatHour) {
    const std::string bytes =
        ResultHeaderText("2026-03-01") +
        Block("10:00", {{"0000000000A1", "  10.0"}, {"0000000000B2", "   1.0"}}) +
        Block("11:00", {{"0000000000A1", "  11.0"}}) +
        Block("11:30", {{"0000000000A1", "  12.0"}, {"0000000000B2", "   2.0"}});
    ReadAt(bytes, 1, true);
    EXPECT_EQ(Slots(1),
              (std::vector<std::tuple<int, double, double>>{{10, 1.0, 1.0}, {11, 2.0, 2.0}}));
}

TEST_F(PeriodReaderTest, QuarterHoursAndTheThresholdOfThePeriodReader) {
    const std::string bytes =
        ResultHeaderText("2026-03-04") + Block("00:14", {{"0000000000A1", "  10.0"}}) +
        Block("00:15", {{"0000000000A1", "-250.0"}}) +
        Block("00:20", {{"0000000000A1", "-300.0"}}) + Block("23:59", {{"1000000000A1", "  70.0"}});
    ReadAt(bytes, 2, false);
    // Weekday 2: slots 96..191; values above -300.0 are kept.
    EXPECT_EQ(Slots(0), (std::vector<std::tuple<int, double, double>>{
                            {96, 10.0, 10.0}, {97, -250.0, -250.0}, {191, 70.0, 70.0}}));
    EXPECT_EQ(Entry(0).ProbeType, kTypeHumidity);
    EXPECT_EQ(Entry(0).ProbeUnits, " %");
}

TEST_F(PeriodReaderTest, SlotEntriesStopAtTheLastOne) {
    std::string day = ResultHeaderText("2026-03-01");
    for (int q = 0; q < 96; ++q) {
        char time[6];
        std::snprintf(time, sizeof time, "%02d:%02d", q / 4, (q % 4) * 15);
        day += Block(time, {{"0000000000A1", "   1.0"}});
    }
    for (int position = 1; position <= 8; ++position) {
        ReadAt(day, position, false);
    }
    EXPECT_EQ(Entry(0).LastIndex, kMaxSlotEntries - 1);
    EXPECT_EQ(Entry(0).SlotNumber[kMaxSlotEntries - 1], 8 * 96 - 1);
    EXPECT_EQ(Entry(0).SlotNumber[kMaxSlotEntries - 2], kMaxSlotEntries - 2);
}

TEST_F(PeriodReaderTest, GetAllDataReadsTheListedFilesUntilAborted) {
    const std::string day =
        ResultHeaderText("2026-03-01") + Block("12:00", {{"0000000000A1", "   1.0"}});
    for (int i : {1, 5, 31}) {
        const std::filesystem::path path = temp / ("f" + std::to_string(i));
        testing::WriteBytes(path, day);
        data->PrintFile[static_cast<std::size_t>(i)] = path.string();
    }
    for (int i : {2, 3, 4}) {
        data->PrintFile[static_cast<std::size_t>(i)] = std::string(kNoPrintFile);
    }
    EXPECT_EQ(GetAllDataFromDisk(*data, true, 0, progress), 3);
    EXPECT_EQ(Slots(0), (std::vector<std::tuple<int, double, double>>{
                            {12, 1.0, 1.0}, {4 * 24 + 12, 1.0, 1.0}, {30 * 24 + 12, 1.0, 1.0}}));
    EXPECT_EQ(progress.monthly.front(), " Converting: " + (temp / "f1").string() + "|");

    ClearSensorStructure(*data);
    progress.checks = 0;
    progress.abortAfter = 3;
    EXPECT_EQ(GetAllDataFromDisk(*data, true, 0, progress), 0);
    EXPECT_EQ(Slots(0).size(), 1u);
}

// What the one pass keeps of a file must not depend on what its day keeps:
// a probe the day has no room for (a file of more than 100 probes) and a
// failed reading only the period keeps (between -300.0 and -200.0).
TEST_F(PeriodReaderTest, OnePassKeepsWhatTheDayLeavesOut) {
    std::string crowded = ResultHeaderText("2026-03-02") + BlockHeaderText("08:00", 100);
    for (int i = 0; i < 100; ++i) {
        crowded += ProbeLineText(fmt::format("0{:011X}", 0x100 + i), "   5.0", "P");
    }
    crowded += Block("09:00", {{"0000000000A1", "   7.0"}, {"000000000100", "   6.0"}});
    const std::vector<std::string> files{
        ResultHeaderText("2026-03-01") + Block("12:00", {{"0000000000A1", "   1.0"}}),
        crowded,
        ResultHeaderText("2026-03-03") +
            Block("10:00", {{"0000000000A1", "-250.0"}, {"1000000000B2", "-250.0"}}) +
            Block("10:30", {{"0000000000A1", "   3.0"}, {"1000000000B2", "  50.0"}}) +
            Block("11:00", {{"0000000000A1", "-300.0"}, {"1000000000B2", "-199.0"}}),
    };
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::filesystem::path path = temp / fmt::format("{}.qrd", i + 1);
        testing::WriteBytes(path, files[i]);
        data->PrintFile[i + 1] = path.string();
    }
    const auto entries = [](const PeriodData& period) {
        std::vector<std::tuple<std::string, std::string, int, double, double,
                               std::vector<std::tuple<int, double, double>>>>
            out;
        for (int e = 0; e <= period.MonthMaxIndex; ++e) {
            const MonthEntry& entry = period.MonthSensor[static_cast<std::size_t>(e)];
            std::vector<std::tuple<int, double, double>> slots;
            for (int k = 0; k <= entry.LastIndex; ++k) {
                const auto i = static_cast<std::size_t>(k);
                slots.emplace_back(entry.SlotNumber[i], entry.SlotMax[i], entry.SlotMin[i]);
            }
            out.emplace_back(std::string(KeyText(entry.ProbeKey)), entry.ProbeName.utf8,
                             entry.ProbeType, entry.MinValue, entry.MaxValue, slots);
        }
        return out;
    };
    auto lineByLine = std::make_unique<PeriodData>(*data);
    ASSERT_EQ(GetAllDataFromDisk(*lineByLine, true, 0, progress), 3);
    int days = 0;
    ASSERT_EQ(GetAllDataAndDaysFromDisk(*data, true, 0, progress,
                                        [&days](int, const HistoryData&) { ++days; }),
              3);
    EXPECT_EQ(days, 3);
    EXPECT_EQ(entries(*data), entries(*lineByLine));
    // The probe of the first file keeps its late value of the crowded one,
    // and the failed readings of the third file count for the period.
    EXPECT_EQ(Slots(0), (std::vector<std::tuple<int, double, double>>{
                            {12, 1.0, 1.0}, {24 + 9, 7.0, 7.0}, {48 + 10, 3.0, -250.0}}));
    EXPECT_EQ(data->MonthMaxIndex, 99);
}

// The hourly maximum and minimum per probe computed straight from the text.
std::map<std::tuple<std::string, int>, std::pair<double, double>> HourlyByHand(
    const std::vector<std::filesystem::path>& files) {
    std::map<std::tuple<std::string, int>, std::pair<double, double>> slots;
    for (std::size_t day = 0; day < files.size(); ++day) {
        std::istringstream in(testing::ReadBytes(files[day]));
        std::string line;
        int hour = 0;
        while (std::getline(in, line)) {
            if (line.size() == 12 && line[2] == ':') {
                hour = std::stoi(line.substr(0, 2));
            } else if (line.size() > 22 && line[12] == ' ' && line[0] != '=') {
                const double value = std::stod(line.substr(14, 6));
                if (value <= -300.0) {
                    continue;
                }
                const auto key =
                    std::make_tuple("0" + line.substr(1, 11), static_cast<int>(day) * 24 + hour);
                auto [it, fresh] = slots.try_emplace(key, value, value);
                it->second.first = std::max(it->second.first, value);
                it->second.second = std::min(it->second.second, value);
            }
        }
    }
    return slots;
}

TEST(PeriodRoundTrip, GeneratedMonthMatchesAComputationByHand) {
    testing::TempDir temp;
    const std::filesystem::path dataDir = temp / "QRVDATA";
    const Generation generation = GenerateResultFiles(dataDir, {2026, 2, 26, 4, 30, 7, 3});
    ASSERT_EQ(generation.filesWritten, 4) << generation.problem;

    auto data = std::make_unique<PeriodData>();
    RecordingReportProgress progress;
    ClearSensorStructure(*data);
    FindFilesOfThisMonth(*data, dataDir, 2026, 2, 0, progress);
    EXPECT_EQ(progress.melding.front(),
              std::make_pair(true, std::string("Locating QRV data files...")));
    EXPECT_EQ(progress.melding.back().first, false);
    for (int d = 29; d <= 31; ++d) {
        EXPECT_EQ(data->PrintFile[static_cast<std::size_t>(d)], kNoPrintFile);
    }
    ASSERT_EQ(GetAllDataFromDisk(*data, true, 0, progress), 3);
    ASSERT_EQ(data->MonthMaxIndex, 29);

    const auto expected = HourlyByHand(
        {dataDir / "2026-02-26.qrd", dataDir / "2026-02-27.qrd", dataDir / "2026-02-28.qrd"});
    std::size_t compared = 0;
    for (int e = 0; e <= data->MonthMaxIndex; ++e) {
        const MonthEntry& entry = data->MonthSensor[static_cast<std::size_t>(e)];
        for (int s = 0; s <= entry.LastIndex; ++s) {
            const auto i = static_cast<std::size_t>(s);
            const auto found = expected.find(
                {std::string(KeyText(entry.ProbeKey)), entry.SlotNumber[i] - 25 * 24});
            ASSERT_NE(found, expected.end());
            EXPECT_EQ(found->second.first, entry.SlotMax[i]);
            EXPECT_EQ(found->second.second, entry.SlotMin[i]);
            ++compared;
        }
    }
    EXPECT_EQ(compared, expected.size());
}

TEST(PeriodRoundTrip, GeneratorRefusesAStartThatIsNoDate) {
    testing::TempDir temp;
    const Generation leapless = GenerateResultFiles(temp / "QRVDATA", {2026, 2, 29, 2, 30, 7, 3});
    EXPECT_EQ(leapless.status, GenerationStatus::kBadOptions);
    EXPECT_EQ(leapless.problem, "2026-02-29 is not a date");
    EXPECT_EQ(GenerateResultFiles(temp / "QRVDATA", {2026, 13, 1, 2, 30, 7, 3}).status,
              GenerationStatus::kBadOptions);
    EXPECT_FALSE(std::filesystem::exists(temp / "QRVDATA" / "2026-13-01.qrd"));
}

TEST(PeriodRoundTrip, GeneratorStopsAtADayThatHasAFileAndCountsTheDaysBefore) {
    testing::TempDir temp;
    const std::filesystem::path dataDir = temp / "QRVDATA";
    ASSERT_TRUE(GenerateResultFiles(dataDir, {2026, 3, 3, 1, 2, 60, 9}).Written());
    const std::string kept = ReadFileBytes(ResultFilePath(dataDir, 2026, 3, 3)).bytes;
    const Generation stopped = GenerateResultFiles(dataDir, {2026, 3, 1, 4, 2, 60, 1});
    EXPECT_EQ(stopped.status, GenerationStatus::kFileExists);
    EXPECT_EQ(stopped.filesWritten, 2);
    EXPECT_NE(stopped.problem.find("2026-03-03.qrd exists already"), std::string::npos)
        << stopped.problem;
    EXPECT_EQ(ReadFileBytes(ResultFilePath(dataDir, 2026, 3, 3)).bytes, kept);
    EXPECT_FALSE(std::filesystem::exists(ResultFilePath(dataDir, 2026, 3, 4)));
}

TEST(PeriodFinders, WeekOneFindsItsDecemberDaysUnderThePreviousYear) {
    testing::TempDir temp;
    auto data = std::make_unique<PeriodData>();
    RecordingReportProgress progress;
    // Week 1 of 2026 runs from Monday 29 December 2025 to Sunday 4 January.
    for (const char* name : {"2025-12-29.qrd", "2026-01-04.qrd", "2026-01-05.qrd"}) {
        testing::WriteBytes(temp / name, "");
    }
    FindFilesOfThisWeek(*data, temp.path(), 2026, 1, 0, progress);
    EXPECT_EQ(data->PrintFile[1], (temp / "2025-12-29.qrd").string());
    EXPECT_EQ(data->PrintFile[7], (temp / "2026-01-04.qrd").string());
    for (int d = 2; d <= 6; ++d) {
        EXPECT_EQ(data->PrintFile[static_cast<std::size_t>(d)], kNoPrintFile);
    }
    // Week 53 of 2020 ends on Sunday 3 January 2021.
    testing::WriteBytes(temp / "2021-01-03.qrd", "");
    FindFilesOfThisWeek(*data, temp.path(), 2020, 53, 0, progress);
    EXPECT_EQ(data->PrintFile[7], (temp / "2021-01-03.qrd").string());

    FindFileOfThisDay(*data, temp.path(), 2026, 1, 5, 0, progress);
    EXPECT_EQ(data->PrintFile[5], (temp / "2026-01-05.qrd").string());
    EXPECT_EQ(data->PrintFile[4], kNoPrintFile);
}

TEST(PeriodFinders, LeavingThePanelStopsTheSearch) {
    testing::TempDir temp;
    for (const char* name : {"2026-05-01.qrd", "2026-05-02.qrd", "2026-05-03.qrd"}) {
        testing::WriteBytes(temp / name, "");
    }
    auto data = std::make_unique<PeriodData>();
    RecordingReportProgress progress;
    progress.abortAfter = 2;
    FindFilesOfThisMonth(*data, temp.path(), 2026, 5, 0, progress);
    EXPECT_EQ(data->PrintFile[2], (temp / "2026-05-02.qrd").string());
    EXPECT_EQ(data->PrintFile[3], kNoPrintFile);
    EXPECT_FALSE(progress.melding.back().first);
}

}  // namespace
}  // namespace qrv
