#pragma once

#include <optional>

#include "runtime/event_log.h"
#include "web/accounts.h"
#include "web/http_message.h"
#include "web/sessions.h"

namespace qrv::web {

// The 403 of a request whose session's role is below `needed`, with its log
// line; nothing when the role suffices. One answer for the API and the pages.
std::optional<HttpResponse> RoleRefusal(const Session& session, Role needed,
                                        const HttpRequest& request, EventLog& log);

}  // namespace qrv::web
