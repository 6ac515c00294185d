#include "web/role_refusal.h"

#include <fmt/format.h>

namespace qrv::web {

std::optional<HttpResponse> RoleRefusal(const Session& session, Role needed,
                                        const HttpRequest& request, EventLog& log) {
    if (static_cast<int>(session.role) >= static_cast<int>(needed)) {
        return std::nullopt;
    }
    log.LogMessageToDisk(fmt::format("Web request {} {} by {} refused: needs {}", request.method,
                                     request.path, session.account, RoleName(needed)));
    return ErrorResponse(403, fmt::format("this needs the role {}", RoleName(needed)));
}

}  // namespace qrv::web
