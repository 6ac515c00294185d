#include "notify/acknowledgement.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <array>

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
    // The limit counts characters: a cut never splits one.
    std::size_t end = 0;
    for (std::size_t characters = 0; end < line.size() && characters < limit; ++characters) {
        ++end;
        while (end < line.size() && (static_cast<unsigned char>(line[end]) & 0xC0) == 0x80) {
            ++end;
        }
    }
    line.resize(end);
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
