#include "app/window/qt_dialogs.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

#include "text/texts.h"

namespace qrv::window {

namespace {

QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Texts keep the trailing blanks and line ends of their tables; a dialog
// shows them without.
QString Trimmed(std::string_view text) {
    return Q(text).trimmed();
}

}  // namespace

void QtDialogs::MessagePopup(std::string_view title, std::string_view message) {
    QMessageBox box(parent_);
    box.setWindowTitle(Q(title));
    box.setIcon(QMessageBox::Information);
    box.setText(Trimmed(message));
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

int QtDialogs::GenericMessagePopup(std::string_view title, std::string_view message,
                                   const std::vector<std::string>& buttons, int enterChoice,
                                   int escapeChoice) {
    QMessageBox box(parent_);
    box.setWindowTitle(Q(title));
    box.setIcon(buttons.size() > 1 ? QMessageBox::Question : QMessageBox::Information);
    box.setText(Trimmed(message));
    std::vector<QPushButton*> pushButtons;
    pushButtons.reserve(buttons.size());
    for (const std::string& label : buttons) {
        pushButtons.push_back(
            box.addButton(Q(text::ToQtAccelerators(label)), QMessageBox::AcceptRole));
    }
    const auto button = [&](int choice) -> QPushButton* {
        if (choice < 1 || choice > static_cast<int>(pushButtons.size())) {
            return nullptr;
        }
        return pushButtons[static_cast<std::size_t>(choice - 1)];
    };
    if (QPushButton* enter = button(enterChoice)) {
        box.setDefaultButton(enter);
    }
    if (QPushButton* escape = button(escapeChoice)) {
        box.setEscapeButton(escape);
    }
    box.exec();
    for (std::size_t i = 0; i < pushButtons.size(); ++i) {
        if (box.clickedButton() == pushButtons[i]) {
            return static_cast<int>(i) + 1;
        }
    }
    return escapeChoice;
}

std::optional<std::string> QtDialogs::PromptPopup(std::string_view title, std::string_view message,
                                                  int maxLength, std::string_view initialText) {
    QDialog dialog(parent_);
    dialog.setWindowTitle(Q(title));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(Trimmed(message), &dialog));
    auto* edit = new QLineEdit(Q(initialText), &dialog);
    edit->setMaxLength(maxLength);
    edit->setMinimumWidth(360);
    layout->addWidget(edit);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(box, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(box, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(box);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return edit->text().toStdString();
}

std::optional<std::string> QtDialogs::FileSelectPopup(std::string_view title,
                                                      const std::string& directory,
                                                      std::string_view defaultName,
                                                      std::string_view pattern, bool forSave) {
    const QString start = Q(directory) + "/" + Q(defaultName);
    const QString filter = Q(pattern);
    const QString chosen = forSave ? QFileDialog::getSaveFileName(parent_, Q(title), start, filter)
                                   : QFileDialog::getOpenFileName(parent_, Q(title), start, filter);
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    return chosen.toStdString();
}

std::optional<PrintTarget> QtDialogs::PrinterDialog(std::string_view title) {
    QPrinter printer;
    QPrintDialog dialog(&printer, parent_);
    dialog.setWindowTitle(Q(title));
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    PrintTarget target;
    if (printer.outputFormat() == QPrinter::PdfFormat) {
        target.pdfPath = printer.outputFileName().toStdString();
    } else {
        target.printerName = printer.printerName().toStdString();
    }
    return target;
}

}  // namespace qrv::window
