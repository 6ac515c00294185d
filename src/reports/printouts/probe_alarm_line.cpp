#include "reports/printouts/probe_alarm_line.h"

#include "text/texts.h"

namespace qrv {

namespace {

using text::Key;

constexpr std::string_view kGap = "  ";

std::string_view Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The lost probe's label, the one without a colon, as the station writes it
// in any of its languages: the file keeps the lines of a language changed
// since. Nothing follows the name on its line.
std::optional<std::string_view> LostLabelOf(std::string_view message) {
    for (int taal = 0; taal < text::kLanguageCount; ++taal) {
        const std::string_view lost = text::Raw(Key::TXT_LOG_ALARM_LOST_SENSOR, taal);
        if (message.starts_with(lost) && message.substr(lost.size()).starts_with(kGap)) {
            return message.substr(0, lost.size());
        }
    }
    return std::nullopt;
}

bool IsSwitchContact(std::string_view tail) {
    for (int taal = 0; taal < text::kLanguageCount; ++taal) {
        for (const Key key : {Key::TXT_SWITCH_OPEN, Key::TXT_SWITCH_CLOSED}) {
            if (tail == " " + text::Plain(key, taal)) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace

std::optional<ProbeAlarmLine> ProbeAlarmLineOf(std::string_view message, std::string_view name,
                                               bool switchValues) {
    if (name.empty()) {
        return std::nullopt;
    }
    if (const std::optional<std::string_view> lost = LostLabelOf(message)) {
        if (message.substr(lost->size() + kGap.size()) != name) {
            return std::nullopt;
        }
        return ProbeAlarmLine{std::string(*lost), {}};
    }
    // Every other label ends in the first colon followed by two blanks.
    const std::size_t colon = message.find(":  ");
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view rest = message.substr(colon + 1 + kGap.size());
    if (!rest.starts_with(name)) {
        return std::nullopt;
    }
    rest.remove_prefix(name.size());
    if (!rest.empty() && !rest.starts_with(kGap) && !(switchValues && IsSwitchContact(rest))) {
        return std::nullopt;
    }
    return ProbeAlarmLine{std::string(message.substr(0, colon + 1)), std::string(Trimmed(rest))};
}

}  // namespace qrv
