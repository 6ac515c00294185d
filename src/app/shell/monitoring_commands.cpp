#include "app/shell/monitoring_commands.h"

#include <fmt/format.h>

#include "acquisition/alarm_texts.h"
#include "acquisition/sms_handoff.h"
#include "app/shell/commands.h"
#include "onewire/nodex_session.h"
#include "onewire/port_check.h"
#include "runtime/encoding.h"
#include "runtime/text_file.h"
#include "station/live_monitoring.h"
#include "station/station_commands.h"
#include "station/status_fields.h"
#include "text/texts.h"

namespace qrv::shell {

using text::Key;

namespace {

constexpr int kPhoneNameInputLength = 20;
constexpr int kTestMessageInputLength = 79;

void Message(const ShellServices& services, int taal, Key key) {
    services.dialogs.MessagePopup(text::Raw(Key::QRVNL_TEXT, taal), text::Plain(key, taal));
}

int Ask(const ShellServices& services, int taal, std::string_view question, Key first, Key second,
        int enterChoice, int escapeChoice) {
    return services.dialogs.GenericMessagePopup(
        text::Raw(Key::QRVNL_TEXT, taal), question,
        {std::string(text::Raw(first, taal)), std::string(text::Raw(second, taal))}, enterChoice,
        escapeChoice);
}

// A text the settings file can hold as it is: no control characters, only
// characters of Windows-1252, and not too long.
bool FitsSettingsFile(std::string_view text, std::size_t maxLength) {
    const std::string bytes = Utf8ToCp1252(text);
    return bytes.size() <= maxLength && Cp1252ToUtf8(bytes) == text &&
           BlankControlCharacters(text) == text;
}

std::optional<Key> SmsResultPopup(int result) {
    switch (result) {
        case acquisition::kSmsSent:
            return Key::TXT_TEST_SMS_was_send;
        case acquisition::kSmsNotConfigured:
            return Key::TXT_TEST_SMS_not_found;
        case acquisition::kSmsNotStarted:
            return Key::TXT_TEST_SMS_not_started;
        case acquisition::kSmsTimeout:
            return Key::TXT_TEST_SMS_timeout;
        case acquisition::kSmsTooFast:
            return Key::TXT_TEST_SMS_fast_error;
        case acquisition::kSmsStopped:
            return std::nullopt;  // the station is shutting down
        default:
            return Key::TXT_TEST_SMS_unknown;
    }
}

}  // namespace

bool CheckIfSmsServerIsAavailable(const StationState& state) {
    return acquisition::CheckIfSmsServerIsAavailable(state.settings);
}

void StopTheNetwork(StationState& state, const ShellServices& services) {
    if (state.NetWorkInstalled == 0) {
        return;
    }
    const int taal = state.settings.Taal;
    if (Ask(services, taal, text::Raw(Key::TXT_StopNetwork, taal), Key::ButtonYes, Key::ButtonNo, 2,
            2) != 1) {
        return;
    }
    StopNetwork(state, services, Via::kWindow);
}

void TestAlarmRelais(StationState& state, const ShellServices& services) {
    const int taal = state.settings.Taal;
    if (state.NetWorkInstalled == 0) {
        services.display.Beep();
        Message(services, taal, Key::NotActiveNetwork);
        return;
    }
    if (Ask(services, taal, text::Raw(Key::TXT_Relais_On_Sure, taal), Key::ButtonCont,
            Key::ButtonStop, 2, 2) != 1) {
        return;
    }
    // The relay goes off on a timer five seconds later; the window stays
    // usable meanwhile and the item is dimmed until then.
    services.monitoring.Acquisition().Cycle().StartRelayTest();
}

void LinkSmsCentre(StationState& state, const ShellServices& services) {
    const int taal = state.settings.Taal;
    const std::filesystem::path current = state.settings.SmSProgramSource;
    const std::string directory =
        FileExists(current) ? current.parent_path().string() : state.paths.CurrentDirName.string();
    const auto chosen = services.dialogs.FileSelectPopup(
        text::Plain(Key::TXT_SELECT_FILE, taal), directory,
        FileExists(current) ? current.filename().string() : std::string(), "*", false);
    if (!chosen || !FileExists(*chosen)) {
        return;
    }
    if (!FitsSettingsFile(*chosen, kMaxSmsProgramLength)) {
        Message(services, taal, Key::TXT_SMS_INPUT_ERROR);
        return;
    }
    SystemSettings changed = state.settings;
    changed.SmSProgramSource = *chosen;
    StoreSettings(state, services, changed);
}

void SetPhoneName(StationState& state, const ShellServices& services) {
    const int taal = state.settings.Taal;
    const std::string question = text::Plain(Key::TXT_SMS_DESTINATION, taal) + "\n\n" +
                                 text::Plain(Key::TXT_SMS_CURRENT_DEST, taal) +
                                 state.settings.SmSDestination;
    const auto input = services.dialogs.PromptPopup(text::Raw(Key::QRVNL_TEXT, taal), question,
                                                    kPhoneNameInputLength, "");
    if (!input) {
        return;
    }
    // The name is looked up as typed: never shortened to its first word.
    const std::string_view typed(*input);
    const auto first = typed.find_first_not_of(' ');
    const std::string name(first == std::string_view::npos
                               ? std::string_view()
                               : typed.substr(first, typed.find_last_not_of(' ') - first + 1));
    const std::string title(text::Raw(Key::QRVNL_TEXT, taal));
    if (name.find(' ') != std::string::npos) {
        services.dialogs.MessagePopup(
            title, fmt::format(fmt::runtime(text::Plain(Key::TXT_SMS_NAME_ONE_WORD, taal)), name));
        return;
    }
    if (const std::string missing = CharactersNotInCp1252(name); !missing.empty()) {
        services.dialogs.MessagePopup(
            title, fmt::format(fmt::runtime(text::Plain(Key::TXT_NOT_IN_CP1252, taal)), missing));
        return;
    }
    if (name.empty() || !FitsSettingsFile(name, kMaxSmsDestinationLength)) {
        Message(services, taal, Key::TXT_SMS_INPUT_ERROR);
        return;
    }
    SystemSettings changed = state.settings;
    changed.SmSDestination = name;
    StoreSettings(state, services, changed);
}

void SendTestMessage(StationState& state, const ShellServices& services) {
    const int taal = state.settings.Taal;
    const auto input = services.dialogs.PromptPopup(text::Raw(Key::QRVNL_TEXT, taal),
                                                    text::Plain(Key::TXT_SENT_TEST_SMS, taal),
                                                    kTestMessageInputLength, "");
    if (!input) {
        return;
    }
    if (input->empty()) {
        Message(services, taal, Key::TXT_SMS_INPUT_ERROR);
        return;
    }
    const std::string networkName = state.sensors.Lock()->NetworkName;
    const std::string text =
        acquisition::TestSmsText(*input, taal, services.clock.Now(), networkName);
    // The result comes back when the program has run (11 to 61 seconds);
    // the window stays usable meanwhile.
    Dialogs& dialogs = services.dialogs;
    services.monitoring.Acquisition().Sms().SendTestMessage(text, [&dialogs, taal](int result) {
        if (const auto key = SmsResultPopup(result)) {
            dialogs.MessagePopup(text::Raw(Key::QRVNL_TEXT, taal), text::Plain(*key, taal));
        }
    });
}

}  // namespace qrv::shell
