// A crash can cut a store short at any byte. Whatever the cut, the next store
// and every reader must lose at most the block that was cut: every earlier
// block and the next one are read whole, at their own minutes, with their own
// values and names.
#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <memory>
#include <optional>
#include <vector>

#include "runtime/encoding.h"
#include "storage/history_sensor.h"
#include "storage/month_sensor.h"
#include "storage/store_rig.h"
#include "storage/today_reader.h"
#include "support/temp_dir.h"

namespace qrv {
namespace {

constexpr int kProbeCount = 5;
constexpr int kOffProbe = 4;
// Blocks 1..3 are written and cut; block 4 is the next store. Each lies in a
// quarter hour of its own, so the period reader gives every block its slot.
constexpr std::array<int, 5> kBlockMinutes{0, 600, 615, 630, 660};

double ValueOf(int block, int probe) {
    return 10.0 * block + probe + 0.5;
}

// What a reader saw of one probe: (minute, value) pairs and the last name.
struct Seen {
    std::vector<std::pair<int, double>> values;
    std::string name;
};

class TornBlockTest : public ::testing::Test, protected testing::StoreRig {
  protected:
    TornBlockTest() : StoreRig({2026, 3, 14, 10, 0, 0, 0}) {
        AddProbe(0x28, 0x2C,
                 "Koelcel \u00B0"
                 "1",
                 0.0);
        AddProbe(0x26, 0x2D, "Kas met spaties", 0.0);
        AddProbe(0x12, 0x2E, "Deur", 0.0);
        AddProbe(0x28, 0x2F, "", 0.0);
        AddProbe(0x28, 0x30, "Uit", 0.0);
        table.Lock()->SensorArray[kOffProbe].Status = kStatusOff;
        for (int p = 0; p < kProbeCount; ++p) {
            const SensorRecord record = table.Copy().SensorArray[p];
            KeyChars key = MakeProbeKey(record.Rom, record.SensorType);
            key[0] = '0';
            normalisedKeys_[p] = key;
        }
    }

    void SetBlock(int block) {
        const int minutes = kBlockMinutes[static_cast<std::size_t>(block)];
        clock.SetNow({2026, 3, 14, minutes / 60, minutes % 60, 0, 0});
        for (int p = 0; p < kProbeCount; ++p) {
            table.Lock()->SensorArray[p].Value = ValueOf(block, p);
        }
    }

    // The block as an older station appended it: no line end before it.
    std::string OlderStationBlock(int block) {
        SetBlock(block);
        std::vector<ProbeLineData> lines;
        for (int p = 0; p < kProbeCount; ++p) {
            const SensorRecord& r = table.Lock()->SensorArray[p];
            lines.push_back({MakeProbeKey(r.Rom, r.SensorType),
                             r.Status == kStatusOff ? kNoReadingMarker : r.Value,
                             Utf8ToCp1252(r.Name)});
        }
        std::string bytes;
        const int minutes = kBlockMinutes[static_cast<std::size_t>(block)];
        AppendSampleBlock(bytes, minutes / 60, minutes % 60, lines);
        return bytes;
    }

    int ProbeOfKey(const KeyChars& key) const {
        const auto* found = std::find(normalisedKeys_.begin(), normalisedKeys_.end(), key);
        return found == normalisedKeys_.end() ? -1
                                              : static_cast<int>(found - normalisedKeys_.begin());
    }

    // What a reader's table holds of every probe; value(entry, i, seen) adds
    // the i-th value of an entry. A key that is none of the probes' stays
    // in unknownKeys.
    template <typename Entry, std::size_t N, typename Value>
    std::array<Seen, kProbeCount> SeenIn(const std::array<Entry, N>& entries, int maxIndex,
                                         Value value) {
        std::array<Seen, kProbeCount> seen{};
        for (int e = 0; e <= maxIndex; ++e) {
            const Entry& entry = entries[static_cast<std::size_t>(e)];
            const int p = ProbeOfKey(entry.ProbeKey);
            if (p < 0) {
                ++unknownKeys_;
                continue;
            }
            seen[p].name = entry.ProbeName.utf8;
            for (int i = 0; i <= entry.LastIndex; ++i) {
                value(entry, i, seen[p]);
            }
        }
        return seen;
    }

    // What each of the three readers saw of every probe, by reader name.
    std::vector<std::pair<std::string, std::array<Seen, kProbeCount>>> ReadBack(
        std::vector<std::string>& problems) {
        std::vector<std::pair<std::string, std::array<Seen, kProbeCount>>> seen;

        ClearHistoSensorStructure(*history_);
        history_->HistoryFileName = dayFile_;
        ReadHistoryFromDisk(*history_, status, silent_);
        seen.emplace_back("history", SeenIn(history_->HistoSensor, history_->HistoryMaxIndex,
                                            [](const HistoEntry& entry, int i, Seen& probe) {
                                                probe.values.emplace_back(entry.SampleTime[i],
                                                                          entry.SampleValue[i]);
                                            }));

        ClearSensorStructure(*period_);
        period_->WantedMonthFile = dayFile_;
        ReadDayOfMonthFromDisk(*period_, 1, false, silent_);
        seen.emplace_back(
            "period",
            SeenIn(period_->MonthSensor, period_->MonthMaxIndex,
                   [&](const MonthEntry& entry, int i, Seen& probe) {
                       if (entry.SlotMax[i] != entry.SlotMin[i]) {
                           problems.emplace_back("period: two values in one quarter hour");
                       }
                       probe.values.emplace_back(entry.SlotNumber[i] * 15, entry.SlotMax[i]);
                   }));

        auto& today = seen.emplace_back("today", std::array<Seen, kProbeCount>{}).second;
        for (int p = 0; p < kProbeCount; ++p) {
            if (ReadViewResultsFromDisk(table.Lock()->SensorArray[p], dataDir_, clock, status,
                                        *view_) != 0) {
                continue;
            }
            today[p].name = view_->ViewProbeName;
            for (int i = 0; i <= view_->ViewArrayMaxIndex; ++i) {
                today[p].values.emplace_back(view_->ViewTime[static_cast<std::size_t>(i)],
                                             view_->ViewTemp[static_cast<std::size_t>(i)]);
            }
        }
        return seen;
    }

