#include "app/window/help_window.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QPushButton>
#include <QVBoxLayout>

namespace qrv::window {

std::vector<std::filesystem::path> HelpFileCandidates(
    const std::filesystem::path& programDirectory) {
    return {programDirectory.parent_path() / "share/doc/quorvanel/README.md",
            std::filesystem::path(QRV_SOURCE_README), "/usr/share/doc/quorvanel/README.md"};
}

std::optional<std::filesystem::path> FindHelpFile(
    const std::vector<std::filesystem::path>& candidates) {
    for (const std::filesystem::path& candidate : candidates) {
        std::error_code error;
        if (std::filesystem::is_regular_file(candidate, error)) {
            return candidate;
        }
    }
    return std::nullopt;
}

HelpWindow::HelpWindow(QWidget* parent) : QDialog(parent), page_(new QTextBrowser(this)) {
    setObjectName("helpWindow");
    resize(900, 680);
    page_->setObjectName("helpText");
    page_->setOpenExternalLinks(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(page_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    layout->addWidget(buttons);
}

bool HelpWindow::ShowFile(const std::filesystem::path& file, const QString& title) {
    QFile readme(QString::fromStdString(file.string()));
    if (!readme.open(QIODevice::ReadOnly)) {
        return false;
    }
    setWindowTitle(title);
    page_->setMarkdown(QString::fromUtf8(readme.readAll()));
    show();
    raise();
    activateWindow();
    return true;
}

}  // namespace qrv::window
