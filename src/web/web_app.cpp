#include "web/web_app.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "feed/live_feed.h"
#include "runtime/encoding.h"
#include "text/texts.h"
#include "web/acknowledge_page.h"
#include "web/day_data.h"
#include "web/json_text.h"
#include "web/metrics.h"
#include "web/role_refusal.h"

namespace qrv::web {

namespace {

using nlohmann::json;

constexpr int kDefaultTailLines = 500;
constexpr int kMaxTailLines = 100000;

bool HasEncodedNul(std::string_view text) {
    return text.find("%00") != std::string_view::npos || text.find('\0') != std::string_view::npos;
}

bool Changes(const std::string& method) {
    return method == "POST" || method == "PUT" || method == "DELETE" || method == "PATCH";
}

// Equal texts, in a time that does not tell how much of them matched.
bool SameSecret(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    unsigned char diff = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    }
    return diff == 0;
}

std::optional<json> JsonBody(const HttpRequest& request) {
    if (request.body.empty()) {
        return json::object();
    }
    json body = json::parse(request.body, nullptr, false);
    if (body.is_discarded() || !body.is_object()) {
        return std::nullopt;
    }
    return body;
}

std::string SessionJson(const Session& session, double idleSeconds) {
    return json{{"name", session.account},
                {"role", RoleName(session.role)},
                {"language", LanguageCode(session.taal)},
                {"csrf", session.csrf},
                {"idleTimeoutSeconds", static_cast<int>(idleSeconds)}}
        .dump();
}

std::string CookieHeader(const std::string& value, bool tls, bool clear) {
    return fmt::format("{}={}; Path=/; HttpOnly; SameSite=Strict{}{}", kSessionCookie, value,
                       tls ? "; Secure" : "", clear ? "; Max-Age=0" : "");
}

HttpResponse TextFile(const std::filesystem::path& file, const std::string& query) {
    int lines = kDefaultTailLines;
    if (const auto asked = QueryValue(query, "lines")) {
        int value = 0;
        const auto [end, error] =
            std::from_chars(asked->data(), asked->data() + asked->size(), value);
        if (error != std::errc() || end != asked->data() + asked->size() || value < 1 ||
            value > kMaxTailLines) {
            return ErrorResponse(400, fmt::format("lines must be 1 to {}", kMaxTailLines));
        }
        lines = value;
    }
    std::ifstream in(file, std::ios::binary);
    std::string text;
    if (in) {
        std::stringstream bytes;
        bytes << in.rdbuf();
        text = bytes.str();
    }
    // The last lines: a final line break ends the last line, it starts none.
    std::size_t start = text.size();
    if (start > 0 && text[start - 1] == '\n') {
        --start;
    }
    for (int seen = 0; seen < lines && start > 0; ++seen) {
        const std::size_t found = text.rfind('\n', start - 1);
        start = found == std::string::npos ? 0 : found;
    }
    if (start > 0) {
        ++start;
    }
    HttpResponse response;
    response.contentType = "text/plain; charset=utf-8";
    response.body = Cp1252ToUtf8(std::string_view(text).substr(start));
    return response;
}

}  // namespace

HttpResponse ErrorResponse(int status, const std::string& text) {
    return JsonResponse(status, JsonText(json{{"error", text}}));
}

HttpResponse JsonResponse(int status, const std::string& body) {
    HttpResponse response;
    response.status = status;
    response.body = body;
    return response;
}

std::string CookieValue(const std::string& header, std::string_view name) {
    std::string_view rest = header;
    while (!rest.empty()) {
        const std::size_t end = rest.find(';');
        std::string_view item = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        while (!item.empty() && item.front() == ' ') {
            item.remove_prefix(1);
        }
        const std::size_t equals = item.find('=');
        if (equals != std::string_view::npos && item.substr(0, equals) == name) {
            return std::string(item.substr(equals + 1));
        }
    }
    return {};
}

std::optional<std::string> PercentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c != '%') {
            out += c;
        } else {
            if (i + 2 >= text.size()) {
                return std::nullopt;
            }
            int value = 0;
            const auto [end, error] =
                std::from_chars(text.data() + i + 1, text.data() + i + 3, value, 16);
            if (error != std::errc() || end != text.data() + i + 3 || value == 0) {
                return std::nullopt;
            }
            out += static_cast<char>(value);
            i += 2;
        }
    }
    return out;
}

