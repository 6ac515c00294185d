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

bool HandleEditQRVNotes(const std::filesystem::path& notesFile, const Clock& clock,
                        Dialogs& dialogs, TextFileOpener& editor, int taal) {
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
    if (AppendToFile(notesFile, bytes) != kFileOk) {
        dialogs.MessagePopup(text::Raw(text::Key::QRVNL_TEXT, taal),
                             text::Raw(text::Key::TXT_ERROR_QRVNOTES, taal));
        return false;
    }
    ShowTextFile(notesFile, dialogs, editor, taal);
    return true;
}

void ShowTextFile(const std::filesystem::path& file, Dialogs& dialogs, TextFileOpener& editor,
                  int taal) {
    if (editor.OpenInTextEditor(file)) {
        return;
    }
    static constexpr std::array<std::string_view, 4> kNoEditor{
        "No program for text files was found on this desktop.\nThe file is:\n",
        "Auf diesem Desktop wurde kein Programm für Textdateien gefunden.\nDie Datei liegt "
        "hier:\n",
        "Aucun programme pour les fichiers texte n'a été trouvé sur ce bureau.\nLe fichier se "
        "trouve ici :\n",
        "Er is op dit bureaublad geen programma voor tekstbestanden gevonden.\nHet bestand "
        "staat hier:\n",
    };
    const auto language = static_cast<std::size_t>(taal >= 0 && taal < 4 ? taal : 0);
    dialogs.MessagePopup(text::Raw(text::Key::QRVNL_TEXT, taal),
                         std::string(kNoEditor[language]) + file.string());
}

}  // namespace qrv::shell
