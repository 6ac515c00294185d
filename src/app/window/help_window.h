#pragma once

#include <QDialog>
#include <QTextBrowser>
#include <filesystem>
#include <optional>
#include <vector>

namespace qrv::window {

// Where the F1 key looks for the station's README: beside an installed
// program (any prefix) first, then in the source tree of a build that was
// not installed, then where the Debian package puts it.
std::vector<std::filesystem::path> HelpFileCandidates(
    const std::filesystem::path& programDirectory);
// The first of them that exists.
std::optional<std::filesystem::path> FindHelpFile(
    const std::vector<std::filesystem::path>& candidates);

// The README, laid out, beside the main window: it stays open while the
// user goes on working.
class HelpWindow final : public QDialog {
    Q_OBJECT
  public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // Shows the file; false when it cannot be read.
    bool ShowFile(const std::filesystem::path& file, const QString& title);

  private:
    QTextBrowser* page_;
};

}  // namespace qrv::window
