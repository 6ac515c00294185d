#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <future>
#include <thread>
#include <utility>
#include <vector>

#include "runtime/clock.h"
#include "runtime/instance_lock.h"
#include "runtime/program_launcher.h"
#include "runtime/program_log_file.h"
#include "runtime/text_file.h"
#include "support/scripted_dialogs.h"
#include "support/temp_dir.h"

namespace qrv {
namespace {

using testing::ReadBytes;
using testing::TempDir;

// Polls until the program has ended, by a deadline: a loaded machine may
// take a while to start a shell.
int WaitForEnd(ProgramLauncher& launcher, pid_t handle, ProgramEnd& end) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    int terminated = 0;
    while ((terminated = launcher.HasTerminated(handle, end)) == 0 &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return terminated;
}

// Gone, or a zombie nobody reaps (a container's first process may not).
bool ProcessGone(pid_t pid) {
    if (::kill(pid, 0) != 0) {
        return true;
    }
    const std::string stat = ReadBytes("/proc/" + std::to_string(pid) + "/stat");
    const auto state = stat.rfind(')');
    return state != std::string::npos && stat.size() > state + 2 && stat[state + 2] == 'Z';
}

pid_t PidFromFile(const std::filesystem::path& file) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    std::string text;
    while ((text = ReadBytes(file)).find('\n') == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return static_cast<pid_t>(std::atoi(text.c_str()));
}

TEST(ProgramLauncher, PassesArgumentsWithoutAShell) {
    TempDir dir;
    const auto out = dir / "args.txt";
    PosixProgramLauncher launcher;
    pid_t handle = 0;
    // A text with shell syntax must arrive as plain words.
    ASSERT_EQ(launcher.Launch({"/bin/sh", "-c", "printf '%s|' \"$@\" > \"$0\"", out.string(),
                               "0612345678", "Alarm;", "$(rm", "-rf)"},
                              handle),
              0);
    ProgramEnd end{true, -1, {}};
    EXPECT_EQ(WaitForEnd(launcher, handle, end), 1);
    EXPECT_FALSE(end.signalled);
    EXPECT_EQ(end.code, 0);
    EXPECT_EQ(ReadBytes(out), "0612345678|Alarm;|$(rm|-rf)|");
}

TEST(ProgramLauncher, TellsExitStatusAndSignalAndKeepsTheStartOfTheOutput) {
    PosixProgramLauncher launcher;
    pid_t handle = 0;
    ProgramEnd end;
    ASSERT_EQ(
        launcher.Launch({"/bin/sh", "-c", "echo modem not found; echo detail >&2; exit 3"}, handle),
        0);
    ASSERT_EQ(WaitForEnd(launcher, handle, end), 1);
    EXPECT_FALSE(end.signalled);
    EXPECT_EQ(end.code, 3);
    EXPECT_EQ(launcher.TakeOutput(handle), "modem not found\ndetail\n");
    EXPECT_EQ(launcher.TakeOutput(handle), "");  // forgotten

    ASSERT_EQ(launcher.Launch({"/bin/sh", "-c", "kill -SEGV $$"}, handle), 0);
    ASSERT_EQ(WaitForEnd(launcher, handle, end), 1);
    EXPECT_TRUE(end.signalled);
    EXPECT_EQ(end.code, SIGSEGV);

    // A chatty program never stalls on its output, and only the start is kept;
    // it reads no terminal input.
    ASSERT_EQ(
        launcher.Launch({"/bin/sh", "-c", "cat; head -c 1000000 /dev/zero | tr '\\0' x"}, handle),
        0);
    ASSERT_EQ(WaitForEnd(launcher, handle, end), 1);
    EXPECT_EQ(end.code, 0);
    EXPECT_EQ(launcher.TakeOutput(handle), std::string(kProgramOutputLimit, 'x'));
}

TEST(ProgramLauncher, MissingProgramAndTermination) {
    PosixProgramLauncher launcher;
    pid_t handle = 0;
    EXPECT_LT(launcher.Launch({"/nonexistent/SMS Centre"}, handle), 0);
    EXPECT_LT(launcher.Launch({}, handle), 0);

    ASSERT_EQ(launcher.Launch({"/bin/sleep", "30"}, handle), 0);
    ProgramEnd end;
    EXPECT_EQ(launcher.HasTerminated(handle, end), 0);
    EXPECT_EQ(launcher.Terminate(handle), 0);
    EXPECT_TRUE(ProcessGone(handle));
}

// A program that ignores SIGTERM, and one whose child does, are killed with
// their whole process group once the grace time is over: the hand-off never
// hangs on them.
TEST(ProgramLauncher, TerminationEndsProgramsThatIgnoreSigtermAndTheirChildren) {
    TempDir dir;
    PosixProgramLauncher launcher(std::chrono::milliseconds(200));
    for (const std::string script :
         {"trap '' TERM; echo $$ > \"$0\"; while :; do sleep 1; done",
          "sh -c 'trap \"\" TERM; echo $$ > \"$0\"; exec sleep 60' \"$0\" & wait"}) {
        const auto pidFile = dir / "pid";
        std::filesystem::remove(pidFile);
        pid_t handle = 0;
        ASSERT_EQ(launcher.Launch({"/bin/sh", "-c", script, pidFile.string()}, handle), 0);
        const pid_t stubborn = PidFromFile(pidFile);
        ASSERT_GT(stubborn, 0) << script;
        auto terminated =
            std::async(std::launch::async, [&] { return launcher.Terminate(handle); });
        ASSERT_EQ(terminated.wait_for(std::chrono::seconds(10)), std::future_status::ready)
            << script;
        EXPECT_EQ(terminated.get(), 0);
        EXPECT_TRUE(ProcessGone(handle)) << script;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!ProcessGone(stubborn) && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        EXPECT_TRUE(ProcessGone(stubborn)) << script;
    }
}

// A program that ends at once and leaves a child, one that heeds SIGTERM and
// one that does not: neither outlives the program's end.
TEST(ProgramLauncher, WhatAProgramLeavesRunningEndsWithIt) {
    TempDir dir;
    PosixProgramLauncher launcher(std::chrono::milliseconds(200));
    for (const bool stubborn : {false, true}) {
        const auto pidFile = dir / "pid";
        std::filesystem::remove(pidFile);
        const std::string child =
            stubborn ? "sh -c 'trap \"\" TERM; exec sleep 60' &" : "sleep 60 &";
        pid_t handle = 0;
        ASSERT_EQ(
            launcher.Launch(
                {"/bin/sh", "-c", child + " echo $! > \"$0\"; exit 0", pidFile.string()}, handle),
            0);
        const pid_t left = PidFromFile(pidFile);
        ASSERT_GT(left, 0);
        ProgramEnd end;
        ASSERT_EQ(WaitForEnd(launcher, handle, end), 1);
        EXPECT_FALSE(end.signalled);
        EXPECT_EQ(end.code, 0);
        EXPECT_EQ(end.leftovers.found, 1) << "stubborn " << stubborn;
        EXPECT_EQ(end.leftovers.killed, stubborn);
        EXPECT_EQ(end.leftovers.remaining, 0);
        EXPECT_TRUE(ProcessGone(left)) << "gone when the end is reported, stubborn " << stubborn;
        EXPECT_TRUE(ProcessGone(handle));
    }

    // A program that starts nothing leaves nothing to report.
    pid_t handle = 0;
    ASSERT_EQ(launcher.Launch({"/bin/true"}, handle), 0);
    ProgramEnd end;
    ASSERT_EQ(WaitForEnd(launcher, handle, end), 1);
    EXPECT_EQ(end.leftovers.found, 0);
}

TEST(InstanceLock, OnePerStationDirectory) {
    TempDir dir;
    TempDir other;
    {
        InstanceLock first(dir.path());
        EXPECT_EQ(first.state(), InstanceLock::State::Acquired);
        InstanceLock second(dir.path());
        EXPECT_EQ(second.state(), InstanceLock::State::HeldByOther);
        InstanceLock elsewhere(other.path());
        EXPECT_EQ(elsewhere.state(), InstanceLock::State::Acquired);
    }
    InstanceLock again(dir.path());
    EXPECT_EQ(again.state(), InstanceLock::State::Acquired);
    EXPECT_EQ(InstanceLock(dir.path()).HeldBy(), InstanceLock::Holder::kWindow);
    EXPECT_EQ(InstanceLock(dir / "missing").state(), InstanceLock::State::Failed);
}

TEST(InstanceLock, TellsAWindowThatTheServiceHoldsTheStation) {
    TempDir dir;
    {
        InstanceLock service(dir.path(), InstanceLock::Holder::kService);
        ASSERT_EQ(service.state(), InstanceLock::State::Acquired);
        const InstanceLock window(dir.path());
        EXPECT_EQ(window.state(), InstanceLock::State::HeldByOther);
        EXPECT_EQ(window.HeldBy(), InstanceLock::Holder::kService);
    }
    // A lock file left by an older station (empty) names no holder.
    testing::WriteBytes(dir / "quorvanel.lock", "");
    const std::filesystem::path lockFile = dir / "quorvanel.lock";
    const int fd = ::open(lockFile.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    EXPECT_EQ(InstanceLock(dir.path()).HeldBy(), std::nullopt);
    ::close(fd);
    // A member of the service's group may only read its lock file, and still
    // learns who holds it.
    {
        InstanceLock service(dir.path(), InstanceLock::Holder::kService);
        std::filesystem::permissions(lockFile, std::filesystem::perms::owner_read);
        if (::access(lockFile.c_str(), W_OK) != 0) {  // not when the test runs as root
            const InstanceLock window(dir.path());
            EXPECT_EQ(window.state(), InstanceLock::State::HeldByOther);
            EXPECT_EQ(window.HeldBy(), InstanceLock::Holder::kService);
        }
    }
}

TEST(ProgramLog, FirstEntryCreatesTheHeaderAndStaysReadOnly) {
    TempDir dir;
    VirtualClock clock({2026, 12, 6, 7, 5, 59, 0});
    ProgramLogFile log(dir / "QRVLog.txt", clock);
    log.LogMessageToDisk("QRV program started");
    clock.Delay(120);
    SetReadOnly(log.Path(), false);  // a user made it writable
    log.LogMessageToDisk("Fühler\r\nweg");
    EXPECT_EQ(ReadBytes(log.Path()),
              "=========================================================\r\n"
              "===============  Quorvanel LOG file:  ===================\r\n"
              "=========================================================\r\n"
              "2026-12-06 07:05: QRVLog.txt created\r\n"
              "2026-12-06 07:05: QRV program started\r\n"
              "2026-12-06 07:07: F\xFChler  weg\r\n");
    EXPECT_TRUE(IsReadOnly(log.Path()));
}

// A log that cannot be written cannot say so itself: whoever listens is
// told once when entries are lost, not at every entry, and once when they
// are written again.
TEST(ProgramLog, ReportsOnceThatItCannotBeWrittenAndOnceThatItIsAgain) {
    TempDir dir;
    VirtualClock clock({2026, 12, 6, 7, 5, 59, 0});
    ProgramLogFile log(dir / "gone" / "QRVLog.txt", clock);
    std::vector<std::pair<bool, std::string>> reports;
    log.ReportWriteTroubleTo(
        [&reports](bool failing, const std::string& text) { reports.emplace_back(failing, text); });
    log.LogMessageToDisk("QRV program started");
    log.LogMessageToDisk("Web server listening");
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(reports[0].first);
    EXPECT_NE(reports[0].second.find("cannot be written"), std::string::npos);
    EXPECT_NE(reports[0].second.find("QRV program started"), std::string::npos);

    std::filesystem::create_directory(dir / "gone");
    log.LogMessageToDisk("Acquisition started");
    log.LogMessageToDisk("Stored");
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_FALSE(reports[1].first);
    EXPECT_NE(ReadBytes(log.Path()).find("Acquisition started"), std::string::npos);
}

TEST(ScriptedDialogs, AnswersFromTheQueueAndCountsSurprises) {
    ScriptedDialogs dialogs;
    dialogs.QueueButton(2);
    dialogs.QueueText(std::string("0612345678901234567890"));
    EXPECT_EQ(dialogs.GenericMessagePopup("T", "Q?", {"__Yes", "__No"}, 1, 2), 2);
    EXPECT_EQ(dialogs.PromptPopup("T", "Number", 20, ""), "06123456789012345678");
    EXPECT_EQ(dialogs.UnexpectedPopups(), 0);
    EXPECT_EQ(dialogs.GenericMessagePopup("T", "again?", {"__Yes", "__No"}, 1, 2), 2);
    EXPECT_EQ(dialogs.UnexpectedPopups(), 1);
    ASSERT_EQ(dialogs.Popups().size(), 3u);
    EXPECT_EQ(dialogs.Popups()[0].buttons[1], "__No");
}

}  // namespace
}  // namespace qrv
