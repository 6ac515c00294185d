#include "web/acknowledge_page.h"

#include <fmt/format.h>

#include "web/role_refusal.h"

namespace qrv::web {

namespace {

// Every byte but the unreserved ones percent-encoded: the page's own path
// and query go into the login's next= whatever the link held.
std::string QueryEncoded(std::string_view text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
            (byte >= '0' && byte <= '9') || c == '-' || c == '_' || c == '.' || c == '~') {
            out += c;
        } else {
            out += fmt::format("%{:02X}", byte);
        }
    }
    return out;
}

}  // namespace

bool IsAcknowledgePage(std::string_view path) {
    return path == kAcknowledgePage || path == kAcknowledgePageFile;
}

std::optional<HttpResponse> AcknowledgePageRefusal(const HttpRequest& request,
                                                   const std::optional<Session>& session,
                                                   EventLog& log) {
    if (!session) {
        // From a phone's notification straight to the login, and back to
        // the alarm after it.
        std::string here(kAcknowledgePage);
        if (!request.query.empty()) {
            here += "?" + request.query;
        }
        HttpResponse response;
        response.status = 303;
        response.contentType = "text/plain; charset=utf-8";
        response.AddHeader("Location", "/login.html?next=" + QueryEncoded(here));
        return response;
    }
    return RoleRefusal(*session, Role::kOperator, request, log);
}

}  // namespace qrv::web