    // Empty when every whole block was read as written and the torn block
    // left nothing but its own values at its own minute.
    std::vector<std::string> Judge(const std::vector<int>& wholeBlocks, int tornBlock) {
        std::vector<std::string> problems;
        unknownKeys_ = 0;
        for (const auto& [reader, probes] : ReadBack(problems)) {
            for (int p = 0; p < kProbeCount; ++p) {
                std::vector<std::pair<int, double>> expected;
                if (p != kOffProbe) {
                    for (int b : wholeBlocks) {
                        expected.emplace_back(kBlockMinutes[static_cast<std::size_t>(b)],
                                              ValueOf(b, p));
                    }
                }
                std::vector<std::pair<int, double>> withTorn = expected;
                if (p != kOffProbe) {
                    withTorn.emplace_back(kBlockMinutes[static_cast<std::size_t>(tornBlock)],
                                          ValueOf(tornBlock, p));
                }
                std::vector<std::pair<int, double>> got = probes[p].values;
                std::sort(got.begin(), got.end());
                std::sort(expected.begin(), expected.end());
                std::sort(withTorn.begin(), withTorn.end());
                if (got != expected && got != withTorn) {
                    problems.push_back(reader + ": probe " + std::to_string(p) +
                                       " lost or misfiled values");
                }
                if (p != kOffProbe && probes[p].name != table.Lock()->SensorArray[p].Name) {
                    problems.push_back(reader + ": probe " + std::to_string(p) + " named '" +
                                       probes[p].name + "'");
                }
            }
        }
        if (unknownKeys_ > 0) {
            problems.emplace_back("a key that is none of the probes'");
        }
        return problems;
    }

    int unknownKeys_ = 0;
    testing::TempDir temp_;
    std::filesystem::path dataDir_ = temp_.path() / "QRVDATA";
    std::filesystem::path dayFile_ = dataDir_ / "2026-03-14.qrd";
    std::array<KeyChars, kProbeCount> normalisedKeys_{};
    SilentProgress silent_;
    std::unique_ptr<HistoryData> history_ = std::make_unique<HistoryData>();
    std::unique_ptr<PeriodData> period_ = std::make_unique<PeriodData>();
    std::unique_ptr<TodayView> view_ = std::make_unique<TodayView>();
};

TEST_F(TornBlockTest, ACutAtAnyByteCostsAtMostTheBlockThatWasCut) {
    // The file as three stores write it, and where each write ended.
    std::vector<std::size_t> ends{0};
    for (int block = 1; block <= 3; ++block) {
        SetBlock(block);
        ASSERT_EQ(store.StoreResultsToDisk(dataDir_), StoreResult::kStored);
        ends.push_back(std::filesystem::file_size(dayFile_));
    }
    const std::string written = testing::ReadBytes(dayFile_);

    struct Cut {
        std::size_t from, to;
        std::vector<int> earlierBlocks;
        int tornBlock;
    };
    const std::array<Cut, 2> cuts{{{ends[0], ends[1], {}, 1}, {ends[2], ends[3], {1, 2}, 3}}};
    int cutPoints = 0;
    std::array<int, 2> failedCutPoints{};  // by the current store, after an older station
    std::vector<std::string> failures;
    for (const Cut& cut : cuts) {
        for (std::size_t at = cut.from; at < cut.to; ++at) {
            ++cutPoints;
            for (const bool olderStation : {false, true}) {
                testing::WriteBytes(dayFile_, written.substr(0, at));
                if (olderStation) {
                    ASSERT_EQ(AppendToFile(dayFile_, OlderStationBlock(4)), kFileOk);
                } else {
                    SetBlock(4);
                    testing::StoreRig restarted({2026, 3, 14, 11, 0, 0, 0});
                    restarted.table.Replace(table.Copy());
                    ASSERT_EQ(restarted.store.StoreResultsToDisk(dataDir_), StoreResult::kStored);
                }
                std::vector<int> whole = cut.earlierBlocks;
                whole.push_back(4);
                const std::vector<std::string> problems = Judge(whole, cut.tornBlock);
                if (!problems.empty()) {
                    ++failedCutPoints[olderStation ? 1 : 0];
                    failures.push_back("cut at byte " + std::to_string(at) +
                                       (olderStation ? " (older station)" : "") + ": " +
                                       problems.front());
                }
            }
        }
    }
    std::cout << "cut points that lose or misfile a block: " << failedCutPoints[0] << " of "
              << cutPoints << " with the current store, " << failedCutPoints[1] << " of "
              << cutPoints << " after an older station's append\n";
    EXPECT_GT(cutPoints, 500);
    ASSERT_TRUE(failures.empty()) << failures.size() << " failures, the first: " << failures[0];
}

}  // namespace
}  // namespace qrv
