#pragma once

#include <string>

#include "web/http_message.h"

namespace qrv::web {

// An answer the routes never saw (the request was refused before them), in
// their form: JSON with the security headers, and Strict-Transport-Security
// over TLS.
HttpResponse Refusal(int status, const std::string& text, bool tls);

// What every answer of a TLS server carries besides the routes' headers:
// browsers then never try this station over plain HTTP again.
void AddTransportHeaders(HttpResponse& response, bool tls);

// A whole HTTP/1.1 answer as bytes, with "Connection: close", for the
// refusals sent before or beside the server library (the connection
// refused at accept, a malformed head, a request out of time).
std::string AnswerBytes(const HttpResponse& response);

// Sends as much of bytes as the socket takes now: a refusal is small and the
// connection is closed after it either way.
void SendWithoutWaiting(int fd, const std::string& bytes);

}  // namespace qrv::web
