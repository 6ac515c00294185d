#include "app/shell/notify_commands.h"

#include <charconv>

#include <fmt/format.h>

#include "notify/acknowledgement.h"
#include "station/live_monitoring.h"
#include "text/texts.h"

namespace qrv::shell {

using text::Key;

void TestContacts(StationState& state, const ShellServices& services) {
    const int taal = state.settings.Taal;
    const std::string title(text::Raw(Key::QRVNL_TEXT, taal));
    notify::Notifier* notifier = services.monitoring.Notifications();
    if (notifier == nullptr) {
        services.dialogs.MessagePopup(title, text::Plain(Key::TXT_NOTIFY_NO_CONTACTS, taal));
        return;
    }
    const std::vector<NotifyContact>& contacts = notifier->Contacts();
    std::string list;
    for (std::size_t i = 0; i < contacts.size(); ++i) {
        list +=
            fmt::format("{}  {} ({})\n", i + 1, contacts[i].name, ChannelName(contacts[i].channel));
    }
    const std::optional<std::string> answer = services.dialogs.PromptPopup(
        title,
        fmt::format("{}\n\n{}\n{}", text::Plain(Key::TXT_NOTIFY_TEST_CHOOSE, taal), list,
                    text::Plain(Key::TXT_NOTIFY_TEST_NUMBER, taal)),
        3, "0");
    if (!answer) {
        return;
    }
    const std::string_view typed(*answer);
    const auto first = typed.find_first_not_of(' ');
    const auto last = typed.find_last_not_of(' ');
    int number = -1;
    if (first != std::string_view::npos) {
        const auto [end, error] =
            std::from_chars(typed.data() + first, typed.data() + last + 1, number);
        if (error != std::errc() || end != typed.data() + last + 1) {
            number = -1;
        }
    }
    if (number < 0 || number > static_cast<int>(contacts.size())) {
        services.dialogs.MessagePopup(title, text::Plain(Key::TXT_SMS_INPUT_ERROR, taal));
        return;
    }
    for (int i = 0; i < static_cast<int>(contacts.size()); ++i) {
        if (number == 0 || number == i + 1) {
            services.monitoring.SendTestMessage(i, notify::LoginName(), Via::kWindow);
        }
    }
}

}  // namespace qrv::shell
