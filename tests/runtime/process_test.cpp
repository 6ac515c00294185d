#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "runtime/clock.h"
#include "runtime/instance_lock.h"
#include "runtime/program_launcher.h"
#include "runtime/program_log_file.h"
#include "runtime/scripted_dialogs.h"
#include "runtime/text_file.h"
#include "support/temp_dir.h"

namespace qrv {
namespace {

using testing::ReadBytes;
using testing::TempDir;

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
    // A loaded machine may take a while to start a shell: wait by the clock.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    int terminated = 0;
    while ((terminated = launcher.HasTerminated(handle)) == 0 &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(terminated, 1);
    EXPECT_EQ(ReadBytes(out), "0612345678|Alarm;|$(rm|-rf)|");
}

TEST(ProgramLauncher, MissingProgramAndTermination) {
    PosixProgramLauncher launcher;
    pid_t handle = 0;
    EXPECT_LT(launcher.Launch({"/nonexistent/SMS Centre"}, handle), 0);
    EXPECT_LT(launcher.Launch({}, handle), 0);

    ASSERT_EQ(launcher.Launch({"/bin/sleep", "30"}, handle), 0);
    EXPECT_EQ(launcher.HasTerminated(handle), 0);
    EXPECT_EQ(launcher.Terminate(handle), 0);
    EXPECT_EQ(launcher.HasTerminated(handle), 1);
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
    EXPECT_EQ(InstanceLock(dir / "missing").state(), InstanceLock::State::Failed);
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