std::optional<std::string> QueryValue(const std::string& query, std::string_view name) {
    std::string_view rest = query;
    while (!rest.empty()) {
        const std::size_t end = rest.find('&');
        const std::string_view item = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        const std::size_t equals = item.find('=');
        if (item.substr(0, equals) == name) {
            return equals == std::string_view::npos ? std::string()
                                                    : PercentDecode(item.substr(equals + 1));
        }
    }
    return std::nullopt;
}

void AddSecurityHeaders(HttpResponse& response, bool api) {
    response.AddHeader("Content-Security-Policy",
                       "default-src 'self'; img-src 'self' data:; style-src 'self'; "
                       "script-src 'self'; connect-src 'self'; frame-ancestors 'none'; "
                       "base-uri 'none'; form-action 'self'");
    response.AddHeader("X-Content-Type-Options", "nosniff");
    response.AddHeader("Referrer-Policy", "no-referrer");
    response.AddHeader("X-Frame-Options", "DENY");
    response.AddHeader("Cache-Control", api ? "no-store" : "no-cache");
}

bool IsJsonType(std::string_view contentType) {
    std::string_view type = contentType.substr(0, contentType.find(';'));
    while (!type.empty() && (type.back() == ' ' || type.back() == '\t')) {
        type.remove_suffix(1);
    }
    constexpr std::string_view kJson = "application/json";
    return type.size() == kJson.size() &&
           std::equal(type.begin(), type.end(), kJson.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == b;
           });
}

WebApp::WebApp(const WebAppParts& parts)
    : parts_(parts),
      sessions_(SessionLimits{parts.config.sessionIdleMinutes * 60.0,
                              parts.config.sessionLifetimeHours * 3600.0}) {}

std::optional<Session> WebApp::SessionOf(const HttpRequest& request, bool touch) {
    const std::string id = CookieValue(request.Header("cookie"), kSessionCookie);
    if (id.empty()) {
        return std::nullopt;
    }
    const bool byUser = touch && request.Header(std::string(kBackgroundHeader)) != "1";
    return Valid(sessions_.Find(id, parts_.clock.Timer(), byUser));
}

bool WebApp::SessionAlive(const std::string& id) {
    return Valid(sessions_.Find(id, parts_.clock.Timer(), false)).has_value();
}

std::optional<Session> WebApp::Valid(std::optional<Session> session) {
    if (!session) {
        return std::nullopt;
    }
    // Accounts are changed on the command line, by another process: a
    // removed account, another role or a new password ends the sessions
    // (and the live pages) of the old one.
    parts_.accounts.ReloadIfChanged();
    const std::optional<Account> account = parts_.accounts.Find(session->account);
    if (!account || account->role != session->role || account->hash != session->credential) {
        sessions_.End(session->id);
        parts_.push.CloseSession(session->id);
        return std::nullopt;
    }
    return session;
}

HttpResponse WebApp::Handle(const HttpRequest& request) {
    HttpResponse response;
    // A HEAD is answered as its GET would be; the server leaves out the body.
    const bool head = request.method == "HEAD";
    if (request.body.size() > kMaxBodyBytes) {
        response = ErrorResponse(413, "the request is too large");
    } else if (HasEncodedNul(request.path) || HasEncodedNul(request.query)) {
        // Everything below works on C strings at some point: a NUL would
        // cut a name short after it was checked.
        response = ErrorResponse(400, "the request holds a NUL character");
    } else {
        try {
            if (head) {
                HttpRequest asGet = request;
                asGet.method = "GET";
                response = Route(asGet);
            } else {
                response = Route(request);
            }
        } catch (const std::exception& error) {
            parts_.log.LogMessageToDisk(
                fmt::format("Web request {} failed: {}", request.path, error.what()));
            response = ErrorResponse(500, "the station could not answer");
        }
    }
    const bool page = (request.method == "GET" || head) && !request.path.starts_with("/api/") &&
                      request.path != "/metrics";
    AddSecurityHeaders(response, !page);
    return response;
}

