// The main of every test program: GoogleTest's own, plus a watchdog. A test
// that hangs (a deadlock between threads, an event loop that never ends) is
// stopped when it passes its time limit, and the output names it, instead of
// the whole program running into CTest's timeout without saying where.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

namespace {

class TestWatchdog final : public ::testing::EmptyTestEventListener {
  public:
    explicit TestWatchdog(std::chrono::seconds limit)
        : limit_(limit), thread_([this] { Watch(); }) {}

    ~TestWatchdog() override {
        {
            std::lock_guard lock(mutex_);
            finished_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }

    TestWatchdog(const TestWatchdog&) = delete;
    TestWatchdog& operator=(const TestWatchdog&) = delete;

    void OnTestStart(const ::testing::TestInfo& test) override {
        {
            std::lock_guard lock(mutex_);
            running_ = std::string(test.test_suite_name()) + "." + test.name();
            ++started_;
            deadline_ = std::chrono::steady_clock::now() + limit_;
        }
        changed_.notify_all();
    }

    void OnTestEnd(const ::testing::TestInfo& /*test*/) override {
        {
            std::lock_guard lock(mutex_);
            running_.clear();
        }
        changed_.notify_all();
    }

  private:
    void Watch() {
        std::unique_lock lock(mutex_);
        while (!finished_) {
            if (running_.empty()) {
                changed_.wait(lock);
                continue;
            }
            const std::uint64_t test = started_;
            const bool ended = changed_.wait_until(
                lock, deadline_, [&] { return finished_ || running_.empty() || started_ != test; });
            if (ended) {
                continue;
            }
            std::fprintf(stderr, "\n[ WATCHDOG ] %s did not finish within %lld s: stopped\n",
                         running_.c_str(), static_cast<long long>(limit_.count()));
            std::fflush(stdout);
            std::fflush(stderr);
            std::abort();
        }
    }

    const std::chrono::seconds limit_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::string running_;
    std::uint64_t started_ = 0;
    std::chrono::steady_clock::time_point deadline_;
    bool finished_ = false;
    std::thread thread_;
};

// A test program whose single test runs long by design (a simulated week) sets
// its own limit through the environment of its CTest entry.
std::chrono::seconds TimeLimit() {
    const char* text = std::getenv("QRV_TEST_TIME_LIMIT_SECONDS");
    if (text != nullptr) {
        char* end = nullptr;
        const long seconds = std::strtol(text, &end, 10);
        if (end != text && *end == '\0' && seconds > 0) {
            return std::chrono::seconds(seconds);
        }
    }
    return std::chrono::seconds(QRV_TEST_TIME_LIMIT_SECONDS);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::TestEventListeners& listeners = ::testing::UnitTest::GetInstance()->listeners();
    auto* watchdog = new TestWatchdog(TimeLimit());
    listeners.Append(watchdog);
    const int result = RUN_ALL_TESTS();
    delete listeners.Release(watchdog);
    return result;
}
