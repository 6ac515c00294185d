// The store loop of a real station process, killed with SIGKILL at random
// moments and started again at a later minute: every block whose store had
// returned must read back whole, and no value may turn up at a minute that is
// not its own.
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

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
#include "support/temp_dir.h"

namespace qrv {
namespace {

using Clock = std::chrono::steady_clock;

// One run of the store loop with a pipe each way.
class StoreLoopProcess {
  public:
    StoreLoopProcess(const std::filesystem::path& dataDir, int firstMinute) {
        int in[2];
        int out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        std::string program = QRV_RESULT_STORE_LOOP;
        std::string dir = dataDir.string();
        std::string first = std::to_string(firstMinute);
        std::array<char*, 4> argv{program.data(), dir.data(), first.data(), nullptr};
        if (::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(in[0]);
        ::close(out[1]);
        toChild_ = in[1];
        fromChild_ = out[0];
    }
    ~StoreLoopProcess() {
        Kill();
        ::close(toChild_);
        ::close(fromChild_);
    }
    StoreLoopProcess(const StoreLoopProcess&) = delete;
    StoreLoopProcess& operator=(const StoreLoopProcess&) = delete;

    bool Started() const { return pid_ > 0; }
    bool AskForStores(int count) {
        const std::string go(static_cast<std::size_t>(count), 'g');
        return ::write(toChild_, go.data(), go.size()) == static_cast<ssize_t>(go.size());
    }
    // Waits until at least count acknowledgements have come, or the deadline.
    void WaitForAcks(std::size_t count, Clock::time_point deadline) {
        while (acked_.size() < count && Clock::now() < deadline) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            pollfd fd{fromChild_, POLLIN, 0};
            if (::poll(&fd, 1, static_cast<int>(left.count()) + 1) <= 0 || !ReadSome()) {
                return;
            }
        }
    }
    // Kills the process and collects what it acknowledged before it died.
    void Kill() {
        if (pid_ <= 0) {
            return;
        }
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
        while (ReadSome()) {
        }
    }
    const std::vector<int>& Acked() const { return acked_; }

  private:
    bool ReadSome() {
        char buffer[256];
        const ssize_t n = ::read(fromChild_, buffer, sizeof buffer);
        if (n <= 0) {
            return false;
        }
        for (ssize_t i = 0; i < n; ++i) {
            if (buffer[i] == '\n') {
                acked_.push_back(std::stoi(partial_));
                partial_.clear();
            } else {
                partial_.push_back(buffer[i]);
            }
        }
        return true;
    }

    pid_t pid_ = -1;
    int toChild_ = -1;
    int fromChild_ = -1;
    std::string partial_;
    std::vector<int> acked_;
};

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
        StoreLoopProcess loop(dataDir, nextMinute);
        ASSERT_TRUE(loop.Started());
        const int stores = 1 + static_cast<int>(random() % 8);
        ASSERT_TRUE(loop.AskForStores(stores));
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