HttpResponse WebApp::Route(const HttpRequest& request) {
    const std::string& path = request.path;
    if (path == "/metrics") {
        return request.method == "GET" ? Metrics(request) : ErrorResponse(405, "GET only");
    }
    if (path == "/api/login") {
        return request.method == "POST" ? Login(request) : ErrorResponse(405, "POST only");
    }
    std::optional<Session> session = SessionOf(request);
    if (!path.starts_with("/api/")) {
        if (request.method != "GET" && request.method != "HEAD") {
            return ErrorResponse(405, "GET only");
        }
        if (IsAcknowledgePage(path)) {
            if (auto refused = AcknowledgePageRefusal(request, session, parts_.log)) {
                return *refused;
            }
            HttpRequest page = request;
            page.path = kAcknowledgePageFile;
            return Static(page, session);
        }
        return Static(request, session);
    }
    if (!session) {
        return ErrorResponse(401, "log in first");
    }
    if (Changes(request.method) &&
        !SameSecret(request.Header(std::string(kCsrfHeader)), session->csrf)) {
        parts_.log.LogMessageToDisk(fmt::format("Web request {} {} by {} refused: no CSRF token",
                                                request.method, path, session->account));
        return ErrorResponse(403, "missing or wrong CSRF token");
    }
    return Api(request, *session);
}

HttpResponse WebApp::Login(const HttpRequest& request) {
    if (!IsJsonType(request.Header("content-type"))) {
        return ErrorResponse(415, "the login is sent as JSON");
    }
    const std::optional<json> body = JsonBody(request);
    if (!body || !body->contains("name") || !body->contains("password") ||
        !(*body)["name"].is_string() || !(*body)["password"].is_string()) {
        return ErrorResponse(400, R"(the login needs "name" and "password")");
    }
    const std::string name = (*body)["name"].get<std::string>();
    const std::string password = (*body)["password"].get<std::string>();
    if (password.size() > kMaxPasswordBytes) {
        // No account has such a password: refused before any name is looked
        // up or any hash computed, so the time tells nothing.
        return ErrorResponse(400,
                             fmt::format("a password has at most {} bytes", kMaxPasswordBytes));
    }
    if (name.empty() || name.size() > 64) {
        return ErrorResponse(401, "wrong name or password");
    }
    const std::string shownName = IsAccountName(name) ? name : "(not an account name)";
    std::optional<CheckQueue::Place> place = checks_.Enter();
    if (!place) {
        HttpResponse busy = ErrorResponse(503, "too many logins at once; try again");
        busy.AddHeader("Retry-After", "1");
        return busy;
    }
    const double wait = throttle_.Begin(name, request.remoteAddress, parts_.clock.Timer());
    if (wait > 0.0) {
        const int seconds = static_cast<int>(std::ceil(wait));
        HttpResponse response = JsonResponse(
            429,
            JsonText(json{{"error", "too many failed logins; wait"}, {"retryAfter", seconds}}));
        response.AddHeader("Retry-After", std::to_string(seconds));
        return response;
    }
    if (const std::string problem = parts_.accounts.ReloadIfChanged(); !problem.empty()) {
        parts_.log.LogProblem("Web accounts: " + problem);
    }
    const std::optional<Account> account =
        place->Run([&] { return parts_.accounts.Verify(name, password); });
    place.reset();
    if (!account) {
        parts_.log.LogMessageToDisk(
            fmt::format("Web login failed for {} from {}", shownName, request.remoteAddress));
        return ErrorResponse(401, "wrong name or password");
    }
    throttle_.Succeeded(name, request.remoteAddress);
    const std::string previous = CookieValue(request.Header("cookie"), kSessionCookie);
    if (!previous.empty()) {
        sessions_.End(previous);
        parts_.push.CloseSession(previous);
    }
    const std::optional<Session> created = sessions_.Create(*account, parts_.clock.Timer());
    if (!created) {
        parts_.log.LogProblem(fmt::format("Web login by {} refused: {} sessions are open",
                                          account->name, SessionStore::kMaxSessions));
        return ErrorResponse(503, "too many sessions are open");
    }
    const Session& session = *created;
    parts_.log.LogMessageToDisk(fmt::format("Web login by {} ({}) from {}", account->name,
                                            RoleName(account->role), request.remoteAddress));
    HttpResponse response = JsonResponse(200, SessionJson(session, sessions_.IdleSeconds()));
    response.AddHeader("Set-Cookie", CookieHeader(session.id, request.tls, false));
    return response;
}

HttpResponse WebApp::Static(const HttpRequest& request, const std::optional<Session>& session) {
    if (!session && !IsPublicPath(request.path)) {
        if (IsPagePath(request.path)) {
            HttpResponse response;
            response.status = 303;
            response.contentType = "text/plain; charset=utf-8";
            response.AddHeader("Location", "/login.html");
            return response;
        }
        return ErrorResponse(401, "log in first");
    }
    const std::optional<std::filesystem::path> file = parts_.files.Resolve(request.path);
    if (!file) {
        return ErrorResponse(404, "no such page");
    }
    std::ifstream in(*file, std::ios::binary);
    std::error_code error;
    if (!in || !std::filesystem::is_regular_file(*file, error)) {
        return ErrorResponse(404, "no such page");
    }
    std::stringstream bytes;
    bytes << in.rdbuf();
    HttpResponse response;
    response.contentType = std::string(ContentTypeOf(*file));
    response.body = bytes.str();
    return response;
}

