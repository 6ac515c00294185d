#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "config/web_config.h"
#include "runtime/clock.h"
#include "runtime/event_log.h"
#include "web/accounts.h"
#include "web/check_queue.h"
#include "web/http_message.h"
#include "web/live_push.h"
#include "web/login_throttle.h"
#include "web/once_per.h"
#include "web/reports.h"
#include "web/sessions.h"
#include "web/static_files.h"
#include "web/station_source.h"

namespace qrv::web {

inline constexpr std::string_view kSessionCookie = "qrv_session";
inline constexpr std::string_view kCsrfHeader = "x-csrf-token";
// Sent by a page's own timers: such a request is not the user doing
// something, so it does not keep the session from ending when idle.
inline constexpr std::string_view kBackgroundHeader = "x-qrv-background";
// Password checks at once, and waiting: each takes the hash's 64 MiB.
inline constexpr std::size_t kRunningChecks = 2;
inline constexpr std::size_t kCheckPlaces = 8;
// One test message per account in this time.
inline constexpr double kTestMessagePeriodSeconds = 60.0;
// Larger bodies are refused before they are read: no request of the pages
// comes near it.
inline constexpr std::size_t kMaxBodyBytes = std::size_t{64} * 1024;

// What the routes are built on; all of it outlives the application.
struct WebAppParts {
    const WebConfig& config;
    StationSource& station;
    AccountStore& accounts;
    LivePush& push;
    StaticFiles& files;
    Clock& clock;
    EventLog& log;
    // None where the report tool is not installed: reports are then 503.
    ReportService* reports = nullptr;
};

// The dashboard's routes, apart from the sockets: who may do what, the
// session and CSRF rules, and the answers. Safe to call from many threads.
class WebApp {
  public:
    explicit WebApp(const WebAppParts& parts);

    HttpResponse Handle(const HttpRequest& request);

    // The session a request carries, its idle time restarted unless touch
    // is false or the page's timers sent it.
    std::optional<Session> SessionOf(const HttpRequest& request, bool touch = true);
    // Whether the session may go on: not ended, and its account still there
    // with the same role and password.
    bool SessionAlive(const std::string& id);

  private:
    HttpResponse Route(const HttpRequest& request);
    HttpResponse Login(const HttpRequest& request);
    HttpResponse Static(const HttpRequest& request, const std::optional<Session>& session);
    HttpResponse Api(const HttpRequest& request, const Session& session);
    HttpResponse Metrics(const HttpRequest& request);
    // The session when its account still has the role and password it had
    // at the login, else none and the session and its streams are ended.
    std::optional<Session> Valid(std::optional<Session> session);

    const WebAppParts parts_;
    SessionStore sessions_;
    LoginThrottle throttle_;
    CheckQueue checks_{kRunningChecks, kCheckPlaces};
    OncePer testMessages_{kTestMessagePeriodSeconds};
};

// The value of a cookie in a Cookie header, or empty.
std::string CookieValue(const std::string& header, std::string_view name);
// Percent-decoding; none for a bad escape or an encoded NUL.
std::optional<std::string> PercentDecode(std::string_view text);
// A query parameter, decoded; none when absent or undecodable.
std::optional<std::string> QueryValue(const std::string& query, std::string_view name);
// The headers every answer carries; api: never to be kept by a cache.
void AddSecurityHeaders(HttpResponse& response, bool api);
// Whether a media type (a Content-Type header) is JSON, parameters aside.
bool IsJsonType(std::string_view contentType);

}  // namespace qrv::web
