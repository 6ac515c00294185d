#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "app/shell/shell_services.h"
#include "runtime/clock.h"
#include "runtime/dialogs.h"

namespace qrv::shell {

inline constexpr std::size_t kDealerLineLength = 126;

// The third line of QRVDealer.INI (the dealer's text, UTF-8), or nullopt when
// the file is missing or has no third line.
std::optional<std::string> ReadDealerMessage(const std::filesystem::path& dealerFile);

// Opens a station text file in the desktop's text editor; when the desktop
// has no program for it, tells the user where the file is.
void ShowTextFile(const std::filesystem::path& file, Dialogs& dialogs, TextFileOpener& editor,
                  int taal);

// Appends a new dated entry head to the notes file (with its header when the
// file is new) and opens the file in the text editor. Shows the notes file
// error and returns false when the file cannot be written.
bool HandleEditQRVNotes(const std::filesystem::path& notesFile, const Clock& clock,
                        Dialogs& dialogs, TextFileOpener& editor, int taal);

}  // namespace qrv::shell
