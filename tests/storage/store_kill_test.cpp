// The store loop of a real station process, killed with SIGKILL at random
// moments and started again at a later minute: every block whose store had
// returned must read back whole, and no value may turn up at a minute that is
// not its own.
#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <thread>

#include "storage/file_access.h"
#include "storage/history_sensor.h"
#include "storage/store_loop_probes.h"
#include "support/acking_process.h"
#include "support/temp_dir.h"

namespace qrv {
namespace {

using Clock = std::chrono::steady_clock;

TEST(StoreKilledAtRandom, EveryAcknowledgedBlockReadsBack) {
    constexpr int kKills = 147;
    testing::TempDir temp;
    const std::filesystem::path dataDir = temp / "QRVDATA";
    std::mt19937 random(147);
    std::set<int> acked;
    int requested = 0;
    // From 22:00 on, so the runs cross midnight into a second day's file.
    int nextMinute = 22 * 60;
    for (int kill = 0; kill < kKills; ++kill) {
        testing::AckingProcess loop(
            {QRV_RESULT_STORE_LOOP, dataDir.string(), std::to_string(nextMinute)});
        ASSERT_TRUE(loop.Started());
        const int stores = 1 + static_cast<int>(random() % 8);
        ASSERT_TRUE(loop.Ask(stores));
        loop.WaitForAcks(random() % static_cast<unsigned>(stores),
                         Clock::now() + std::chrono::seconds(10));
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 1000));
        loop.Kill();
        acked.insert(loop.Acked().begin(), loop.Acked().end());
        requested += stores;
        // A store that was under way when the kill came may have written its
        // block without acknowledging it: the next run starts after it.
        nextMinute += stores;
    }

    // Every value in the files must be the one of its own minute, and every
    // acknowledged block must be there with all its probes.
    testing::StoreRig network(testing::LoopTime(0));
    testing::AddLoopProbes(network);
    std::map<std::string, int, std::less<>> probeOfKey;
    for (int p = 0; p < testing::kLoopProbes; ++p) {
        const SensorRecord& record = network.table.Lock()->SensorArray[static_cast<std::size_t>(p)];
        KeyChars key = MakeProbeKey(record.Rom, record.SensorType);
        key[0] = '0';
        probeOfKey.emplace(KeyText(key), p);
    }
    SilentProgress silent;
    auto history = std::make_unique<HistoryData>();
    std::map<int, int> probesSeen;  // minute number -> probes read at it
    int misfiled = 0;
    int damagedLines = 0;
    std::string bytes;
    for (int day = 1; day <= 2; ++day) {
        ClearHistoSensorStructure(*history);
        history->HistoryFileName = dataDir / ("2026-03-0" + std::to_string(day) + ".qrd");
        if (ReadWholeFile(history->HistoryFileName, bytes) != kFileOk) {
            continue;
        }
        ReadHistoryFromBytes(bytes, *history, 0, silent);
        for (int e = 0; e <= history->HistoryMaxIndex; ++e) {
            const HistoEntry& entry = history->HistoSensor[static_cast<std::size_t>(e)];
            const auto probe = probeOfKey.find(KeyText(entry.ProbeKey));
            ASSERT_NE(probe, probeOfKey.end());
            for (int i = 0; i <= entry.LastIndex; ++i) {
                const int minute = (day - 1) * 1440 + entry.SampleTime[static_cast<std::size_t>(i)];
                if (entry.SampleValue[static_cast<std::size_t>(i)] ==
                    testing::LoopValue(probe->second, minute)) {
                    ++probesSeen[minute];
                } else {
                    ++misfiled;
                }
            }
        }
        // Lines a kill cut short: neither a block header nor a whole probe line.
        LineReader lines(bytes);
        for (int n = 1; const auto line = lines.ReadLine(kResultLineLimit); ++n) {
            const auto probeLine = ParseProbeLine(*line);
            const bool whole =
                ParseSampleHeader(*line) || (probeLine && probeLine->name.ends_with("k\xFChl"));
            damagedLines += n > 5 && !whole ? 1 : 0;
        }
    }
    int lost = 0;
    for (const int minute : acked) {
        lost += probesSeen[minute] == testing::kLoopProbes ? 0 : 1;
    }
    std::cout << kKills << " kills, " << requested << " stores asked, " << acked.size()
              << " acknowledged, " << probesSeen.size() << " blocks read back, " << damagedLines
              << " lines cut short by a kill\n";
    EXPECT_GT(acked.size(), 20u) << "enough stores returned to mean something";
    EXPECT_EQ(lost, 0) << "acknowledged blocks lost";
    EXPECT_EQ(misfiled, 0) << "values read at a minute not their own";
}

}  // namespace
}  // namespace qrv
