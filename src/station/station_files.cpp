#include "station/station_files.h"

#include <array>

#include <fmt/format.h>

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

namespace {

std::string_view WithoutTrailingSpace(std::string_view text) {
    const auto last = text.find_last_not_of(" \t\r\n");
    return last == std::string_view::npos ? std::string_view() : text.substr(0, last + 1);
}

// The edited notes without an entry head that nothing was written after;
// nullopt when that leaves the notes as they were.
std::optional<std::string> WithoutEmptyEntry(std::string_view edited, std::string_view before,
                                             std::string_view head) {
    const std::string_view text = WithoutTrailingSpace(edited);
    const std::string_view emptyHead = WithoutTrailingSpace(head);
    if (!text.ends_with(emptyHead)) {
        return std::string(edited);
    }
    const std::string_view rest = text.substr(0, text.size() - emptyHead.size());
    if (WithoutTrailingSpace(rest) == WithoutTrailingSpace(before)) {
        return std::nullopt;
    }
    return std::string(rest);
}

}  // namespace

NotesOutcome HandleEditQRVNotes(const std::filesystem::path& notesFile, const Clock& clock,
                                Dialogs& dialogs, TextViewer& viewer, int taal) {
    const std::string title(text::Raw(text::Key::QRVNL_TEXT, taal));
    // Anything in the file's place counts: a directory there is refused below.
    std::error_code error;
    const bool exists = std::filesystem::exists(notesFile, error);
    // Written to only on a save, but a file that cannot take a note is told
    // before anything is typed into it.
    const FileBytes notes = !exists || AppendToFile(notesFile, "") == kFileOk
                                ? (exists ? ReadFileBytes(notesFile) : FileBytes{kFileOk, {}, {}})
                                : FileBytes{kFileCannotOpenForReading, {}, {}};
    if (notes.result != kFileOk) {
        dialogs.MessagePopup(title, text::Raw(text::Key::TXT_ERROR_QRVNOTES, taal));
        return NotesOutcome::kNotWritten;
    }
    std::string head;
    if (!exists) {
        head.append(kEquals57).append("\n");
        head.append(kNotesTitle).append("\n");
        head.append(kEquals57).append("\n");
    } else {
        head.append(kDashes57).append("\n");
    }
    const LocalDateTime now = clock.Now();
    head += EuroDate(now) + ", " + notation::Int(now.hour, 2, true) + ":" +
            notation::Int(now.minute, 2, true) + ":" + notation::Int(now.second, 2, true) + "\n";
    const std::string before = StationTextForViewing(notes.bytes);
    std::string shown = before + head;
    std::optional<std::string> edited;
    for (;;) {
        edited = viewer.ShowText(notesFile.filename().string(), shown, true, taal);
        if (!edited) {
            return NotesOutcome::kViewed;
        }
        const std::string missing = CharactersNotInCp1252(*edited);
        if (missing.empty()) {
            break;
        }
        dialogs.MessagePopup(
            title,
            fmt::format(fmt::runtime(text::Plain(text::Key::TXT_NOT_IN_CP1252, taal)), missing));
        // Back to the editor with everything typed, so that nothing is lost.
        shown = *edited;
    }
    edited = WithoutEmptyEntry(*edited, before, head);
    if (!edited) {
        return NotesOutcome::kNothingAdded;
    }
    if (WriteFileAtomically(notesFile, StationTextForFile(*edited)) != kFileOk) {
        TellFileProblem(dialogs, taal, FileProblem::kNotSaved, notesFile);
        return NotesOutcome::kEditNotSaved;
    }
    return NotesOutcome::kEdited;
}

}  // namespace qrv::shell
