#pragma once

#include <string>
#include <vector>

#include "notify/notice.h"

namespace qrv::notify {

// A notice put into words for every channel, in the station's language.
struct Message {
    // The e-mail subject and the push title: state and probe name first.
    std::string title;
    // The whole text: probe, value with unit, the limit crossed, the time,
    // the station and how long the alarm has stood.
    std::string text;
    // What the SMS program is given: the station's SMS form for a new or
    // worse alarm, a short text otherwise.
    std::string smsText;
    // ntfy's priority: 5 urgent (alarms), 4 high (pre-alarms), 3 default.
    int priority = 3;
    // The webhook's JSON document, ntfy's title, message, priority, tags and
    // sequence_id included.
    std::string document;
    // The notice's id, kind and alarms (AlarmKeyOf; none for a test), which
    // decide what a later message supersedes.
    std::string id;
    NoticeKind kind = NoticeKind::kTest;
    std::vector<std::string> alarms;
    // When the notice was made, as a mail's Date header has it (RFC 5322):
    // the same on every attempt, as the Message-ID is.
    std::string date;
};

// "Tue, 08 Dec 2026 03:12:00 +0100": the station's local time with the
// offset from UTC it has at that moment.
std::string MailDate(const LocalDateTime& when);

// The state's words ("High Alarm", "Probe lost", ...; "Alarm ended" for none).
std::string StateText(int state, int taal);
// "1 h 05 min", "12 min", in the language.
std::string DurationText(double seconds, int taal);

// publicUrl: the dashboard's address as the contacts reach it; a notice
// about a standing alarm then carries the link to the page that
// acknowledges it (in the text, and as ntfy's view action). Empty for none.
Message MessageOf(const Notice& notice, int taal, const std::string& stationName,
                  const std::string& topic, const std::string& publicUrl);

// The page of the dashboard that acknowledges the notice's alarms (which the
// link names, with the notice's id); empty when the notice is about no
// standing alarm or there is no publicUrl.
std::string AcknowledgeLink(const std::string& publicUrl, const Notice& notice);

// The test message from the Alarm menu for one contact.
Notice TestNotice(int contact, const LocalDateTime& when);

}  // namespace qrv::notify
