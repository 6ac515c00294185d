// The messages to the service manager, received on a datagram socket of the
// test's own given as NOTIFY_SOCKET.
#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <ctime>

#include "service/service_notifier.h"
#include "support/temp_dir.h"

namespace qrv {
namespace {

class Notifications : public ::testing::Test {
  protected:
    void SetUp() override {
        socket_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        ASSERT_GE(socket_, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string path = (dir_ / "notify").string();
        ASSERT_LT(path.size(), sizeof(address.sun_path));
        std::strcpy(address.sun_path, path.c_str());
        ASSERT_EQ(::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
        ::setenv("NOTIFY_SOCKET", path.c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("NOTIFY_SOCKET");
        ::close(socket_);
    }

    // The next message, or nothing when none comes within the deadline.
    std::optional<std::string> Receive(int deadlineMs = 2000) {
        pollfd ready{socket_, POLLIN, 0};
        if (::poll(&ready, 1, deadlineMs) != 1) {
            return std::nullopt;
        }
        char buffer[512];
        const ssize_t n = ::recv(socket_, buffer, sizeof(buffer), 0);
        return n < 0 ? std::nullopt
                     : std::optional(std::string(buffer, static_cast<std::size_t>(n)));
    }

    testing::TempDir dir_;
    int socket_ = -1;
    ServiceNotifier notifier;
};

TEST_F(Notifications, EachStateArrivesAsOneMessage) {
    EXPECT_TRUE(notifier.Ready());
    EXPECT_EQ(Receive(), "READY=1");
    EXPECT_TRUE(notifier.Status("15 probes, 0 alarms, last store 14:05"));
    EXPECT_EQ(Receive(), "STATUS=15 probes, 0 alarms, last store 14:05");
    EXPECT_TRUE(notifier.Watchdog());
    EXPECT_EQ(Receive(), "WATCHDOG=1");
    EXPECT_TRUE(notifier.Stopping());
    EXPECT_EQ(Receive(), "STOPPING=1");
}

TEST_F(Notifications, AReloadSaysWhenItBegan) {
    timespec before{};
    ::clock_gettime(CLOCK_MONOTONIC, &before);
    EXPECT_TRUE(notifier.Reloading());
    const std::optional<std::string> message = Receive();
    ASSERT_TRUE(message);
    const std::string prefix = "RELOADING=1\nMONOTONIC_USEC=";
    ASSERT_EQ(message->rfind(prefix, 0), 0U) << *message;
    const std::uint64_t sent = std::stoull(message->substr(prefix.size()));
    EXPECT_GE(sent, static_cast<std::uint64_t>(before.tv_sec) * 1000000U);
    EXPECT_LT(sent, static_cast<std::uint64_t>(before.tv_sec + 5) * 1000000U);
}

TEST_F(Notifications, AStatusTextCannotAddAnAssignment) {
    EXPECT_TRUE(notifier.Status("Freezer\nREADY=1\tend"));
    EXPECT_EQ(Receive(), "STATUS=Freezer READY=1 end");
}

TEST_F(Notifications, TheWatchdogIsFedOnlyWhileTheTimerThreadTicks) {
    TickWatch ticks(3.0);
    EXPECT_FALSE(notifier.WatchdogIfTicking(ticks, 100.0)) << "no tick yet";
    ticks.Tick(100.0);
    EXPECT_TRUE(notifier.WatchdogIfTicking(ticks, 102.5));
    EXPECT_EQ(Receive(), "WATCHDOG=1");
    // The ticks stop: the watchdog goes hungry and the manager restarts us.
    EXPECT_FALSE(notifier.WatchdogIfTicking(ticks, 103.5));
    EXPECT_EQ(Receive(200), std::nullopt);
    ticks.Tick(104.0);
    EXPECT_TRUE(notifier.WatchdogIfTicking(ticks, 104.0));
    EXPECT_EQ(Receive(), "WATCHDOG=1");
}

TEST(ServiceNotifier, OutsideAServiceNothingIsSentAndNoWatchdogIsExpected) {
    ::unsetenv("NOTIFY_SOCKET");
    ServiceNotifier notifier;
    EXPECT_FALSE(notifier.Ready());
    EXPECT_FALSE(notifier.Stopping());
    ::unsetenv("WATCHDOG_USEC");
    EXPECT_EQ(ServiceNotifier::WatchdogSeconds(), std::nullopt);

    ::setenv("WATCHDOG_USEC", "20000000", 1);
    ::setenv("WATCHDOG_PID", std::to_string(::getpid()).c_str(), 1);
    EXPECT_EQ(ServiceNotifier::WatchdogSeconds(), 20.0);
    ::setenv("WATCHDOG_PID", std::to_string(::getpid() + 1).c_str(), 1);
    EXPECT_EQ(ServiceNotifier::WatchdogSeconds(), std::nullopt) << "meant for another process";
    ::unsetenv("WATCHDOG_USEC");
    ::unsetenv("WATCHDOG_PID");
}

}  // namespace
}  // namespace qrv
