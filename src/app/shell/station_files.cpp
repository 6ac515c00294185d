#include "app/shell/station_files.h"

#include <array>

#include "runtime/date_strings.h"
#include "runtime/encoding.h"
#include "runtime/formats.h"
#include "runtime/text_file.h"
#include "text/texts.h"

namespace qrv::shell {

namespace {
constexpr std::string_view kEquals57 = "=========================================================";
constexpr std::string_view kNotesTitle =
    "===============  Quorvanel Note file: ===================";
constexpr std::string_view kDashes57 = "---------------------------------------------------------";
constexpr std::size_t kDealerSkippedLineLength = 190;
}  // namespace

std::optional<std::string> ReadDealerMessage(const std::filesystem::path& dealerFile) {
    const FileBytes file = ReadFileBytes(dealerFile);
    if (file.result != kFileOk) {
        return std::nullopt;
    }
    LineReader reader(file.bytes);
    for (int skipped = 0; skipped < 2; ++skipped) {
        if (!reader.ReadLine(kDealerSkippedLineLength)) {
            return std::nullopt;
        }
    }
    const auto line = reader.ReadLine(kDealerLineLength);
    if (!line) {
        return std::nullopt;
    }
    return Cp1252ToUtf8(*line);
}

std::string StationTextForViewing(std::string_view fileBytes) {
    std::string text = Cp1252ToUtf8(fileBytes);
    std::erase(text, '\r');
    return text;
}

std::string StationTextForFile(std::string_view utf8) {
    std::string bytes;
    const std::string cp1252 = Utf8ToCp1252(utf8);
    bytes.reserve(cp1252.size() + cp1252.size() / 16 + 2);
    for (const char c : cp1252) {
        if (c == '\n') {
            bytes.append(kCrLf);
        } else if (c != '\r') {
            bytes.push_back(c);
        }
    }
    if (!bytes.empty() && !bytes.ends_with(kCrLf)) {
        bytes.append(kCrLf);
    }
    return bytes;
}

namespace {

enum class FileProblem { kMissing, kUnreadable, kNotSaved };

void TellFileProblem(Dialogs& dialogs, int taal, FileProblem problem,
                     const std::filesystem::path& file) {
    static constexpr std::array<std::array<std::string_view, 4>, 3> kTexts{{
        {"This file does not exist yet:\n", "Diese Datei gibt es noch nicht:\n",
         "Ce fichier n'existe pas encore :\n", "Dit bestand bestaat nog niet:\n"},
        {"This file cannot be read:\n", "Diese Datei kann nicht gelesen werden:\n",
         "Ce fichier ne peut pas être lu :\n", "Dit bestand kan niet gelezen worden:\n"},
        {"The changes could not be saved in:\n",
         "Die Änderungen konnten nicht gespeichert werden in:\n",
         "Les modifications n'ont pas pu être enregistrées dans :\n",
         "De wijzigingen konden niet opgeslagen worden in:\n"},
    }};
    const auto language = static_cast<std::size_t>(taal >= 0 && taal < 4 ? taal : 0);
    dialogs.MessagePopup(
        text::Raw(text::Key::QRVNL_TEXT, taal),
        std::string(kTexts[static_cast<std::size_t>(problem)][language]) + file.string());
}

}  // namespace

bool ShowTextFile(const std::filesystem::path& file, Dialogs& dialogs, TextViewer& viewer,
                  int taal) {
    const FileBytes read = ReadFileBytes(file);
    if (read.result != kFileOk) {
        TellFileProblem(
            dialogs, taal,
            read.result == kFileDoesNotExist ? FileProblem::kMissing : FileProblem::kUnreadable,
            file);
        return false;
    }
    viewer.ShowText(file.filename().string(), StationTextForViewing(read.bytes), false, taal);
    return true;
}

NotesOutcome HandleEditQRVNotes(const std::filesystem::path& notesFile, const Clock& clock,
                                Dialogs& dialogs, TextViewer& viewer, int taal) {
    std::string bytes;
    if (!FileExists(notesFile)) {
        bytes.append(kEquals57).append(kCrLf);
        bytes.append(kNotesTitle).append(kCrLf);
        bytes.append(kEquals57).append(kCrLf);
    } else {
        bytes.append(kDashes57).append(kCrLf);
    }
    const LocalDateTime now = clock.Now();
    bytes += EuroDate(now) + ", " + notation::Int(now.hour, 2, true) + ":" +
             notation::Int(now.minute, 2, true) + ":" + notation::Int(now.second, 2, true);
    bytes.append(kCrLf);
    const FileBytes notes = AppendToFile(notesFile, bytes) == kFileOk
                                ? ReadFileBytes(notesFile)
                                : FileBytes{kFileCannotOpenForReading, {}, {}};
    if (notes.result != kFileOk) {
        dialogs.MessagePopup(text::Raw(text::Key::QRVNL_TEXT, taal),
                             text::Raw(text::Key::TXT_ERROR_QRVNOTES, taal));
        return NotesOutcome::kNotWritten;
    }
    const std::optional<std::string> edited = viewer.ShowText(
        notesFile.filename().string(), StationTextForViewing(notes.bytes), true, taal);
    if (!edited) {
        return NotesOutcome::kViewed;
    }
    if (WriteFileAtomically(notesFile, StationTextForFile(*edited)) != kFileOk) {
        TellFileProblem(dialogs, taal, FileProblem::kNotSaved, notesFile);
        return NotesOutcome::kEditNotSaved;
    }
    return NotesOutcome::kEdited;
}

}  // namespace qrv::shell
