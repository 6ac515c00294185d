#pragma once

#include <QPointer>
#include <QWidget>

#include "station/shell_services.h"

namespace qrv::window {

// The station's own window for its text files: the program log and the alarm
// file to read, the notes to edit. Modal to the main window; GUI thread only.
class TextViewerWindow final : public shell::TextViewer {
  public:
    explicit TextViewerWindow(QWidget* parent = nullptr) : parent_(parent) {}
    void SetParent(QWidget* parent) { parent_ = parent; }

    std::optional<std::string> ShowText(std::string_view title, std::string_view text,
                                        bool editable, int taal) override;

  private:
    QPointer<QWidget> parent_;
};

}  // namespace qrv::window
