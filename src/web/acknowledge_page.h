#pragma once

#include <optional>
#include <string_view>

#include "runtime/event_log.h"
#include "web/http_message.h"
#include "web/sessions.h"

namespace qrv::web {

// The page an alarm notice links to ("/acknowledge?alarm=ROM,...&notice=ID"):
// it shows the alarms the link names and acknowledges through /api/mute,
// with the session's CSRF token like every page. The link's query only says
// which alarms to show: it grants nothing without a session.
inline constexpr std::string_view kAcknowledgePage = "/acknowledge";
// The file that holds the page.
inline constexpr std::string_view kAcknowledgePageFile = "/acknowledge.html";

bool IsAcknowledgePage(std::string_view path);

// Why the request may not have the page: without a session the way to the
// login and back here, below the operator role a 403 (logged); nothing when
// it may.
std::optional<HttpResponse> AcknowledgePageRefusal(const HttpRequest& request,
                                                   const std::optional<Session>& session,
                                                   EventLog& log);

}  // namespace qrv::web
