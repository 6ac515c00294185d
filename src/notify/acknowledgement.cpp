#include "notify/acknowledgement.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <array>

#include <fmt/format.h>

namespace qrv::notify {

namespace {

// One line of plain words: control characters blank, blanks at the ends gone,
// cut at a character boundary.
std::string OneLine(std::string_view text, std::size_t limit) {
    std::string line(text);
    std::replace_if(
        line.begin(), line.end(),
        [](char c) { return static_cast<unsigned char>(c) < ' ' || c == 0x7F; }, ' ');
    const auto first = line.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    line = line.substr(first, line.find_last_not_of(' ') - first + 1);
    if (line.size() > limit) {
        std::size_t cut = limit;
        while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        line.resize(cut);
    }
    return line;
}

}  // namespace

std::string AcknowledgementMessage(std::string_view who, std::string_view comment) {
    std::string name = OneLine(who, 64);
    if (name.empty()) {
        name = "unknown user";
    }
    const std::string note = OneLine(comment, kMaxCommentLength);
    return note.empty() ? "Acknowledged by " + name : "Acknowledged by " + name + ": " + note;
}

void RecordAcknowledgement(acquisition::AlarmLog& alarmFile, LiveFeed& feed, const Clock& clock,
                           std::string_view who, std::string_view comment) {
    alarmFile.LogAlarmToDisk(AcknowledgementMessage(who, comment));
    LiveEvent event = StationEvent(LiveEventKind::kAcknowledged, clock.Now());
    event.by = OneLine(who, 64);
    event.reason = OneLine(comment, kMaxCommentLength);
    feed.Publish(event);
}

std::string AcknowledgementPrompt(std::string_view who, int taal) {
    static constexpr std::array<std::string_view, 4> kPrompt{
        "The alarm is muted and acknowledged by {}.\nComment (optional; Enter confirms, "
        "Escape skips):",
        "Der Alarm ist stummgeschaltet und von {} quittiert.\nKommentar (freiwillig; Enter "
        "bestätigt, Escape überspringt):",
        "L'alarme est coupée et acquittée par {}.\nCommentaire (facultatif ; Entrée confirme, "
        "Échap passe) :",
        "Het alarm is gedempt en bevestigd door {}.\nOpmerking (optioneel; Enter bevestigt, "
        "Escape slaat over):"};
    return fmt::format(
        fmt::runtime(kPrompt[static_cast<std::size_t>(taal >= 0 && taal < 4 ? taal : 0)]), who);
}

std::string LoginName() {
    std::array<char, 1024> buffer{};
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_name != nullptr) {
        return found->pw_name;
    }
    return "unknown user";
}

}  // namespace qrv::notify
