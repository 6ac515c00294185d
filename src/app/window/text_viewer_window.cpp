#include "app/window/text_viewer_window.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "qt_values/qt_values.h"
#include "text/texts.h"

namespace qrv::window {

std::optional<std::string> TextViewerWindow::ShowText(std::string_view title, std::string_view text,
                                                      bool editable, int taal) {
    QDialog dialog(parent_);
    dialog.setObjectName("textViewer");
    dialog.setWindowTitle(Q(text::Plain(text::Key::QRVNL_TEXT, taal)) + QStringLiteral(" - ") +
                          Q(title));
    dialog.resize(900, 620);
    auto* layout = new QVBoxLayout(&dialog);
    auto* page = new QPlainTextEdit(&dialog);
    page->setObjectName("textViewerText");
    page->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    page->setLineWrapMode(QPlainTextEdit::NoWrap);
    page->setReadOnly(!editable);
    page->setPlainText(Q(text));
    layout->addWidget(page);

    auto* buttons = new QDialogButtonBox(&dialog);
    QPushButton* ok =
        buttons->addButton(Q(text::Accel(text::Key::ButtonOK, taal)), QDialogButtonBox::AcceptRole);
    ok->setObjectName("textViewerOk");
    ok->setDefault(!editable);
    if (editable) {
        QPushButton* cancel = buttons->addButton(Q(text::Accel(text::Key::ButtonCancel, taal)),
                                                 QDialogButtonBox::RejectRole);
        cancel->setObjectName("textViewerCancel");
    }
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);

    // The newest lines are at the end: that is where the user reads and
    // writes first.
    page->moveCursor(QTextCursor::End);
    page->verticalScrollBar()->setValue(page->verticalScrollBar()->maximum());
    page->setFocus();

    const bool accepted = dialog.exec() == QDialog::Accepted;
    if (!editable || !accepted || !page->document()->isModified()) {
        return std::nullopt;
    }
    return page->toPlainText().toStdString();
}

}  // namespace qrv::window
