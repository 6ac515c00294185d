#include "web/web_server.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <vector>

#include <civetweb.h>
#include <fmt/format.h>

#include "config/web_config_section.h"
#include "web/listen_retry.h"
#include "web/tls_certificate.h"

namespace qrv::web {

namespace {

constexpr std::chrono::seconds kPing{15};
constexpr std::chrono::milliseconds kCheck{1000};
// Workers beyond the live pages for everything else at once.
constexpr int kSpareWorkers = 16;

std::string_view StatusText(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 202:
            return "Accepted";
        case 204:
            return "No Content";
        case 303:
            return "See Other";
        case 400:
            return "Bad Request";
        case 401:
            return "Unauthorized";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        case 408:
            return "Request Timeout";
        case 413:
            return "Content Too Large";
        case 415:
            return "Unsupported Media Type";
        case 429:
            return "Too Many Requests";
        case 503:
            return "Service Unavailable";
        case 504:
            return "Gateway Timeout";
        default:
            return status >= 500 ? "Internal Server Error" : "Error";
    }
}

// Keeps a header value from ending the header early.
std::string HeaderSafe(std::string_view value) {
    std::string out(value);
    std::replace_if(
        out.begin(), out.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return out;
}

bool WriteAll(mg_connection* connection, std::string_view text) {
    return text.empty() ||
           mg_write(connection, text.data(), text.size()) == static_cast<int>(text.size());
}

// head: the answer to a HEAD, its body's length without the body.
void Send(mg_connection* connection, const HttpResponse& response, bool head = false) {
    std::string text =
        fmt::format("HTTP/1.1 {} {}\r\n", response.status, StatusText(response.status));
    if (!response.contentType.empty()) {
        text += fmt::format("Content-Type: {}\r\n", response.contentType);
    }
    text += fmt::format("Content-Length: {}\r\n", response.body.size());
    for (const auto& [name, value] : response.headers) {
        text += fmt::format("{}: {}\r\n", name, HeaderSafe(value));
    }
    text += "\r\n";
    if (WriteAll(connection, text) && !head) {
        WriteAll(connection, response.body);
    }
}

// An answer the routes never saw (the request was refused before them), in
// their form: JSON, the security headers, and the connection closed.
void SendRefusal(mg_connection* connection, int status, const std::string& text) {
    HttpResponse refusal = ErrorResponse(status, text);
    AddSecurityHeaders(refusal, true);
    refusal.AddHeader("Connection", "close");
    Send(connection, refusal);
}

std::string Lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

}  // namespace

WebServer::WebServer(const Parts& parts)
    : parts_(parts),
      push_(std::make_unique<LivePush>(parts.station,
                                       static_cast<std::size_t>(parts.config.maxStreams))),
      files_(parts.pagesRoot, StaticFiles::FindChartJs()) {
    if (!parts_.reportTool.empty()) {
        reports_ = std::make_unique<ReportService>(
            parts_.reportTool, parts_.station.StationDirectory(),
            parts_.station.StationDirectory() / "web-reports",
            std::chrono::seconds(parts_.config.reportTimeoutSeconds));
    }
    app_ =
        std::make_unique<WebApp>(WebAppParts{parts_.config, parts_.station, parts_.accounts, *push_,
                                             files_, parts_.clock, parts_.log, reports_.get()});
    const bool tls = parts_.config.Tls();
    // civetweb loads OpenSSL here, once for the process, when asked to.
    const unsigned features = mg_init_library(tls ? MG_FEATURES_TLS : 0);
    if (tls && (features & MG_FEATURES_TLS) == 0) {
        problem_ = "TLS is not available: OpenSSL could not be loaded";
        return;
    }
    // A port of civetweb's with "s" serves TLS only.
    const std::string ports = parts_.config.listen + (tls ? "s" : "");
    const std::string threads = std::to_string(parts_.config.maxStreams + kSpareWorkers);
    const std::string timeout = std::to_string(parts_.config.requestTimeoutMs);
    std::vector<const char*> options{"listening_ports", ports.c_str(), "num_threads",
                                     threads.c_str(), "request_timeout_ms", timeout.c_str(),
                                     "keep_alive_timeout_ms", timeout.c_str(), "enable_keep_alive",
                                     "yes", "max_request_size", "16384",
                                     // Headers and body leave in separate writes; without
                                     // this, the small-write delay held every answer ~40 ms.
                                     "tcp_nodelay", "1",
                                     // The routes get the path as sent: decoded here, an
                                     // encoded NUL would end it early and an encoded slash
                                     // would become a separator before any route saw it.
                                     "decode_url", "no"};
    if (tls) {
        // 4: TLS 1.2 and later.
        options.insert(options.end(), {"ssl_protocol_version", "4"});
    }
    options.push_back(nullptr);
    mg_callbacks callbacks{};
    callbacks.log_message = [](const mg_connection*, const char*) { return 1; };
    // The library's own refusals (a malformed request, headers too large)
    // go out in the form of ours.
    callbacks.http_error = [](mg_connection* connection, int status, const char* message) {
        SendRefusal(connection, status,
                    message != nullptr && *message != '\0' ? message : "the request is malformed");
        return 0;
    };
    if (tls) {
        // The certificate and key are put in by us rather than by civetweb,
        // which wants them in one file and says less about what is wrong.
        callbacks.init_ssl = [](void* sslContext, void* self) {
            auto& server = *static_cast<WebServer*>(self);
            server.problem_ = UseServerCertificate(sslContext, server.parts_.config.certFile,
                                                   server.parts_.config.keyFile);
            return server.problem_.empty() ? 1 : -1;
        };
    }
    std::array<char, 256> error{};
    mg_init_data init{};
    init.callbacks = &callbacks;
    init.user_data = this;
    init.configuration_options = options.data();
    mg_error_data errorData{};
    errorData.text = error.data();
    errorData.text_buffer_size = error.size();
    context_ = mg_start2(&init, &errorData);
    if (context_ == nullptr) {
        if (problem_.empty()) {
            problem_ = fmt::format("cannot listen on {}: {}", parts_.config.listen, error.data());
            listenFailed_ = true;
        }
        return;
    }
    mg_set_request_handler(context_, "/", &WebServer::HandleRequest, this);
    std::array<mg_server_port, 4> listening{};
    if (mg_get_server_ports(context_, static_cast<int>(listening.size()), listening.data()) > 0) {
        port_ = listening[0].port;
    }
}

WebServer::~WebServer() {
    // The live pages' workers wait on their streams: closing them lets the
    // server's stop return.
    push_->CloseAll();
    if (context_ != nullptr) {
        mg_stop(context_);
    }
    push_.reset();
}

int WebServer::HandleRequest(mg_connection* connection, void* self) {
    return static_cast<WebServer*>(self)->Serve(connection);
}

int WebServer::Serve(mg_connection* connection) {
    const auto started = std::chrono::steady_clock::now();
    const mg_request_info* info = mg_get_request_info(connection);
    HttpRequest request;
    request.method = info->request_method != nullptr ? info->request_method : "";
    request.path = info->local_uri_raw != nullptr ? info->local_uri_raw : "";
    request.query = info->query_string != nullptr ? info->query_string : "";
    request.remoteAddress = info->remote_addr;
    request.tls = info->is_ssl != 0;
    for (int i = 0; i < info->num_headers; ++i) {
        request.headers[Lower(info->http_headers[i].name)] = info->http_headers[i].value;
    }
    if (info->content_length > static_cast<long long>(kMaxBodyBytes)) {
        SendRefusal(connection, 413, "the request is too large");
        return 413;
    }
    // The body comes in pieces; a client that sends it slowly must not hold
    // the worker beyond the request time as a whole. (The library restarts
    // its time-out with every byte, and after an answer reads the rest of a
    // body itself, so a body trickled a byte at a time is cut off only at
    // the end of a block.)
    const auto deadline = started + std::chrono::milliseconds(parts_.config.requestTimeoutMs);
    std::array<char, 4096> buffer{};
    while (true) {
        const int got = mg_read(connection, buffer.data(), buffer.size());
        if (got <= 0) {
            break;
        }
        request.body.append(buffer.data(), static_cast<std::size_t>(got));
        if (request.body.size() > kMaxBodyBytes) {
            SendRefusal(connection, 413, "the request is too large");
            return 413;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            SendRefusal(connection, 408, "the request took too long");
            return 408;
        }
    }
    // A body that stopped short timed out: it is not handed on cut.
    if (info->content_length >= 0 &&
        request.body.size() < static_cast<std::size_t>(info->content_length)) {
        SendRefusal(connection, 408, "the request took too long");
        return 408;
    }
    if (request.method == "GET" && request.path == "/api/events") {
        return Stream(connection, request);
    }
    const HttpResponse response = app_->Handle(request);
    Send(connection, response, request.method == "HEAD");
    return response.status;
}

int WebServer::Stream(mg_connection* connection, const HttpRequest& request) {
    const std::optional<Session> session = app_->SessionOf(request, false);
    if (!session) {
        HttpResponse refused = ErrorResponse(401, "log in first");
        AddSecurityHeaders(refused, true);
        Send(connection, refused);
        return 401;
    }
    const std::shared_ptr<PushStream> stream = push_->Subscribe(session->taal, session->id);
    if (!stream) {
        HttpResponse busy = ErrorResponse(503, "too many live pages are open");
        busy.AddHeader("Retry-After", "10");
        AddSecurityHeaders(busy, true);
        Send(connection, busy);
        return 503;
    }
    HttpResponse head;
    AddSecurityHeaders(head, true);
    std::string text =
        "HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\nConnection: close\r\n";
    for (const auto& [name, value] : head.headers) {
        text += fmt::format("{}: {}\r\n", name, value);
    }
    text += "\r\nretry: 2000\n\n";
    bool open = WriteAll(connection, text);
    auto lastWrite = std::chrono::steady_clock::now();
    while (open) {
        // Woken at least every kCheck, so that a session ended elsewhere (an
        // account removed or given a new password on the command line) ends
        // its live pages at once, not at their next reading.
        const std::optional<std::string> message = stream->Next(kCheck);
        if (!message || !app_->SessionAlive(session->id)) {
            break;
        }
        const auto now = std::chrono::steady_clock::now();
        if (!message->empty()) {
            open = WriteAll(connection, *message);
            lastWrite = now;
        } else if (now - lastWrite >= kPing) {
            open = WriteAll(connection, ": ping\n\n");
            lastWrite = now;
        }
    }
    push_->Unsubscribe(stream);
    return 200;
}

std::unique_ptr<RetriedWebServer> StartWebServer(const WebServer::Parts& parts,
                                                 std::chrono::milliseconds retryEvery) {
    if (!parts.config.enabled) {
        return nullptr;
    }
    if (parts.config.certFile.empty() != parts.config.keyFile.empty()) {
        // Plain HTTP where HTTPS was meant would send passwords in the clear.
        parts.log.LogProblem(
            "Web server not started: [web] names a certificate or a key but not both");
        return nullptr;
    }
    if (!IsLoopbackListen(parts.config.listen) && parts.accounts.Empty()) {
        parts.log.LogProblem(fmt::format(
            "Web server not started: it would listen on {} beyond this machine while no "
            "account exists (add one with: quorvanel-station user add NAME --role ROLE)",
            parts.config.listen));
        return nullptr;
    }
    auto server = std::make_unique<WebServer>(parts);
    if (!server->Running() && !server->MayListenLater()) {
        parts.log.LogProblem("Web server not started: " + server->Problem());
        return nullptr;
    }
    return std::make_unique<RetriedWebServer>(parts, std::move(server), retryEvery);
}

}  // namespace qrv::web
