#pragma once

#include <string>
#include <string_view>

#include "acquisition/alarm_log.h"
#include "feed/live_feed.h"
#include "runtime/clock.h"

namespace qrv::notify {

// The alarm-file message "Acknowledged by NAME: comment" ("Acknowledged by
// NAME" without a comment). Line breaks and control characters in either
// become blanks, so an acknowledgement is always one line; a comment keeps
// kMaxCommentLength characters.
std::string AcknowledgementMessage(std::string_view who, std::string_view comment);

// Records who took care of the standing alarms: a line in the alarm file
// and a kAcknowledged event on the feed.
void RecordAcknowledgement(acquisition::AlarmLog& alarmFile, LiveFeed& feed, const Clock& clock,
                           std::string_view who, std::string_view comment);

// The desktop user's login name ("unknown user" when the system has none).
std::string LoginName();

}  // namespace qrv::notify
