#include "app/window/qt_dialogs.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QThread>
#include <QTreeView>
#include <QVBoxLayout>
#include <condition_variable>

#include "qt_values/qt_values.h"
#include "text/texts.h"

namespace qrv::window {

namespace {

// Texts keep the trailing blanks and line ends of their tables; a dialog
// shows them without.
QString Trimmed(std::string_view text) {
    return Q(text).trimmed();
}

bool OnGuiThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app == nullptr || QThread::currentThread() == app->thread();
}

void ShowMessage(QWidget* parent, const QString& title, const QString& message) {
    QMessageBox box(parent);
    box.setWindowTitle(title);
    box.setIcon(QMessageBox::Information);
    box.setText(message);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

// A document name as a file name: no folder separators, and no dots, from
// which Qt would take an extension.
std::string DocumentFileName(std::string_view documentName) {
    std::string name(documentName);
    for (char& c : name) {
        if (c == '/' || c == '\\' || c == '.' || c == ':' || static_cast<unsigned char>(c) < 0x20) {
            c = '-';
        }
    }
    return name;
}

// The proposed file in the folder of what Qt proposed (home without one).
QString ProposedPdfPath(const QString& proposed, const QString& name) {
    const QFileInfo info(proposed);
    const QString folder = proposed.isEmpty() ? QDir::homePath()
                           : info.isDir()     ? proposed
                                              : info.path();
    return QDir(folder).filePath(name + QStringLiteral(".pdf"));
}

}  // namespace

class QtDialogs::PendingQuestion {
  public:
    virtual ~PendingQuestion() = default;
    // GUI thread: answers with the refused answer and closes the popup if it
    // is open.
    virtual void Refuse() = 0;
};

// The asking thread waits in Wait(); the first answer given counts, whether
// the popup's or the refusal's.
template <typename Answer>
class QtDialogs::PendingAnswer final : public PendingQuestion {
  public:
    explicit PendingAnswer(Answer refused) : refused_(std::move(refused)) {}

    // GUI thread. show gets the pointer through which a refusal closes its
    // dialog while it is open.
    template <typename Show>
    void ShowUnlessAnswered(const Show& show) {
        if (!Answered()) {
            Give(show(open_));
        }
    }

    void Refuse() override {
        Give(refused_);
        if (open_) {
            open_->reject();
        }
    }

    Answer Wait() {
        std::unique_lock lock(mutex_);
        given_.wait(lock, [this] { return answer_.has_value(); });
        return *answer_;
    }

  private:
    bool Answered() {
        std::lock_guard lock(mutex_);
        return answer_.has_value();
    }

    void Give(Answer answer) {
        {
            std::lock_guard lock(mutex_);
            if (answer_) {
                return;
            }
            answer_ = std::move(answer);
        }
        given_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable given_;
    std::optional<Answer> answer_;
    const Answer refused_;
    QPointer<QDialog> open_;  // GUI thread only
};

template <typename Answer, typename Show>
Answer QtDialogs::Ask(Show show, Answer refused) {
    if (OnGuiThread()) {
        QPointer<QDialog> open;
        return show(open);
    }
    auto question = std::make_shared<PendingAnswer<Answer>>(refused);
    {
        std::lock_guard lock(mutex_);
        if (refusals_ > 0) {
            return refused;
        }
        waiting_.push_back(question);
    }
    // The queued call owns what it shows: a refused asker does not wait for it.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [question, show = std::move(show)] { question->ShowUnlessAnswered(show); },
        Qt::QueuedConnection);
    Answer answer = question->Wait();
    std::lock_guard lock(mutex_);
    std::erase(waiting_, question);
    return answer;
}

void QtDialogs::BeginRefusingOtherThreads() {
    Q_ASSERT(OnGuiThread());
    std::vector<std::shared_ptr<PendingQuestion>> waiting;
    {
        std::lock_guard lock(mutex_);
        ++refusals_;
        waiting = waiting_;
    }
    for (const auto& question : waiting) {
        question->Refuse();
    }
}

void QtDialogs::EndRefusingOtherThreads() {
    std::lock_guard lock(mutex_);
    --refusals_;
}

void QtDialogs::MessagePopup(std::string_view title, std::string_view message) {
    if (!OnGuiThread()) {
        // A message from the acquisition thread must not stop acquisition
        // until somebody clicks it away: it is shown, and the caller goes on.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
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
    auto show = [parent = parent_, title = Q(title), message = Trimmed(message), buttons,
                 enterChoice, escapeChoice](QPointer<QDialog>& open) -> int {
        QMessageBox box(parent);
        open = &box;
        box.setWindowTitle(title);
        box.setIcon(buttons.size() > 1 ? QMessageBox::Question : QMessageBox::Information);
        box.setText(message);
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
    };
    return Ask(std::move(show), escapeChoice);
}

std::optional<std::string> QtDialogs::PromptPopup(std::string_view title, std::string_view message,
                                                  int maxLength, std::string_view initialText) {
    auto show = [parent = parent_, title = Q(title), message = Trimmed(message), maxLength,
                 initialText =
                     Q(initialText)](QPointer<QDialog>& open) -> std::optional<std::string> {
        QDialog dialog(parent);
        open = &dialog;
        dialog.setWindowTitle(title);
        auto* layout = new QVBoxLayout(&dialog);
        layout->addWidget(new QLabel(message, &dialog));
        auto* edit = new QLineEdit(initialText, &dialog);
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
    };
    return Ask(std::move(show), std::optional<std::string>());
}

std::optional<std::string> QtDialogs::FileSelectPopup(std::string_view title,
                                                      const std::string& directory,
                                                      std::string_view defaultName,
                                                      std::string_view pattern, bool forSave) {
    auto show = [parent = parent_, title = Q(title), directory = Q(directory),
                 defaultName = Q(defaultName), filter = Q(pattern),
                 forSave](QPointer<QDialog>& open) -> std::optional<std::string> {
        QFileDialog dialog(parent, title, directory, filter);
        open = &dialog;
        dialog.setAcceptMode(forSave ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dialog.setFileMode(forSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        dialog.selectFile(defaultName);
        // Room for the name, size, type and date columns, which Qt's
        // default sizes cut.
        constexpr QSize kRoomForColumns(860, 500);
        dialog.resize(dialog.size().expandedTo(kRoomForColumns));
        if (auto* details = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
            details->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
            details->header()->setSectionResizeMode(0, QHeaderView::Stretch);
        }
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
            return std::nullopt;
        }
        return dialog.selectedFiles().constFirst().toStdString();
    };
    return Ask(std::move(show), std::optional<std::string>());
}

std::optional<PrintTarget> QtDialogs::PrinterDialog(std::string_view title,
                                                    std::string_view documentName) {
    auto show = [parent = parent_, title = Q(title), name = Q(DocumentFileName(documentName))](
                    QPointer<QDialog>& open) -> std::optional<PrintTarget> {
        QPrinter printer;
        // The job's name, and what a print to a file proposes instead of
        // print.pdf.
        printer.setDocName(name);
        QPrintDialog dialog(&printer, parent);
        // Qt proposes a name from it only on some platforms: the field of
        // the file is given it here, in the folder Qt proposed.
        if (auto* file = dialog.findChild<QLineEdit*>(QStringLiteral("filename"));
            file != nullptr && !name.isEmpty()) {
            file->setText(ProposedPdfPath(file->text(), name));
        }
        open = &dialog;
        dialog.setWindowTitle(title);
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
    };
    return Ask(std::move(show), std::optional<PrintTarget>());
}

}  // namespace qrv::window
