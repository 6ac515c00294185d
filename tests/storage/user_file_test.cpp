#include "storage/user_file.h"

#include <gtest/gtest.h>

#include "support/scripted_dialogs.h"
#include "support/temp_dir.h"

namespace qrv {
namespace {

class UserFileTest : public ::testing::Test {
  protected:
    UserFileTest() {
        std::filesystem::create_directories(dataDir);
        testing::WriteBytes(today, "today's bytes");
    }
    std::vector<std::string> Messages() const {
        std::vector<std::string> messages;
        for (const auto& popup : dialogs.Popups()) {
            messages.push_back(popup.message);
        }
        return messages;
    }

    testing::TempDir temp;
    std::filesystem::path dataDir = temp / "QRVDATA";
    std::filesystem::path today = dataDir / "2026-04-09.qrd";
    VirtualClock clock{{2026, 4, 9, 16, 0, 0, 0}};
    ScriptedDialogs dialogs;
    int taal = 0;
    UserFileSaver saver{dialogs, clock, taal};
};

TEST_F(UserFileTest, CopyKeepsTodaysFile) {
    dialogs.QueueText((temp / "copy.qrd").string());
    saver.SaveUserFile(dataDir, true);
    EXPECT_EQ(testing::ReadBytes(temp / "copy.qrd"), "today's bytes");
    EXPECT_EQ(testing::ReadBytes(today), "today's bytes");
    EXPECT_EQ(saver.SaveAsFileName(), (temp / "copy.qrd").string());
    // The file dialog reports the directory it opens in.
    EXPECT_EQ(Messages(), std::vector<std::string>{dataDir.string()});
}

TEST_F(UserFileTest, MoveTakesTodaysFileAway) {
    dialogs.QueueText((temp / "moved.qrd").string());
    saver.SaveUserFile(dataDir, false);
    EXPECT_EQ(testing::ReadBytes(temp / "moved.qrd"), "today's bytes");
    EXPECT_FALSE(std::filesystem::exists(today));
}

TEST_F(UserFileTest, NoFileCancelAndFailuresAreTold) {
    dialogs.QueueText(std::nullopt);
    saver.SaveUserFile(dataDir, false);
    EXPECT_TRUE(std::filesystem::exists(today));

    // A target that cannot be written: the source stays.
    dialogs.QueueText((temp / "missing-dir" / "x.qrd").string());
    saver.SaveUserFile(dataDir, false);
    EXPECT_TRUE(std::filesystem::exists(today));
    // Copying today's file onto itself must not empty it.
    dialogs.QueueText(today.string());
    saver.SaveUserFile(dataDir, true);
    EXPECT_EQ(testing::ReadBytes(today), "today's bytes");

    std::filesystem::remove(today);
    saver.SaveUserFile(dataDir, true);
    // Each dialog opens where the last chosen target was.
    EXPECT_EQ(Messages(), (std::vector<std::string>{
                              dataDir.string(), dataDir.string(), "File error, operation aborted.",
                              (temp / "missing-dir").string(), "File error, operation aborted.",
                              "No measurement data on disk, operation aborted."}));
    EXPECT_EQ(dialogs.UnexpectedPopups(), 0);
}

TEST_F(UserFileTest, MoveIsConfirmedFirst) {
    dialogs.QueueButton(2);
    EXPECT_FALSE(saver.ConfirmDestroyTodaysResults());
    dialogs.QueueButton(1);
    EXPECT_TRUE(saver.ConfirmDestroyTodaysResults());
    const auto& question = dialogs.Popups().back();
    EXPECT_EQ(question.message, "Today's results will be deleted.\nContinue?");
    EXPECT_EQ(question.buttons, (std::vector<std::string>{"__Yes", "__No"}));
    EXPECT_EQ(question.enterChoice, 2);
    EXPECT_EQ(question.escapeChoice, 2);
}

}  // namespace
}  // namespace qrv
