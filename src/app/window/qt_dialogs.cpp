#include "app/window/qt_dialogs.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

#include <type_traits>

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

// Popups live on the GUI thread. A question from another thread waits there
// for its answer; the caller must not hold anything the GUI thread waits for.
template <typename Show>
auto OnGuiThread(Show&& show) -> decltype(show()) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || QThread::currentThread() == app->thread()) {
        return show();
    }
    if constexpr (std::is_void_v<decltype(show())>) {
        QMetaObject::invokeMethod(app, std::forward<Show>(show), Qt::BlockingQueuedConnection);
    } else {
        decltype(show()) answer{};
        QMetaObject::invokeMethod(app, std::forward<Show>(show), Qt::BlockingQueuedConnection,
                                  &answer);
        return answer;
    }
}

void ShowMessage(QWidget* parent, const QString& title, const QString& message) {
    QMessageBox box(parent);
    box.setWindowTitle(title);
    box.setIcon(QMessageBox::Information);
    box.setText(message);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

}  // namespace

void QtDialogs::MessagePopup(std::string_view title, std::string_view message) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app != nullptr && QThread::currentThread() != app->thread()) {
        // A message from the acquisition thread must not stop acquisition
        // until somebody clicks it away: it is shown, and the caller goes on.
        QMetaObject::invokeMethod(
            app,
            [parent = parent_, title = Q(title), message = Trimmed(message)] {
                ShowMessage(parent, title, message);
            },
            Qt::QueuedConnection);
        return;
    }
    ShowMessage(parent_, Q(title), Trimmed(message));
}

int QtDialogs::GenericMessagePopup(std::string_view title, std::string_view message,
                                   const std::vector<std::string>& buttons, int enterChoice,
                                   int escapeChoice) {
    return OnGuiThread([&]() -> int {
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
    });
}

std::optional<std::string> QtDialogs::PromptPopup(std::string_view title, std::string_view message,
                                                  int maxLength, std::string_view initialText) {
    return OnGuiThread([&]() -> std::optional<std::string> {
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
    });
}

std::optional<std::string> QtDialogs::FileSelectPopup(std::string_view title,
                                                      const std::string& directory,
                                                      std::string_view defaultName,
                                                      std::string_view pattern, bool forSave) {
    return OnGuiThread([&]() -> std::optional<std::string> {
        const QString start = Q(directory) + "/" + Q(defaultName);
        const QString filter = Q(pattern);
        const QString chosen = forSave
                                   ? QFileDialog::getSaveFileName(parent_, Q(title), start, filter)
                                   : QFileDialog::getOpenFileName(parent_, Q(title), start, filter);
        if (chosen.isEmpty()) {
            return std::nullopt;
        }
        return chosen.toStdString();
    });
}

std::optional<PrintTarget> QtDialogs::PrinterDialog(std::string_view title) {
    return OnGuiThread([&]() -> std::optional<PrintTarget> {
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
    });
}

}  // namespace qrv::window
