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
// thread wait; any other popup from another thread (a question) waits for the
// answer, which only the GUI thread gives.
//
// Hence the rule: the GUI thread never waits for a thread that may be asking a
// question. Before it waits for one (a pause of acquisition, the shutdown), it
// refuses their questions, holding a QuestionsFromOtherThreadsRefused: while
// one lives, a question from another thread is answered at once with its
// Escape choice (or cancelled) without being shown, and a question already
// waiting or open is answered so too and closed. Refusals nest; they are made
// on the GUI thread.
// What an unattended station answers where no button fits: the caller keeps
// things as they are (a missing probe stays in the table, active).
inline constexpr int kQuestionNotAnswered = 0;

class Dialogs {
  public:
    virtual ~Dialogs() = default;

    virtual void MessagePopup(std::string_view title, std::string_view message) = 0;

    // One to three buttons; returns the number (1..3) of the one chosen, or
    // kQuestionNotAnswered from a station nobody attends.
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

    // The printer dialog for a document (its name becomes the print job's
    // and, printed to a file, the proposed file name); nullopt when cancelled.
    virtual std::optional<PrintTarget> PrinterDialog(std::string_view title,
                                                     std::string_view documentName) = 0;

  protected:
    friend class QuestionsFromOtherThreadsRefused;
    // Dialogs that never make another thread wait have nothing to refuse.
    virtual void BeginRefusingOtherThreads() {}
    virtual void EndRefusingOtherThreads() {}
};

// Refuses questions from other threads for its lifetime (see Dialogs).
class [[nodiscard]] QuestionsFromOtherThreadsRefused {
  public:
    explicit QuestionsFromOtherThreadsRefused(Dialogs& dialogs) : dialogs_(dialogs) {
        dialogs_.BeginRefusingOtherThreads();
    }
    ~QuestionsFromOtherThreadsRefused() { dialogs_.EndRefusingOtherThreads(); }
    QuestionsFromOtherThreadsRefused(const QuestionsFromOtherThreadsRefused&) = delete;
    QuestionsFromOtherThreadsRefused& operator=(const QuestionsFromOtherThreadsRefused&) = delete;

  private:
    Dialogs& dialogs_;
};

}  // namespace qrv
