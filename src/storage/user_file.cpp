#include "storage/user_file.h"

#include "runtime/date_strings.h"
#include "storage/result_file_format.h"
#include "text/texts.h"

namespace qrv {

namespace {

// Moves a file, also across file systems (rename cannot), never losing the
// source: it is removed only once the copy is complete.
bool MoveFile(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::error_code ec;
    std::filesystem::rename(from, to, ec);
    if (!ec) {
        return true;
    }
    if (ec != std::errc::cross_device_link) {
        return false;
    }
    if (!std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing,
                                    ec)) {
        return false;
    }
    return std::filesystem::remove(from, ec);
}

bool CopyFile(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::error_code ec;
    if (std::filesystem::equivalent(from, to, ec)) {
        // Copying a file onto itself would empty it.
        return false;
    }
    return std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing,
                                      ec);
}

}  // namespace

bool UserFileSaver::ConfirmDestroyTodaysResults() {
    const std::vector<std::string> buttons{std::string(text::Raw(text::Key::ButtonYes, taal_)),
                                           std::string(text::Raw(text::Key::ButtonNo, taal_))};
    return dialogs_.GenericMessagePopup(text::Plain(text::Key::QRVNL_TEXT, taal_),
                                        text::Plain(text::Key::TXT_DESTROY_TODAYS_RESULTS, taal_),
                                        buttons, 2, 2) == 1;
}

void UserFileSaver::SaveUserFile(const std::filesystem::path& dataDirectory, bool copy) {
    const std::string title = text::Plain(text::Key::QRVNL_TEXT, taal_);
    const std::filesystem::path source =
        dataDirectory / (FileDate(clock_.Now()) + std::string(kResultFileExtension));
    std::error_code ec;
    if (!std::filesystem::is_regular_file(source, ec)) {
        dialogs_.MessagePopup(title, text::Plain(text::Key::TXT_No_DataFile_To_Save, taal_));
        return;
    }
    std::string directory = dataDirectory.string();
    std::string defaultName = "*.qrd";
    if (!saveAsFileName_.empty()) {
        const std::filesystem::path last(saveAsFileName_);
        directory = last.parent_path().string();
        defaultName = last.filename().string();
    }
    const std::optional<std::string> target = dialogs_.FileSelectPopup(
        text::Plain(text::Key::TXT_SELECT_FILE, taal_), directory, defaultName, "*.qrd", true);
    if (!target) {
        return;
    }
    saveAsFileName_ = *target;
    const bool done = copy ? CopyFile(source, *target) : MoveFile(source, *target);
    if (!done) {
        dialogs_.MessagePopup(title, text::Plain(text::Key::TXT_Save_File_Failed, taal_));
    }
}

}  // namespace qrv
