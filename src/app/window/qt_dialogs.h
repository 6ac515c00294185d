#pragma once

#include <QPointer>
#include <QWidget>

#include "runtime/dialogs.h"

namespace qrv::window {

// The station's popups as Qt dialogs, modal to the main window. "__" marks in
// button labels become Qt accelerators.
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
    std::optional<PrintTarget> PrinterDialog(std::string_view title) override;

  private:
    QPointer<QWidget> parent_;
};

}  // namespace qrv::window
