#pragma once

#include <deque>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "runtime/dialogs.h"

namespace qrv {

// Dialogs without a screen: answers come from a queue the caller fills, and
// every popup is recorded. A popup with no queued answer takes the Escape
// choice (or cancels) and is counted as unexpected, so tests notice it.
class ScriptedDialogs final : public Dialogs {
  public:
    enum class Kind { Message, Generic, Prompt, FileSelect, Printer };

    struct Popup {
        Kind kind;
        std::string title;
        std::string message;
        std::vector<std::string> buttons;
        int enterChoice = 0;
        int escapeChoice = 0;
    };

    using Answer = std::variant<int, std::optional<std::string>, std::optional<PrintTarget>>;

    void QueueButton(int button) { answers_.emplace_back(button); }
    void QueueText(std::optional<std::string> text) { answers_.emplace_back(std::move(text)); }
    void QueuePrinter(std::optional<PrintTarget> target) { answers_.emplace_back(target); }

    const std::vector<Popup>& Popups() const { return popups_; }
    int UnexpectedPopups() const { return unexpected_; }
    std::size_t PendingAnswers() const { return answers_.size(); }

    void MessagePopup(std::string_view title, std::string_view message) override;
    int GenericMessagePopup(std::string_view title, std::string_view message,
                            const std::vector<std::string>& buttons, int enterChoice,
                            int escapeChoice) override;
    std::optional<std::string> PromptPopup(std::string_view title, std::string_view message,
                                           int maxLength, std::string_view initialText) override;
    std::optional<std::string> FileSelectPopup(std::string_view title, const std::string& directory,
                                               std::string_view defaultName,
                                               std::string_view pattern, bool forSave) override;
    // Recorded with the document name as its message.
    std::optional<PrintTarget> PrinterDialog(std::string_view title,
                                             std::string_view documentName) override;

  private:
    template <typename T>
    std::optional<T> Take();

    std::deque<Answer> answers_;
    std::vector<Popup> popups_;
    int unexpected_ = 0;
};

}  // namespace qrv
