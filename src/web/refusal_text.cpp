#include "web/refusal_text.h"

#include <sys/socket.h>

#include <microhttpd.h>

#include <fmt/format.h>

#include "web/web_app.h"

namespace qrv::web {

HttpResponse Refusal(int status, const std::string& text, bool tls) {
    HttpResponse refusal = ErrorResponse(status, text);
    AddSecurityHeaders(refusal, true);
    AddTransportHeaders(refusal, tls);
    return refusal;
}

void AddTransportHeaders(HttpResponse& response, bool tls) {
    if (tls) {
        response.AddHeader("Strict-Transport-Security", "max-age=31536000");
    }
}

std::string AnswerBytes(const HttpResponse& response) {
    const char* reason = MHD_get_reason_phrase_for(static_cast<unsigned>(response.status));
    std::string text =
        fmt::format("HTTP/1.1 {} {}\r\n", response.status, reason != nullptr ? reason : "Error");
    if (!response.contentType.empty()) {
        text += fmt::format("Content-Type: {}\r\n", response.contentType);
    }
    text += fmt::format("Content-Length: {}\r\n", response.body.size());
    for (const auto& [name, value] : response.headers) {
        text += fmt::format("{}: {}\r\n", name, value);
    }
    text += "Connection: close\r\n\r\n";
    return text + response.body;
}

void SendWithoutWaiting(int fd, const std::string& bytes) {
    [[maybe_unused]] const ssize_t sent =
        ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
}

}  // namespace qrv::web
