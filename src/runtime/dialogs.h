#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qrv {

// Where a print job goes: a printer by name, or a PDF file.
struct PrintTarget {
    std::string printerName;  // empty when printing to a file
    std::string pdfPath;      // empty when printing to a printer
};

// The popups of the station. Texts arrive in UTF-8 in the current language;
// button labels keep their "__" accelerator marks, which the implementation
// turns into its own keyboard accelerators. Every popup is modal. A message
// from another thread (the acquisition thread) is shown without making that
// thread wait; any other popup from another thread waits for the answer.
class Dialogs {
  public:
    virtual ~Dialogs() = default;

    virtual void MessagePopup(std::string_view title, std::string_view message) = 0;

    // One to three buttons; returns the number (1..3) of the one chosen.
    // enterChoice and escapeChoice are the numbers Enter and Escape select.
    virtual int GenericMessagePopup(std::string_view title, std::string_view message,
                                    const std::vector<std::string>& buttons, int enterChoice,
                                    int escapeChoice) = 0;

    // A line of input of at most maxLength characters; nullopt when cancelled.
    virtual std::optional<std::string> PromptPopup(std::string_view title, std::string_view message,
                                                   int maxLength, std::string_view initialText) = 0;

    // A file chosen in directory whose name matches pattern ("*.qrd");
    // forSave allows a new name. nullopt when cancelled.
    virtual std::optional<std::string> FileSelectPopup(std::string_view title,
                                                       const std::string& directory,
                                                       std::string_view defaultName,
                                                       std::string_view pattern, bool forSave) = 0;

    // The printer dialog; nullopt when cancelled.
    virtual std::optional<PrintTarget> PrinterDialog(std::string_view title) = 0;
};

}  // namespace qrv
