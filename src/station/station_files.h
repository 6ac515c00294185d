#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "runtime/clock.h"
#include "runtime/dialogs.h"
#include "station/shell_services.h"

namespace qrv::shell {

inline constexpr std::size_t kDealerLineLength = 126;

// The third line of QRVDealer.INI (the dealer's text, UTF-8), or nullopt when
// the file is missing or has no third line.
std::optional<std::string> ReadDealerMessage(const std::filesystem::path& dealerFile);

// A station text file (Windows-1252, CR LF) as the viewer shows it, and the
// viewer's text as the file holds it: Windows-1252, every line ended by CR LF.
std::string StationTextForViewing(std::string_view fileBytes);
std::string StationTextForFile(std::string_view utf8);

// Shows a station text file read-only in the station's viewer. When it
// cannot be read, tells the user why and where it is, and returns false.
bool ShowTextFile(const std::filesystem::path& file, Dialogs& dialogs, TextViewer& viewer,
                  int taal);

enum class NotesOutcome { kNotWritten, kViewed, kEdited, kEditNotSaved, kNothingAdded };

// Shows the notes for editing with a new dated entry head at their end (and
// the file's header when the file is new); saved changes are written back
// whole. The head is written only with a note after it, and text that
// Windows-1252 cannot hold is refused by name and given back to the editor.
// Shows the notes file error when the file cannot be written.
NotesOutcome HandleEditQRVNotes(const std::filesystem::path& notesFile, const Clock& clock,
                                Dialogs& dialogs, TextViewer& viewer, int taal);

}  // namespace qrv::shell
