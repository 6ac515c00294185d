#include "app/shell/station_files.h"

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
    editor.OpenInTextEditor(notesFile);
    return true;
}

}  // namespace qrv::shell
