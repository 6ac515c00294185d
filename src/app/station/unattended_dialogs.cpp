#include "app/station/unattended_dialogs.h"

#include <csignal>

#include "text/texts.h"

namespace qrv::station {

using text::Key;

namespace {

// The rest of message after the text of key in any language, when message
// begins with it.
std::optional<std::string_view> AfterText(std::string_view message, Key key) {
    for (int taal = 0; taal < text::kLanguageCount; ++taal) {
        for (const std::string& start :
             {std::string(text::Raw(key, taal)), text::Plain(key, taal)}) {
            if (!start.empty() && message.starts_with(start)) {
                return message.substr(start.size());
            }
        }
    }
    return std::nullopt;
}

constexpr int kDefaultRetrySeconds = 60;

bool Is(std::string_view message, Key key) {
    return AfterText(message, key).has_value();
}

std::string ButtonText(const std::vector<std::string>& buttons, int choice) {
    if (choice < 1 || choice > static_cast<int>(buttons.size())) {
        return {};
    }
    return text::StripAcceleratorMarks(buttons[static_cast<std::size_t>(choice - 1)]);
}

}  // namespace

void UnattendedDialogs::MessagePopup(std::string_view, std::string_view message) {
    platform_.journal.Log(Priority::kWarning, "Message: " + OneLine(message));
}

int UnattendedDialogs::GenericMessagePopup(std::string_view, std::string_view message,
                                           const std::vector<std::string>& buttons, int enterChoice,
                                           int escapeChoice) {
    JournalLog& journal = platform_.journal;
    if (Is(message, Key::Mess_Ask_Demo)) {
        journal.Log(Priority::kWarning,
                    "Unattended: interface unit not found at start-up; normal mode, the "
                    "installation tries it again");
        return 1;
    }
    if (Is(message, Key::Mess_NoPlc)) {
        return RetryUnitLater();
    }
    if (const auto rest = AfterText(message, Key::TXT_MISSING_PROBE_1)) {
        const std::string_view name = rest->substr(0, rest->find(" .\n"));
        journal.Log(Priority::kWarning, "Unattended: probe " + OneLine(name) +
                                            " not found; kept active and waited for");
        return kQuestionNotAnswered;
    }
    if (Is(message, Key::BadSns_Continu)) {
        const std::optional<std::string> kept =
            platform_.keepProbeFile ? platform_.keepProbeFile() : std::string("no copy was made");
        if (!kept) {
            // A first start: nothing is lost, the installation writes the file.
            journal.Log(Priority::kNotice,
                        "Unattended: no probe file yet; the installation writes one");
            return 1;
        }
        journal.Log(Priority::kError,
                    "Unattended: probe file bad; continuing with what could be read, " + *kept);
        return 1;
    }
    if (Is(message, Key::TXT_SNS_FILE_UNREADABLE)) {
        journal.Log(Priority::kError,
                    "Unattended: probe file cannot be read; continuing without it, the file is "
                    "left as it is");
        return 1;
    }
    if (Is(message, Key::New_Installment)) {
        journal.Log(Priority::kInfo, "Unattended: going on with the network installation");
        return 1;
    }
    if (Is(message, Key::TXT_DO_YOU_WANT_SAVE)) {
        journal.Log(Priority::kInfo, "Unattended: new probe's settings saved");
        return enterChoice;
    }
    journal.Log(Priority::kWarning, "Unattended: answered \"" + ButtonText(buttons, escapeChoice) +
                                        "\" to: " + OneLine(message));
    return escapeChoice;
}

int UnattendedDialogs::RetryUnitLater() {
    constexpr int kRetry = 1;
    constexpr int kCancel = 2;
    // Only the thread that runs the station's loop can wait in it (and read
    // the settings it rereads); a question from another thread is answered
    // at once.
    if (std::this_thread::get_id() != mainThread_ || !platform_.wait) {
        platform_.journal.Log(Priority::kError,
                              "Unattended: interface unit not responding; retried at once");
        return kRetry;
    }
    const int seconds = platform_.retrySeconds ? platform_.retrySeconds() : kDefaultRetrySeconds;
    platform_.journal.Log(
        Priority::kError,
        "Unattended: interface unit not responding; next try in " + std::to_string(seconds) + " s");
    if (const std::optional<int> signal = platform_.wait(seconds)) {
        pendingSignal_.store(*signal);
        return kCancel;
    }
    return kRetry;
}

std::optional<std::string> UnattendedDialogs::PromptPopup(std::string_view,
                                                          std::string_view message, int,
                                                          std::string_view) {
    platform_.journal.Log(Priority::kWarning, "Unattended: no input given to: " + OneLine(message));
    return std::nullopt;
}

std::optional<std::string> UnattendedDialogs::FileSelectPopup(std::string_view title,
                                                              const std::string&, std::string_view,
                                                              std::string_view, bool) {
    platform_.journal.Log(Priority::kWarning, "Unattended: no file chosen for: " + OneLine(title));
    return std::nullopt;
}

std::optional<PrintTarget> UnattendedDialogs::PrinterDialog(std::string_view title,
                                                            std::string_view documentName) {
    platform_.journal.Log(Priority::kWarning,
                          "Unattended: no printer chosen for: " + OneLine(title) + " (" +
                              OneLine(documentName) + ")");
    return std::nullopt;
}

std::optional<int> UnattendedDialogs::TakePendingSignal() {
    const int signal = pendingSignal_.exchange(0);
    return signal == 0 ? std::nullopt : std::optional<int>(signal);
}

}  // namespace qrv::station
