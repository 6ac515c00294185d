#include "station/popups.h"

#include <string>
#include <vector>

#include "text/texts.h"

namespace qrv::shell {

void Tell(const ShellServices& services, int taal, std::string_view message) {
    services.dialogs.MessagePopup(text::Raw(text::Key::QRVNL_TEXT, taal), message);
}

void Tell(const ShellServices& services, int taal, text::Key message) {
    Tell(services, taal, text::Plain(message, taal));
}

int Ask(const ShellServices& services, int taal, std::string_view question,
        std::initializer_list<text::Key> buttons, int enterChoice, int escapeChoice) {
    std::vector<std::string> labels;
    labels.reserve(buttons.size());
    for (const text::Key button : buttons) {
        labels.emplace_back(text::Raw(button, taal));
    }
    return services.dialogs.GenericMessagePopup(text::Raw(text::Key::QRVNL_TEXT, taal), question,
                                                labels, enterChoice, escapeChoice);
}

int Ask(const ShellServices& services, int taal, text::Key question,
        std::initializer_list<text::Key> buttons, int enterChoice, int escapeChoice) {
    return Ask(services, taal, text::Plain(question, taal), buttons, enterChoice, escapeChoice);
}

}  // namespace qrv::shell
