#include "support/scripted_dialogs.h"

namespace qrv {

template <typename T>
std::optional<T> ScriptedDialogs::Take() {
    if (answers_.empty() || !std::holds_alternative<T>(answers_.front())) {
        ++unexpected_;
        return std::nullopt;
    }
    T answer = std::get<T>(answers_.front());
    answers_.pop_front();
    return answer;
}

void ScriptedDialogs::MessagePopup(std::string_view title, std::string_view message) {
    popups_.push_back({Kind::Message, std::string(title), std::string(message), {}, 0, 0});
}

int ScriptedDialogs::GenericMessagePopup(std::string_view title, std::string_view message,
                                         const std::vector<std::string>& buttons, int enterChoice,
                                         int escapeChoice) {
    popups_.push_back({Kind::Generic, std::string(title), std::string(message), buttons,
                       enterChoice, escapeChoice});
    return Take<int>().value_or(escapeChoice);
}

std::optional<std::string> ScriptedDialogs::PromptPopup(std::string_view title,
                                                        std::string_view message, int maxLength,
                                                        std::string_view) {
    popups_.push_back({Kind::Prompt, std::string(title), std::string(message), {}, 0, 0});
    auto answer = Take<std::optional<std::string>>().value_or(std::nullopt);
    if (answer && maxLength >= 0 && answer->size() > static_cast<std::size_t>(maxLength)) {
        answer->resize(static_cast<std::size_t>(maxLength));
    }
    return answer;
}

std::optional<std::string> ScriptedDialogs::FileSelectPopup(std::string_view title,
                                                            const std::string& directory,
                                                            std::string_view, std::string_view,
                                                            bool) {
    popups_.push_back({Kind::FileSelect, std::string(title), directory, {}, 0, 0});
    return Take<std::optional<std::string>>().value_or(std::nullopt);
}

std::optional<PrintTarget> ScriptedDialogs::PrinterDialog(std::string_view title,
                                                          std::string_view documentName) {
    popups_.push_back({Kind::Printer, std::string(title), std::string(documentName), {}, 0, 0});
    return Take<std::optional<PrintTarget>>().value_or(std::nullopt);
}

}  // namespace qrv