HttpResponse WebApp::Api(const HttpRequest& request, const Session& session) {
    const std::string& path = request.path;
    const std::string& method = request.method;
    const auto refuse = [&](Role needed) {
        return RoleRefusal(session, needed, request, parts_.log);
    };
    const auto only = [&](std::string_view wanted) -> std::optional<HttpResponse> {
        if (method == wanted) {
            return std::nullopt;
        }
        return ErrorResponse(405, fmt::format("{} only", wanted));
    };

    if (path == "/api/session") {
        if (auto bad = only("GET")) {
            return *bad;
        }
        return JsonResponse(200, SessionJson(session, sessions_.IdleSeconds()));
    }
    if (path == "/api/logout") {
        if (auto bad = only("POST")) {
            return *bad;
        }
        sessions_.End(session.id);
        parts_.push.CloseSession(session.id);
        parts_.log.LogMessageToDisk(fmt::format("Web logout by {}", session.account));
        HttpResponse response = JsonResponse(204, "");
        response.contentType.clear();
        response.AddHeader("Set-Cookie", CookieHeader("", request.tls, true));
        return response;
    }
    if (path == "/api/session/language") {
        if (auto bad = only("POST")) {
            return *bad;
        }
        const std::optional<json> body = JsonBody(request);
        if (!body || !body->contains("language") || !(*body)["language"].is_string() ||
            !LanguageIndex((*body)["language"].get<std::string>())) {
            return ErrorResponse(400, "the language must be en, de, fr or nl");
        }
        const std::string code = (*body)["language"].get<std::string>();
        if (std::string problem = parts_.accounts.SetLanguage(session.account, code);
            !problem.empty()) {
            return ErrorResponse(500, problem);
        }
        sessions_.SetLanguage(session.account, *LanguageIndex(code));
        return JsonResponse(200, JsonText(json{{"language", code}}));
    }
    if (method != "GET" && !path.starts_with("/api/mute") && path != "/api/unmute" &&
        path != "/api/test-sms") {
        return ErrorResponse(405, "GET only");
    }
    if (path == "/api/texts") {
        json texts = json::object();
        for (std::size_t i = 0; i < text::Catalogue().size(); ++i) {
            const auto key = static_cast<text::Key>(i);
            texts[std::string(text::Catalogue()[i].name)] = text::Plain(key, session.taal);
        }
        return JsonResponse(
            200, JsonText(json{{"language", LanguageCode(session.taal)}, {"texts", texts}}));
    }
    if (path == "/api/live") {
        return JsonResponse(200, SnapshotJson(parts_.push.Snapshot(session.taal)));
    }
    if (path == "/api/events") {
        // The server answers the stream itself; a request reaching here has
        // no stream to get.
        return ErrorResponse(400, "the push stream needs a streaming connection");
    }
    if (path.starts_with("/api/probes/")) {
        return ProbeRoute(path.substr(std::string_view("/api/probes/").size()), parts_.station,
                          parts_.push.Snapshot(session.taal), session.taal);
    }
    if (path == "/api/days" || path.starts_with("/api/days/")) {
        return DayRoute(path, request.query, parts_.station, parts_.push.Snapshot(session.taal));
    }
    if (path == "/api/mute" || path == "/api/unmute") {
        if (auto bad = refuse(Role::kOperator)) {
            return *bad;
        }
        if (auto bad = only("POST")) {
            return *bad;
        }
        const bool mute = path == "/api/mute";
        std::string comment;
        if (mute) {
            const std::optional<json> body = JsonBody(request);
            if (!body) {
                return ErrorResponse(400, "the body must be a JSON object");
            }
            if (body->contains("comment")) {
                if (!(*body)["comment"].is_string()) {
                    return ErrorResponse(400, "the comment must be a text");
                }
                comment = (*body)["comment"].get<std::string>();
                if (Utf8Length(comment) > kMaxCommentLength) {
                    return ErrorResponse(400, fmt::format("the comment may have at most {} "
                                                          "characters",
                                                          kMaxCommentLength));
                }
                std::replace_if(
                    comment.begin(), comment.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x20; }, ' ');
            }
            parts_.station.Mute(session.account, comment);
        } else {
            parts_.station.Unmute(session.account);
        }
        return JsonResponse(200, JsonText(json{{"muted", mute}}));
    }
    if (path == "/api/contacts") {
        if (auto bad = refuse(Role::kOperator)) {
            return *bad;
        }
        json list = json::array();
        const std::vector<std::string> contacts = parts_.station.Contacts();
        for (std::size_t i = 0; i < contacts.size(); ++i) {
            list.push_back({{"index", i}, {"name", contacts[i]}});
        }
        return JsonResponse(200, JsonText(json{{"contacts", list}}));
    }
    if (path == "/api/test-sms") {
        if (auto bad = refuse(Role::kOperator)) {
            return *bad;
        }
        if (auto bad = only("POST")) {
            return *bad;
        }
        const std::optional<json> body = JsonBody(request);
        std::optional<int> contact;
        if (!body) {
            return ErrorResponse(400, "the body must be a JSON object");
        }
        if (body->contains("contact")) {
            if (!(*body)["contact"].is_number_integer()) {
                return ErrorResponse(400, "the contact is a number from the list");
            }
            contact = (*body)["contact"].get<int>();
        }
        const double now = parts_.clock.Timer();
        if (const double wait = testMessages_.Begin(session.account, now); wait > 0.0) {
            const int seconds = static_cast<int>(std::ceil(wait));
            HttpResponse response =
                JsonResponse(429, JsonText(json{{"error", "one test message a minute; wait"},
                                                {"sent", false},
                                                {"retryAfter", seconds}}));
            response.AddHeader("Retry-After", std::to_string(seconds));
            return response;
        }
        const TestSmsAnswer answer = parts_.station.SendTestSms(contact, session.account);
        if (answer.outcome == TestSmsAnswer::Outcome::kNoSuchContact) {
            testMessages_.Cancel(session.account, now);
            return ErrorResponse(404, "there is no such contact");
        }
        if (answer.outcome == TestSmsAnswer::Outcome::kNotSent) {
            testMessages_.Cancel(session.account, now);
            parts_.log.LogMessageToDisk(
                fmt::format("Web test message by {} not sent: {}", session.account, answer.reason));
            return JsonResponse(503, JsonText(json{{"error", "not sent: " + answer.reason},
                                                   {"sent", false},
                                                   {"reason", answer.reason}}));
        }
        return JsonResponse(202, JsonText(json{{"sent", true}}));
    }
    if (path == "/api/alarm-file" || path == "/api/log") {
        if (auto bad = refuse(Role::kAdmin)) {
            return *bad;
        }
        const std::filesystem::path dir = parts_.station.StationDirectory();
        return TextFile(dir / (path == "/api/log" ? "QRVLog.txt" : "QRVAlarm.txt"), request.query);
    }
    if (path == "/api/users") {
        if (auto bad = refuse(Role::kAdmin)) {
            return *bad;
        }
        json list = json::array();
        for (const Account& account : parts_.accounts.List()) {
            list.push_back({{"name", account.name},
                            {"role", RoleName(account.role)},
                            {"language", account.language}});
        }
        return JsonResponse(200, JsonText(json{{"users", list}}));
    }
    if (path.starts_with("/api/reports/")) {
        if (parts_.reports == nullptr) {
            return ErrorResponse(503, "the report program is not installed");
        }
        return parts_.reports->Get(path.substr(std::string_view("/api/reports/").size()),
                                   parts_.station.DataDirectory());
    }
    return ErrorResponse(404, "no such route");
}

HttpResponse WebApp::Metrics(const HttpRequest& request) {
    const std::string& token = parts_.config.metricsToken;
    if (token.empty()) {
        if (!request.remoteAddress.starts_with("127.")) {
            return ErrorResponse(403, "metrics are for loopback clients while no token is set");
        }
    } else if (!SameSecret(request.Header("authorization"), "Bearer " + token)) {
        HttpResponse response = ErrorResponse(401, "a bearer token is needed");
        response.AddHeader("WWW-Authenticate", "Bearer");
        return response;
    }
    HttpResponse response;
    response.contentType = "text/plain; version=0.0.4; charset=utf-8";
    response.body = MetricsText(parts_.push.Snapshot(0), parts_.push.Activity(),
                                parts_.station.BusErrors(), parts_.station.Notices());
    return response;
}

}  // namespace qrv::web
