// The audit trail's writer killed with SIGKILL at random moments and started
// again: every line whose write had returned must be there, sealed and
// chained to the line before it; at most the line in flight may be missing.
#include <gtest/gtest.h>

#include <iostream>
#include <random>
#include <set>
#include <thread>

#include "records/audit_trail.h"
#include "records/sha256.h"
#include "runtime/text_file.h"
#include "support/acking_process.h"
#include "support/temp_dir.h"

namespace qrv::records {
namespace {

using Clock = std::chrono::steady_clock;

TEST(AuditKilledAtRandom, EveryAcknowledgedLineIsThereAndChained) {
    constexpr int kKills = 60;
    testing::TempDir temp;
    const std::filesystem::path path = temp / "QRVAudit.txt";
    std::mt19937 random(25);
    std::set<int> acked;
    int next = 1;
    for (int kill = 0; kill < kKills; ++kill) {
        testing::AckingProcess loop({QRV_AUDIT_APPEND_LOOP, path.string(), std::to_string(next)});
        ASSERT_TRUE(loop.Started());
        const int lines = 1 + static_cast<int>(random() % 6);
        ASSERT_TRUE(loop.Ask(lines));
        loop.WaitForAcks(random() % static_cast<unsigned>(lines),
                         Clock::now() + std::chrono::seconds(10));
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 2000));
        loop.Kill();
        acked.insert(loop.Acked().begin(), loop.Acked().end());
        next += lines;
    }

    const std::string bytes = testing::ReadBytes(path);
    const TrailKeyFile key = ReadTrailKey(TrailKeyPath(path));
    ASSERT_TRUE(key.key) << "the first writer made the station key: " << key.problem;
    std::multiset<int> found;
    std::string previous;
    int fragments = 0;
    int unchained = 0;
    LineReader reader(bytes);
    while (const auto line = reader.ReadLine(kNoSizeLimit)) {
        const auto parsed = ParseAuditLine(*line, &*key.key);
        if (!parsed || !parsed->sealed) {
            ++fragments;
        } else {
            found.insert(std::stoi(parsed->entry.newValue));
            const std::string expected =
                previous.empty() ? std::string(kTrailStart) : Sha256Hex(previous);
            unchained += parsed->previousHash == expected ? 0 : 1;
        }
        previous = std::string(*line);
    }
    int lost = 0;
    for (const int number : acked) {
        lost += found.count(number) == 1 ? 0 : 1;
    }
    std::cout << kKills << " kills, " << acked.size() << " lines acknowledged, " << found.size()
              << " whole lines, " << fragments << " cut short\n";
    EXPECT_GT(acked.size(), 30u) << "enough writes returned to mean something";
    EXPECT_EQ(lost, 0) << "acknowledged lines lost or doubled";
    EXPECT_EQ(unchained, 0) << "whole lines not chained to the line before them";
    EXPECT_LE(fragments, 1) << "more than the line in flight of a rare torn write";
    if (fragments == 0) {
        EXPECT_TRUE(VerifyAuditTrail(bytes, key).Whole());
    }
}

}  // namespace
}  // namespace qrv::records
