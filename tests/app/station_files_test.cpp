#include <gtest/gtest.h>

#include "app/shell/commands.h"
#include "runtime/text_file.h"
#include "shell_fixture.h"
#include "station/station_files.h"

namespace qrv::testing {
namespace {

constexpr const char* kEquals57 = "=========================================================\r\n";

class StationFilesTest : public ::testing::Test, protected ShellFixture {};

TEST_F(StationFilesTest, FirstLogEntryCreatesTheHeaderAndShowsTheSavingMessage) {
    log.LogMessageToDisk("QRV program started");

    EXPECT_EQ(LogText(), std::string(kEquals57) +
                             "===============  Quorvanel LOG file:  ===================\r\n" +
                             kEquals57 + "2026-03-09 14:05: QRVLog.txt created\r\n" +
                             "2026-03-09 14:05: QRV program started\r\n");
    EXPECT_TRUE(IsReadOnly(state.paths.LogFileName()));
    const auto calls = display.Calls();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[0], "StatusLine(Saving temperature data to disk.., #0066CC)");
    EXPECT_EQ(calls[2], "StatusLine(Network inactive... , #FF0000)");
}

TEST_F(StationFilesTest, WithANetworkTheStatusLineKeepsTheSavingMessage) {
    state.NetWorkInstalled = 1;
    log.LogMessageToDisk("entry");
    EXPECT_EQ(display.Snapshot().statusLine, "Saving temperature data to disk..");
}

TEST_F(StationFilesTest, NotesFileGetsHeaderThenDashedLinesWithDatedLines) {
    editor.edit = [](std::string text) { return text + "first note"; };
    shell::ExecuteMenuCommand(state, services, view, shell::MenuCommand::EditNotes, 0);
    clock.Advance(3600 + 61);
    editor.edit = [](std::string text) { return text + "second note\n"; };
    shell::ExecuteMenuCommand(state, services, view, shell::MenuCommand::EditNotes, 0);

    EXPECT_EQ(ReadBytes(state.paths.NotesFileName()),
              std::string(kEquals57) +
                  "===============  Quorvanel Note file: ===================\r\n" + kEquals57 +
                  "09/03/2026, 14:05:07\r\n"
                  "first note\r\n"
                  "---------------------------------------------------------\r\n"
                  "09/03/2026, 15:06:08\r\n"
                  "second note\r\n");
    ASSERT_EQ(editor.shown.size(), 2u);
    EXPECT_TRUE(editor.shown[1].editable);
    EXPECT_EQ(editor.shown[1].title, "QRVNotes.txt");
    EXPECT_TRUE(
        editor.shown[1].text.ends_with("first note\n"
                                       "---------------------------------------------------------\n"
                                       "09/03/2026, 15:06:08\n"));
}

TEST_F(StationFilesTest, NotesClosedOrLeftEmptyAddNoEntry) {
    shell::ExecuteMenuCommand(state, services, view, shell::MenuCommand::EditNotes, 0);
    EXPECT_FALSE(std::filesystem::exists(state.paths.NotesFileName())) << "closed unsaved";
    EXPECT_NE(LogText().find("Notes file viewed"), std::string::npos);

    editor.edit = [](std::string text) { return text + "  \n\n"; };
    shell::ExecuteMenuCommand(state, services, view, shell::MenuCommand::EditNotes, 0);
    EXPECT_FALSE(std::filesystem::exists(state.paths.NotesFileName())) << "OK on an empty note";
    EXPECT_NE(LogText().find("Notes file not changed"), std::string::npos);

    editor.edit = [](std::string text) { return text + "kept"; };
    shell::ExecuteMenuCommand(state, services, view, shell::MenuCommand::EditNotes, 0);
    const std::string kept = ReadBytes(state.paths.NotesFileName());
    // An empty entry after an earlier note that was corrected: the
    // correction is saved, the empty head is not.
    editor.edit = [](std::string text) {
        text.replace(text.find("kept"), 4, "kept, checked");
        return text;
    };
    shell::ExecuteMenuCommand(state, services, view, shell::MenuCommand::EditNotes, 0);
    std::string corrected = kept;
    corrected.replace(corrected.find("kept"), 4, "kept, checked");
    EXPECT_EQ(ReadBytes(state.paths.NotesFileName()), corrected);
    EXPECT_TRUE(dialogs.Popups().empty());
}

TEST_F(StationFilesTest, ANoteWithCharactersTheFileCannotHoldGoesBackToTheEditor) {
    int opened = 0;
    editor.edit = [&opened](std::string text) {
        ++opened;
        if (opened == 1) {
            return text + "\u0141\u00f3d\u017a \u03a9 \u2713 \u51b7 \u2713";
        }
        EXPECT_TRUE(text.ends_with("\u0141\u00f3d\u017a \u03a9 \u2713 \u51b7 \u2713"))
            << "what was typed is given back";
        text.resize(text.rfind('\n') + 1);
        return text + "Lodz cold room 4 \u00b0C";
    };
    shell::ExecuteMenuCommand(state, services, view, shell::MenuCommand::EditNotes, 0);

    EXPECT_EQ(opened, 2);
    ASSERT_EQ(dialogs.Popups().size(), 1u);
    EXPECT_EQ(dialogs.Popups()[0].message,
              "These characters cannot be stored in the station's files: \u0141 \u017a \u03a9 "
              "\u2713 \u51b7\nPlease replace them.");
    const std::string notes = ReadBytes(state.paths.NotesFileName());
    EXPECT_TRUE(
        notes.ends_with("\r\nLodz cold room 4 \xB0"
                        "C\r\n"))
        << notes;
    EXPECT_EQ(notes.find('?'), std::string::npos) << "nothing turned into question marks";
}

TEST_F(StationFilesTest, EditedNotesAreSavedInTheStationsEncodingWithCrLf) {
    editor.edit = [](std::string text) { return text + "Freezer 2 checked at -18 \u00B0C, ok"; };
    shell::ExecuteMenuCommand(state, services, view, shell::MenuCommand::EditNotes, 0);
    EXPECT_EQ(ReadBytes(state.paths.NotesFileName()),
              std::string(kEquals57) +
                  "===============  Quorvanel Note file: ===================\r\n" + kEquals57 +
                  "09/03/2026, 14:05:07\r\n"
                  "Freezer 2 checked at -18 \xB0"
                  "C, ok\r\n");
    EXPECT_NE(LogText().find("Notes file edited"), std::string::npos);

    // A save that fails says so (here something took the file's place).
    editor.edit = [this](std::string text) {
        std::filesystem::remove(state.paths.NotesFileName());
        std::filesystem::create_directories(state.paths.NotesFileName() / "in the way");
        return text + "lost";
    };
    shell::ExecuteMenuCommand(state, services, view, shell::MenuCommand::EditNotes, 0);
    ASSERT_FALSE(dialogs.Popups().empty());
    EXPECT_TRUE(dialogs.Popups().back().message.starts_with("The changes could not be saved in:"));
    EXPECT_NE(LogText().find("Notes file not saved"), std::string::npos);
}

TEST(StationText, ViewedAsUtf8LinesAndSavedAsWindows1252CrLf) {
    EXPECT_EQ(shell::StationTextForViewing("a\xB0\r\nb\r\n"), "a\u00B0\nb\n");
    EXPECT_EQ(shell::StationTextForFile("a\u00B0\nb"), "a\xB0\r\nb\r\n");
    EXPECT_EQ(shell::StationTextForFile("x\r\n\ny\n"), "x\r\n\r\ny\r\n");
    EXPECT_EQ(shell::StationTextForFile(""), "");
    EXPECT_EQ(shell::StationTextForFile("\u4E2D"), "?\r\n") << "no Windows-1252 character";
}

TEST_F(StationFilesTest, UnwritableNotesFileShowsTheErrorAndStartsNoEditor) {
    std::filesystem::create_directory(state.paths.NotesFileName());

    EXPECT_EQ(shell::HandleEditQRVNotes(state.paths.NotesFileName(), clock, dialogs, editor, 0),
              shell::NotesOutcome::kNotWritten);

    ASSERT_EQ(dialogs.Popups().size(), 1u);
    EXPECT_EQ(dialogs.Popups()[0].message, "File error in QRVNotes.txt, operation aborted.");
    EXPECT_TRUE(editor.shown.empty());
}

TEST_F(StationFilesTest, DealerFileNeedsThreeLines) {
    const auto path = state.paths.DealerFileName();
    EXPECT_EQ(shell::ReadDealerMessage(path), std::nullopt);
    WriteBytes(path, "one\r\ntwo\r\n");
    EXPECT_EQ(shell::ReadDealerMessage(path), std::nullopt);
    WriteBytes(path, "one\ntwo\n" + std::string(200, 'x') + "\n");
    EXPECT_EQ(shell::ReadDealerMessage(path), std::string(shell::kDealerLineLength, 'x'));
}

}  // namespace
}  // namespace qrv::testing
