#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>
#include <mutex>
#include <vector>

#include "runtime/dialogs.h"

namespace qrv::window {

// The station's popups as Qt dialogs, modal to the main window. "__" marks in
// button labels become Qt accelerators.
//
// Popups live on the GUI thread. A message from another thread is queued to
// it; a question from another thread is queued too, and the asking thread
// waits for its answer. That wait is this class's own (not a blocking queued
// call), so a refusal (see Dialogs) releases the asking thread at once, even
// while the GUI thread is busy and cannot show or close anything: the GUI
// thread may then wait for that thread without a deadlock. Must outlive the
// threads that ask.
class QtDialogs final : public Dialogs {
  public:
    explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}
    void SetParent(QWidget* parent) { parent_ = parent; }

    void MessagePopup(std::string_view title, std::string_view message) override;
    int GenericMessagePopup(std::string_view title, std::string_view message,
                            const std::vector<std::string>& buttons, int enterChoice,
                            int escapeChoice) override;
    std::optional<std::string> PromptPopup(std::string_view title, std::string_view message,
                                           int maxLength, std::string_view initialText) override;
    std::optional<std::string> FileSelectPopup(std::string_view title, const std::string& directory,
                                               std::string_view defaultName,
                                               std::string_view pattern, bool forSave) override;
    std::optional<PrintTarget> PrinterDialog(std::string_view title,
                                             std::string_view documentName) override;

  protected:
    void BeginRefusingOtherThreads() override;
    void EndRefusingOtherThreads() override;

  private:
    // A question asked on another thread, until it is answered.
    class PendingQuestion;
    template <typename Answer>
    class PendingAnswer;

    // Runs show on the GUI thread and returns its answer, or refused when the
    // question is refused.
    template <typename Answer, typename Show>
    Answer Ask(Show show, Answer refused);

    QPointer<QWidget> parent_;
    std::mutex mutex_;
    int refusals_ = 0;
    std::vector<std::shared_ptr<PendingQuestion>> waiting_;
};

}  // namespace qrv::window
