#include <sys/stat.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <thread>

#include <fmt/format.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "config/station_config.h"
#include "config/web_config_section.h"
#include "fake_station.h"
#include "storage/result_file_format.h"
#include "web/check_queue.h"
#include "web/login_throttle.h"
#include "web/metrics.h"
#include "web/static_files.h"
#include "web/web_app.h"

namespace qrv::web {
namespace {

using nlohmann::json;

class NoLog final : public EventLog {
  public:
    void LogMessageToDisk(std::string_view message) override { lines.emplace_back(message); }
    std::vector<std::string> lines;
};

std::filesystem::path FreshDirectory(const std::string& name) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("qrv-web-" + name + "-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

// The routes over a fake station with a viewer, an operator and an admin.
class Routes : public ::testing::Test {
  protected:
    Routes()
        : dir_(FreshDirectory(::testing::UnitTest::GetInstance()->current_test_info()->name())),
          station_(dir_),
          accounts_(dir_ / "web-accounts.json", HashCost::Minimum()),
          push_(station_, 8),
          files_(dir_ / "pages", "/nonexistent/chart.js") {
        EXPECT_EQ(accounts_.Add("vic", Role::kViewer, "viewer-pass"), "");
        EXPECT_EQ(accounts_.Add("olga", Role::kOperator, "operator-pass"), "");
        EXPECT_EQ(accounts_.Add("ada", Role::kAdmin, "admin-pass-1"), "");
        std::filesystem::create_directories(dir_ / "pages");
        std::ofstream(dir_ / "pages" / "index.html") << "<html>live</html>";
        std::ofstream(dir_ / "pages" / "login.html") << "<html>login</html>";
        std::ofstream(dir_ / "secret.txt") << "not for the web";
        app_ = std::make_unique<WebApp>(
            WebAppParts{config_, station_, accounts_, push_, files_, clock_, log_});
    }
    ~Routes() override {
        app_.reset();
        std::filesystem::remove_all(dir_);
    }

    HttpRequest Request(std::string method, std::string path, std::string body = {}) {
        HttpRequest request;
        request.method = std::move(method);
        const std::size_t question = path.find('?');
        request.path = path.substr(0, question);
        if (question != std::string::npos) {
            request.query = path.substr(question + 1);
        }
        request.body = std::move(body);
        request.remoteAddress = "127.0.0.1";
        return request;
    }

    struct Login {
        std::string cookie;
        std::string csrf;
    };
    Login LogIn(const std::string& name, const std::string& password,
                const std::string& address = "127.0.0.1") {
        HttpRequest request =
            Request("POST", "/api/login", json{{"name", name}, {"password", password}}.dump());
        request.headers["content-type"] = "application/json";
        request.remoteAddress = address;
        const HttpResponse response = app_->Handle(request);
        if (response.status != 200) {
            return {};
        }
        const std::string setCookie = response.HeaderValue("Set-Cookie");
        return {"qrv_session=" + CookieValue(setCookie, "qrv_session"),
                json::parse(response.body)["csrf"].get<std::string>()};
    }
    HttpResponse TryLogIn(const std::string& name, const std::string& password,
                          const std::string& address);
    HttpResponse As(const Login& login, std::string method, std::string path, std::string body = {},
                    bool withCsrf = true) {
        HttpRequest request = Request(std::move(method), std::move(path), std::move(body));
        request.headers["cookie"] = login.cookie;
        if (withCsrf) {
            request.headers["x-csrf-token"] = login.csrf;
        }
        return app_->Handle(request);
    }

    std::filesystem::path dir_;
    testing::FakeStation station_;
    AccountStore accounts_;
    LivePush push_;
    StaticFiles files_;
    WebConfig config_;
    VirtualClock clock_;
    NoLog log_;
    std::unique_ptr<WebApp> app_;
};

TEST_F(Routes, EveryRouteWithoutASessionIsRefused) {
    for (const char* path : {"/api/live", "/api/texts", "/api/session", "/api/probes/x",
                             "/api/days", "/api/days/2026-01-05", "/api/log", "/api/alarm-file",
                             "/api/users", "/api/contacts", "/api/events", "/live.js"}) {
        EXPECT_EQ(app_->Handle(Request("GET", path)).status, 401) << path;
    }
    for (const char* path : {"/api/mute", "/api/unmute", "/api/test-sms", "/api/logout"}) {
        EXPECT_EQ(app_->Handle(Request("POST", path, "{}")).status, 401) << path;
    }
    for (const char* page : {"/", "/index.html", "/probe.html"}) {
        const HttpResponse response = app_->Handle(Request("GET", page));
        EXPECT_EQ(response.status, 303) << page;
        EXPECT_EQ(response.HeaderValue("Location"), "/login.html");
    }
    EXPECT_EQ(app_->Handle(Request("GET", "/login.html")).body, "<html>login</html>");
    EXPECT_TRUE(station_.Commands().empty());
}

TEST_F(Routes, TheIconIsThereWithoutASession) {
    std::filesystem::create_directories(dir_ / "pages" / "assets");
    std::ofstream(dir_ / "pages" / "assets" / "icon.svg") << "<svg/>";
    for (const char* path : {"/favicon.ico", "/assets/icon.svg"}) {
        const HttpResponse icon = app_->Handle(Request("GET", path));
        EXPECT_EQ(icon.status, 200) << path;
        EXPECT_EQ(icon.contentType, "image/svg+xml") << path;
        EXPECT_EQ(icon.body, "<svg/>");
    }
}

TEST_F(Routes, LoginGivesAFreshHttpOnlyStrictCookieEachTime) {
    HttpRequest request =
        Request("POST", "/api/login", R"({"name":"vic","password":"viewer-pass"})");
    request.headers["content-type"] = "application/json";
    const HttpResponse first = app_->Handle(request);
    ASSERT_EQ(first.status, 200);
    const std::string cookie = first.HeaderValue("Set-Cookie");
    EXPECT_NE(cookie.find("HttpOnly"), std::string::npos);
    EXPECT_NE(cookie.find("SameSite=Strict"), std::string::npos);
    EXPECT_EQ(cookie.find("Secure"), std::string::npos);
    request.headers["cookie"] = "qrv_session=" + CookieValue(cookie, "qrv_session");
    request.tls = true;
    const HttpResponse second = app_->Handle(request);
    ASSERT_EQ(second.status, 200);
    EXPECT_NE(second.HeaderValue("Set-Cookie"), cookie);
    EXPECT_NE(second.HeaderValue("Set-Cookie").find("; Secure"), std::string::npos);
    // The session the browser held before the login is over.
    HttpRequest old = Request("GET", "/api/live");
    old.headers["cookie"] = request.headers["cookie"];
    EXPECT_EQ(app_->Handle(old).status, 401);

    HttpRequest form = Request("POST", "/api/login", "name=vic&password=viewer-pass");
    form.headers["content-type"] = "application/x-www-form-urlencoded";
    EXPECT_EQ(app_->Handle(form).status, 415);
}

TEST_F(Routes, ChangesNeedTheSessionsOwnCsrfToken) {
    const Login olga = LogIn("olga", "operator-pass");
    const Login ada = LogIn("ada", "admin-pass-1");
    ASSERT_FALSE(olga.cookie.empty());
    EXPECT_EQ(As(olga, "POST", "/api/mute", "{}", false).status, 403);
    Login mixed = olga;
    mixed.csrf = ada.csrf;
    EXPECT_EQ(As(mixed, "POST", "/api/mute", "{}").status, 403);
    EXPECT_EQ(As(mixed, "POST", "/api/logout").status, 403);
    EXPECT_TRUE(station_.Commands().empty());
    EXPECT_EQ(As(olga, "POST", "/api/mute", R"({"comment":"door shut\r\nagain"})").status, 200);
    EXPECT_EQ(station_.Commands(), std::vector<std::string>{"mute olga: door shut  again"});
}

TEST_F(Routes, RolesDecideWhoMutesReadsTheLogAndSendsTests) {
    const Login vic = LogIn("vic", "viewer-pass");
    const Login olga = LogIn("olga", "operator-pass");
    const Login ada = LogIn("ada", "admin-pass-1");
    EXPECT_EQ(As(vic, "POST", "/api/mute", "{}").status, 403);
    EXPECT_EQ(As(vic, "POST", "/api/test-sms", R"({"contact":0})").status, 403);
    EXPECT_EQ(As(vic, "GET", "/api/live").status, 200);
    EXPECT_EQ(As(olga, "GET", "/api/log").status, 403);
    EXPECT_EQ(As(olga, "GET", "/api/users").status, 403);
    EXPECT_EQ(As(olga, "POST", "/api/test-sms", R"({"contact":3})").status, 404);
    EXPECT_EQ(As(olga, "POST", "/api/test-sms", R"({"contact":0})").status, 202);
    EXPECT_EQ(As(ada, "POST", "/api/unmute").status, 200);
    EXPECT_EQ(station_.Commands(), (std::vector<std::string>{"test olga", "unmute ada"}));

    std::ofstream(dir_ / "QRVLog.txt", std::ios::binary)
        << "head\r\n2026-01-05 12:00: one\r\n2026-01-05 12:01: two \xB0"
           "C\r\n";
    const HttpResponse log = As(ada, "GET", "/api/log?lines=2");
    EXPECT_EQ(log.status, 200);
    EXPECT_EQ(log.body, "2026-01-05 12:00: one\r\n2026-01-05 12:01: two °C\r\n");
    EXPECT_EQ(As(ada, "GET", "/api/log?lines=0").status, 400);
    const json users = json::parse(As(ada, "GET", "/api/users").body);
    EXPECT_EQ(users["users"].size(), 3u);
    EXPECT_EQ(users.dump().find("argon2"), std::string::npos);
}

// The page an alarm notice links to: the login first and back to it, the
// operator's role, and the acknowledgement by the same command as the
// live table's button.
TEST_F(Routes, TheAcknowledgementPageOfANoticeWantsALoginAndAnOperator) {
    std::ofstream(dir_ / "pages" / "acknowledge.html") << "<html>acknowledge</html>";
    const std::string link = "/acknowledge?alarm=280C002B1A0000A7,unit&notice=qrv-1-7";
    const HttpResponse anonymous = app_->Handle(Request("GET", link));
    EXPECT_EQ(anonymous.status, 303);
    EXPECT_EQ(
        anonymous.HeaderValue("Location"),
        "/login.html?next=%2Facknowledge%3Falarm%3D280C002B1A0000A7%2Cunit%26notice%3Dqrv-1-7");
    EXPECT_EQ(anonymous.body.find("acknowledge</html>"), std::string::npos);
    // A link that tries to reach past the page stays a query of the page.
    const HttpResponse forged =
        app_->Handle(Request("GET", "/acknowledge?next=//evil.example/\r\nSet-Cookie:x"));
    EXPECT_EQ(forged.HeaderValue("Location"),
              "/login.html?next=%2Facknowledge%3Fnext%3D%2F%2Fevil.example%2F%0D%0ASet-Cookie%3Ax");
    EXPECT_EQ(app_->Handle(Request("GET", "/acknowledge.html")).status, 303);

    const Login vic = LogIn("vic", "viewer-pass");
    const Login olga = LogIn("olga", "operator-pass");
    for (const std::string& path : {link, std::string("/acknowledge.html")}) {
        EXPECT_EQ(As(vic, "GET", path).status, 403) << path;
        const HttpResponse page = As(olga, "GET", path);
        EXPECT_EQ(page.status, 200) << path;
        EXPECT_EQ(page.body, "<html>acknowledge</html>");
        EXPECT_EQ(page.contentType.find("text/html"), 0u) << page.contentType;
    }
    EXPECT_NE(std::find(log_.lines.begin(), log_.lines.end(),
                        "Web request GET /acknowledge by vic refused: needs operator"),
              log_.lines.end());
    EXPECT_EQ(As(olga, "POST", link, "{}").status, 405);
    EXPECT_TRUE(station_.Commands().empty());
    // The page's button: the station's acknowledgement, CSRF as always.
    EXPECT_EQ(As(olga, "POST", "/api/mute", R"({"comment":"from the notice"})", false).status, 403);
    EXPECT_EQ(As(vic, "POST", "/api/mute", R"({"comment":"from the notice"})").status, 403);
    EXPECT_EQ(As(olga, "POST", "/api/mute", R"({"comment":"from the notice"})").status, 200);
    EXPECT_EQ(station_.Commands(), std::vector<std::string>{"mute olga: from the notice"});
}

TEST_F(Routes, TestMessagesAreOneAMinutePerAccountAndSayWhenNotSent) {
    const Login olga = LogIn("olga", "operator-pass");
    const Login ada = LogIn("ada", "admin-pass-1");
    station_.SetSmsProblem("/usr/local/bin/sms: No such file or directory");
    const HttpResponse missing = As(olga, "POST", "/api/test-sms", R"({"contact":0})");
    EXPECT_EQ(missing.status, 503);
    EXPECT_EQ(json::parse(missing.body)["sent"], false);
    EXPECT_EQ(json::parse(missing.body)["reason"], "/usr/local/bin/sms: No such file or directory");
    station_.SetSmsProblem("");
    // What was not sent does not count.
    EXPECT_EQ(As(olga, "POST", "/api/test-sms", R"({"contact":0})").status, 202);
    clock_.Advance(59.0);
    const HttpResponse again = As(olga, "POST", "/api/test-sms", R"({"contact":0})");
    EXPECT_EQ(again.status, 429);
    EXPECT_EQ(again.HeaderValue("Retry-After"), "1");
    EXPECT_EQ(As(ada, "POST", "/api/test-sms", R"({"contact":0})").status, 202);
    clock_.Advance(1.0);
    EXPECT_EQ(As(olga, "POST", "/api/test-sms", R"({"contact":0})").status, 202);
    EXPECT_EQ(station_.Commands(),
              (std::vector<std::string>{"test olga", "test ada", "test olga"}));
}

TEST_F(Routes, BadDaysProbesAndFilesAre400AndTouchNothingOutside) {
    const Login vic = LogIn("vic", "viewer-pass");
    for (const std::string& path : std::vector<std::string>{
             "/api/days/../secret.txt", "/api/days/..%2F..%2Fsecret", "/api/days/2026-02-30",
             "/api/days/0000-01-01", "/api/days/2026-1-5", "/api/days/" + std::string(10000, '9'),
             "/api/probes/../../secret", "/api/probes/" + std::string(10000, 'A'),
             "/api/probes/2801000000005AXX", "/api/log?lines=" + std::string(10000, '9'),
             "/api/days/2026-01-04?rom=280100000000005A00",
             "/api/days/2026-01-04?rom=280100000000005",
             "/api/days/2026-01-04?a=1&rom=280100000000005A%00", "/api/days/2026-01-04?rom="}) {
        const HttpResponse response = As(vic, "GET", path);
        EXPECT_TRUE(response.status == 400 || response.status == 403) << path.substr(0, 40);
        EXPECT_EQ(response.body.find("not for the web"), std::string::npos);
    }
    for (const char* path : {"/../secret.txt", "/.hidden", "/pages/../secret.txt", "/a//b"}) {
        EXPECT_EQ(As(vic, "GET", path).status, 404) << path;
    }
    EXPECT_EQ(As(vic, "GET", "/api/days/2026-01-04").status, 404);
    // Only the parameter itself names a probe.
    EXPECT_EQ(As(vic, "GET", "/api/days/2026-01-04?xrom=2801000000005AXX").status, 404);
    EXPECT_EQ(As(vic, "GET", "/api/days/2026-01-04?rom=280100000000005a").status, 404);
    EXPECT_EQ(As(vic, "GET", "/api/probes/2801000000005A01").status, 404);
    const HttpResponse probe = As(vic, "GET", "/api/probes/2801000000005A");
    EXPECT_EQ(probe.status, 400);
    const HttpResponse known = As(vic, "GET", "/api/probes/280100000000005A");
    ASSERT_EQ(known.status, 200);
    EXPECT_EQ(json::parse(known.body)["settings"]["alarmHigh"], -10);
}

TEST_F(Routes, TheProbePageAndTheLiveTableCarryAStandingTimeAlarm) {
    station_.SetTimeAlarm(1, {kTimeAlarmLow, 75});
    const Login vic = LogIn("vic", "viewer-pass");
    const HttpResponse probe = As(vic, "GET", "/api/probes/280200000000005A");
    ASSERT_EQ(probe.status, 200);
    EXPECT_EQ(json::parse(probe.body)["row"]["timeAlarm"], json({{"side", "low"}, {"minutes", 75}}))
        << probe.body;
    const HttpResponse other = As(vic, "GET", "/api/probes/280100000000005A");
    EXPECT_TRUE(json::parse(other.body)["row"]["timeAlarm"].is_null()) << other.body;
    const json rows = json::parse(As(vic, "GET", "/api/live").body)["probes"];
    ASSERT_EQ(rows.size(), 3U);
    EXPECT_TRUE(rows[0]["timeAlarm"].is_null());
    EXPECT_EQ(rows[1]["timeAlarm"]["side"], "low");
}

TEST_F(Routes, AStoredDayCarriesThePresentLimitsOfTheStationsProbes) {
    // Freezer 1 and 2 of the station, and a probe deleted since that day.
    std::vector<ProbeLineData> lines;
    for (int i = 0; i < 2; ++i) {
        lines.push_back({MakeProbeKey(station_.Record(i).Rom, kTypeTemperature), -18.5, "F"});
    }
    RomCode gone{0x28, 9, 9, 9, 0, 0, 0, 0x11};
    lines.push_back({MakeProbeKey(gone, kTypeTemperature), 3.0, "Gone"});
    std::string day = FormatResultHeader("2026-01-04");
    AppendSampleBlock(day, 10, 0, lines);
    AppendSampleBlock(day, 10, 15, lines);
    std::ofstream(station_.DataDirectory() / "2026-01-04.qrd", std::ios::binary) << day;

    const Login vic = LogIn("vic", "viewer-pass");
    const HttpResponse response = As(vic, "GET", "/api/days/2026-01-04");
    ASSERT_EQ(response.status, 200);
    const json probes = json::parse(response.body)["probes"];
    ASSERT_EQ(probes.size(), 3U);
    EXPECT_EQ(probes[0]["rom"], "280100000000005A");
    EXPECT_EQ(probes[0]["limits"]["alarmHigh"], -10);
    EXPECT_EQ(probes[0]["limits"].size(), 4U);
    EXPECT_EQ(probes[1]["rom"], "280200000000005A");
    // Nothing to draw against for a probe the station no longer has.
    EXPECT_TRUE(probes[2]["rom"].is_null());
    EXPECT_TRUE(probes[2]["limits"].is_null());
}

TEST_F(Routes, ADayWithTheClockSetBackIsSentWhole) {
    // 1,500 blocks of a 1-minute day set back an hour at 03:00, stored
    // yesterday and today.
    const KeyChars key = MakeProbeKey(station_.Record(0).Rom, kTypeTemperature);
    for (const std::string date : {"2026-01-04", "2026-01-05"}) {
        std::string day = FormatResultHeader(date);
        for (int block = 0; block < 1500; ++block) {
            const int minute = block < 180 ? block : block - 60;
            const std::vector<ProbeLineData> lines{{key, block == 1499 ? -2.0 : -18.5, "F"}};
            AppendSampleBlock(day, minute / 60, minute % 60, lines);
        }
        std::ofstream(station_.DataDirectory() / (date + ".qrd"), std::ios::binary) << day;
    }
    const Login vic = LogIn("vic", "viewer-pass");
    const HttpResponse stored = As(vic, "GET", "/api/days/2026-01-04");
    ASSERT_EQ(stored.status, 200);
    const json points = json::parse(stored.body)["probes"][0]["points"];
    ASSERT_EQ(points.size(), 1500U);
    EXPECT_EQ(points[1499], json::array({1439, -2.0}));
    const HttpResponse today = As(vic, "GET", "/api/probes/280100000000005A/today");
    ASSERT_EQ(today.status, 200);
    const json todayPoints = json::parse(today.body)["points"];
    ASSERT_EQ(todayPoints.size(), 1500U);
    EXPECT_EQ(todayPoints[1499], json::array({1439, -2.0}));
}

// The station's records hold 27 characters of a name; the day view showed 24.
TEST_F(Routes, AStoredDayNamesItsProbesWhole) {
    const KeyChars key = MakeProbeKey(station_.Record(0).Rom, kTypeTemperature);
    const std::string name = "Vriescel achterwand links 7";
    ASSERT_EQ(name.size(), 27U);
    std::string day = FormatResultHeader("2026-01-06");
    const std::vector<ProbeLineData> lines{{key, -18.5, name}};
    AppendSampleBlock(day, 8, 0, lines);
    std::ofstream(station_.DataDirectory() / "2026-01-06.qrd", std::ios::binary) << day;
    const Login vic = LogIn("vic", "viewer-pass");
    const HttpResponse stored = As(vic, "GET", "/api/days/2026-01-06");
    ASSERT_EQ(stored.status, 200);
    EXPECT_EQ(json::parse(stored.body)["probes"][0]["name"], name);
}

HttpResponse Routes::TryLogIn(const std::string& name, const std::string& password,
                              const std::string& address) {
    HttpRequest request =
        Request("POST", "/api/login", json{{"name", name}, {"password", password}}.dump());
    request.headers["content-type"] = "application/json";
    request.remoteAddress = address;
    return app_->Handle(request);
}

TEST_F(Routes, ThousandWrongPasswordsAreSlowedAndLockOutNobodyElse) {
    int refusedWithoutCheck = 0;
    for (int i = 0; i < 1000; ++i) {
        const HttpResponse response = TryLogIn("olga", "guess", "10.0.0.66");
        if (response.status == 429) {
            ++refusedWithoutCheck;
            EXPECT_FALSE(response.HeaderValue("Retry-After").empty());
        } else {
            EXPECT_EQ(response.status, 401);
        }
    }
    // Time stands still: after the five free failures every guess waits.
    EXPECT_EQ(refusedWithoutCheck, 995);
    EXPECT_FALSE(LogIn("olga", "operator-pass", "10.0.0.7").cookie.empty());
    EXPECT_FALSE(LogIn("vic", "viewer-pass", "10.0.0.8").cookie.empty());
    // The guesser's own account logs in from the guessing address, and that
    // lifts nothing for the account it was guessing.
    EXPECT_FALSE(LogIn("vic", "viewer-pass", "10.0.0.66").cookie.empty());
    EXPECT_EQ(TryLogIn("olga", "operator-pass", "10.0.0.66").status, 429);
}

// Many addresses with a guess or two each: the account's own count stops
// them all, new addresses included, yet its owner gets in after the bounded
// wait however the guessing goes on.
TEST_F(Routes, ManyAddressesGuessingOneAccountAreStoppedButNotItsOwner) {
    int checked = 0;
    for (int i = 0; i < 200; ++i) {
        checked +=
            TryLogIn("ada", "guess", fmt::format("10.1.{}.{}", i / 250, i % 250 + 1)).status == 401;
    }
    EXPECT_EQ(checked, LoginThrottle::kFreeAccountFailures);
    const HttpResponse waiting = TryLogIn("ada", "admin-pass-1", "192.168.1.10");
    ASSERT_EQ(waiting.status, 429);
    EXPECT_LE(json::parse(waiting.body)["retryAfter"].get<int>(),
              static_cast<int>(LoginThrottle::kMaxAccountWait));
    // An hour of one guess whenever the wait allows it, from ever new addresses.
    for (int i = 0; i < 120; ++i) {
        clock_.Advance(LoginThrottle::kMaxAccountWait);
        EXPECT_EQ(TryLogIn("ada", "guess", fmt::format("10.2.0.{}", i + 1)).status, 401);
        EXPECT_EQ(TryLogIn("ada", "guess", fmt::format("10.3.0.{}", i + 1)).status, 429);
    }
    clock_.Advance(LoginThrottle::kMaxAccountWait);
    EXPECT_FALSE(LogIn("ada", "admin-pass-1", "192.168.1.10").cookie.empty());
}

TEST_F(Routes, OverlongPasswordsAndOtherBodiesAreRefusedBeforeAnyCheck) {
    const std::string overlong(kMaxPasswordBytes + 1, 'p');
    EXPECT_EQ(TryLogIn("ada", overlong, "10.0.0.9").status, 400);
    EXPECT_EQ(TryLogIn("nobody", overlong, "10.0.0.9").status, 400);
    // Not counted as guesses.
    for (int i = 0; i < LoginThrottle::kFreeFailures; ++i) {
        EXPECT_EQ(TryLogIn("ada", overlong, "10.0.0.9").status, 400);
    }
    EXPECT_FALSE(LogIn("ada", "admin-pass-1", "10.0.0.9").cookie.empty());
    for (const char* type : {"application/jsonp", "text/plain", "application/json-seq", ""}) {
        HttpRequest request =
            Request("POST", "/api/login", R"({"name":"vic","password":"viewer-pass"})");
        request.headers["content-type"] = type;
        EXPECT_EQ(app_->Handle(request).status, 415) << type;
    }
    HttpRequest charset =
        Request("POST", "/api/login", R"({"name":"vic","password":"viewer-pass"})");
    charset.headers["content-type"] = "Application/JSON; charset=utf-8";
    EXPECT_EQ(app_->Handle(charset).status, 200);
}

TEST(LoginThrottle, WaitsDoubleAfterFiveFailuresAndASuccessClearsOnlyItsPair) {
    LoginThrottle throttle;
    double now = 100.0;
    for (int i = 0; i < LoginThrottle::kFreeFailures; ++i) {
        EXPECT_EQ(throttle.Begin("anna", "10.0.0.1", now), 0.0);
    }
    EXPECT_DOUBLE_EQ(throttle.Begin("anna", "10.0.0.1", now), 1.0);
    now += 1.0;
    EXPECT_EQ(throttle.Begin("anna", "10.0.0.1", now), 0.0);
    EXPECT_DOUBLE_EQ(throttle.Begin("anna", "10.0.0.1", now), 2.0);
    now += 2.0;
    EXPECT_EQ(throttle.Begin("anna", "10.0.0.1", now), 0.0);
    EXPECT_DOUBLE_EQ(throttle.Begin("anna", "10.0.0.1", now), 4.0);
    // The pair's wait is the pair's: the same address may try another
    // account, and bert's success there clears nothing of anna's.
    EXPECT_EQ(throttle.Begin("bert", "10.0.0.1", now), 0.0);
    throttle.Succeeded("bert", "10.0.0.1");
    EXPECT_DOUBLE_EQ(throttle.Begin("anna", "10.0.0.1", now), 4.0);
    for (int i = 0; i < 60; ++i) {
        now += LoginThrottle::kMaxWait;
        EXPECT_EQ(throttle.Begin("anna", "10.0.0.1", now), 0.0);
    }
    EXPECT_DOUBLE_EQ(throttle.Begin("anna", "10.0.0.1", now), LoginThrottle::kMaxWait);
    // Anna's own success elsewhere leaves the guessing address waiting.
    now += LoginThrottle::kMaxAccountWait;
    EXPECT_EQ(throttle.Begin("anna", "10.0.0.2", now), 0.0);
    throttle.Succeeded("anna", "10.0.0.2");
    EXPECT_GT(throttle.Begin("anna", "10.0.0.1", now), 0.0);
    // A day of quiet forgets it all.
    now += LoginThrottle::kForgetAfter + LoginThrottle::kMaxWait;
    EXPECT_EQ(throttle.Begin("anna", "10.0.0.1", now), 0.0);
}

TEST(CheckQueue, RunsAFewWaitsAFewAndTurnsTheRestAwayAtOnce) {
    CheckQueue queue(1, 3);
    std::mutex mutex;
    std::condition_variable changed;
    bool release = false;
    int running = 0;
    std::vector<std::thread> checks;
    for (int i = 0; i < 3; ++i) {
        std::optional<CheckQueue::Place> place = queue.Enter();
        ASSERT_TRUE(place.has_value());
        checks.emplace_back([&, held = std::move(*place)]() mutable {
            held.Run([&] {
                std::unique_lock lock(mutex);
                ++running;
                changed.notify_all();
                changed.wait(lock, [&] { return release; });
                --running;
                return 0;
            });
        });
    }
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(10), [&] { return running == 1; }));
    }
    EXPECT_FALSE(queue.Enter().has_value());
    {
        const std::lock_guard lock(mutex);
        EXPECT_EQ(running, 1);
        release = true;
    }
    changed.notify_all();
    for (std::thread& check : checks) {
        check.join();
    }
    EXPECT_TRUE(queue.Enter().has_value());
}

TEST_F(Routes, SessionsEndWhenIdleAndAtLogout) {
    const Login vic = LogIn("vic", "viewer-pass");
    clock_.Advance(config_.sessionIdleMinutes * 60.0 - 1.0);
    EXPECT_EQ(As(vic, "GET", "/api/session").status, 200);
    clock_.Advance(config_.sessionIdleMinutes * 60.0 - 1.0);
    EXPECT_EQ(As(vic, "GET", "/api/session").status, 200);
    clock_.Advance(config_.sessionIdleMinutes * 60.0 + 1.0);
    EXPECT_EQ(As(vic, "GET", "/api/session").status, 401);
    const Login again = LogIn("vic", "viewer-pass");
    EXPECT_EQ(As(again, "POST", "/api/logout").status, 204);
    EXPECT_EQ(As(again, "GET", "/api/live").status, 401);
}

TEST_F(Routes, AccountsChangedOnTheCommandLineCountAtOnce) {
    const Login vic = LogIn("vic", "viewer-pass");
    const Login olga = LogIn("olga", "operator-pass");
    AccountStore commandLine(dir_ / "web-accounts.json", HashCost::Minimum());
    ASSERT_EQ(commandLine.Load(), "");
    ASSERT_EQ(commandLine.Remove("vic"), "");
    ASSERT_EQ(commandLine.Add("olga", Role::kViewer, "operator-pass"), "");
    ASSERT_EQ(commandLine.Add("newcomer", Role::kViewer, "newcomer-pass"), "");
    EXPECT_EQ(As(vic, "GET", "/api/live").status, 401);
    EXPECT_EQ(As(olga, "GET", "/api/live").status, 401);
    EXPECT_FALSE(LogIn("newcomer", "newcomer-pass").cookie.empty());
    EXPECT_EQ(As(LogIn("olga", "operator-pass"), "POST", "/api/mute", "{}").status, 403);
}

TEST_F(Routes, SessionsEndAfterTheirLifetimeAndThePagesTimersKeepNoneAlive) {
    const Login vic = LogIn("vic", "viewer-pass");
    const Login olga = LogIn("olga", "operator-pass");
    HttpRequest polled = Request("GET", "/api/probes/280100000000005A/today");
    polled.headers["cookie"] = vic.cookie;
    polled.headers["x-qrv-background"] = "1";
    for (double idle = 0; idle < config_.sessionIdleMinutes * 60.0; idle += 60.0) {
        clock_.Advance(60.0);
        EXPECT_EQ(app_->Handle(polled).status, 200);
        EXPECT_EQ(As(olga, "GET", "/api/live").status, 200);
    }
    clock_.Advance(1.0);
    EXPECT_EQ(app_->Handle(polled).status, 401);
    // However busy, a session lasts its lifetime and no longer.
    const double lifetime = config_.sessionLifetimeHours * 3600.0;
    for (double used = config_.sessionIdleMinutes * 60.0; used + 600.0 < lifetime; used += 600.0) {
        clock_.Advance(600.0);
        ASSERT_EQ(As(olga, "GET", "/api/live").status, 200) << used;
    }
    clock_.Advance(600.0);
    EXPECT_EQ(As(olga, "GET", "/api/live").status, 401);
}

TEST_F(Routes, APasswordChangeEndsTheSessionsOfTheOldOne) {
    const Login vic = LogIn("vic", "viewer-pass");
    const Login ada = LogIn("ada", "admin-pass-1");
    AccountStore commandLine(dir_ / "web-accounts.json", HashCost::Minimum());
    ASSERT_EQ(commandLine.Load(), "");
    ASSERT_EQ(commandLine.Add("vic", Role::kViewer, "viewer-pass-2"), "");
    EXPECT_EQ(As(vic, "GET", "/api/live").status, 401);
    EXPECT_EQ(As(ada, "GET", "/api/live").status, 200);
    EXPECT_FALSE(LogIn("vic", "viewer-pass-2").cookie.empty());
}

// A flood of one account's logins ends its own oldest sessions only.
TEST_F(Routes, LoginsOfOneAccountNeverEndAnotherAccountsSession) {
    const Login ada = LogIn("ada", "admin-pass-1");
    std::vector<Login> vics;
    for (std::size_t i = 0; i < SessionStore::kMaxSessions + 20; ++i) {
        vics.push_back(LogIn("vic", "viewer-pass", fmt::format("10.4.{}.{}", i / 200, i % 200)));
        ASSERT_FALSE(vics.back().cookie.empty()) << i;
        clock_.Advance(0.01);
    }
    EXPECT_EQ(As(ada, "GET", "/api/session").status, 200);
    EXPECT_EQ(As(vics.front(), "GET", "/api/session").status, 401);
    EXPECT_EQ(As(vics.back(), "GET", "/api/session").status, 200);
    EXPECT_EQ(As(vics[vics.size() - SessionStore::kMaxPerAccount], "GET", "/api/session").status,
              200);
    EXPECT_EQ(
        As(vics[vics.size() - SessionStore::kMaxPerAccount - 1], "GET", "/api/session").status,
        401);
}

TEST(SessionStore, AFullStoreRefusesANewAccountRatherThanEndAnother) {
    SessionStore store(SessionLimits{1800.0, 3600.0});
    std::vector<std::string> ids;
    for (std::size_t i = 0; i < SessionStore::kMaxSessions; ++i) {
        const Account account{fmt::format("user{}", i / SessionStore::kMaxPerAccount),
                              Role::kViewer, "en", "hash"};
        const std::optional<Session> session = store.Create(account, 1.0);
        ASSERT_TRUE(session.has_value()) << i;
        ids.push_back(session->id);
    }
    EXPECT_FALSE(store.Create(Account{"newcomer", Role::kViewer, "en", "hash"}, 2.0).has_value());
    // One already there gets in at the cost of its own oldest.
    EXPECT_TRUE(store.Create(Account{"user3", Role::kViewer, "en", "hash"}, 2.0).has_value());
    int alive = 0;
    for (const std::string& id : ids) {
        alive += store.Find(id, 2.0, false).has_value();
    }
    EXPECT_EQ(alive, static_cast<int>(SessionStore::kMaxSessions) - 1);
    // Sessions past their time make room.
    EXPECT_TRUE(store.Create(Account{"newcomer", Role::kViewer, "en", "hash"}, 3602.0).has_value());
}

TEST_F(Routes, LanguageIsKeptPerAccount) {
    const Login vic = LogIn("vic", "viewer-pass");
    const Login olga = LogIn("olga", "operator-pass");
    EXPECT_EQ(As(vic, "POST", "/api/session/language", R"({"language":"xx"})").status, 400);
    EXPECT_EQ(As(vic, "POST", "/api/session/language", R"({"language":"de"})").status, 200);
    EXPECT_EQ(json::parse(As(vic, "GET", "/api/live").body)["probes"][0]["cells"][2], "Ein");
    // The probe's big view too, while another account keeps its own language.
    const json view = json::parse(As(vic, "GET", "/api/probes/280100000000005A").body)["view"];
    EXPECT_EQ(view,
              (json{{"state", "Freezer \"1\" in 1"}, {"value", "4.0"}, {"color", "#FF0000"}}));
    EXPECT_EQ(json::parse(As(olga, "GET", "/api/probes/280100000000005A").body)["view"]["state"],
              "Freezer \"1\" in 0");
    const Login later = LogIn("vic", "viewer-pass");
    EXPECT_EQ(json::parse(As(later, "GET", "/api/texts").body)["language"], "de");
}

TEST(Accounts, FileIsPrivateSurvivesReloadAndRefusesDamage) {
    const auto dir = FreshDirectory("accounts");
    const auto file = dir / "web-accounts.json";
    {
        AccountStore store(file, HashCost::Minimum());
        EXPECT_NE(store.Add("anna", Role::kAdmin, "short"), "");
        EXPECT_NE(store.Add("an na", Role::kAdmin, "long-enough"), "");
        EXPECT_EQ(store.Add("anna", Role::kAdmin, "long-enough"), "");
    }
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    {
        // A file someone opened up is closed again at the next change.
        std::filesystem::permissions(file, std::filesystem::perms::others_read,
                                     std::filesystem::perm_options::add);
        AccountStore store(file, HashCost::Minimum());
        ASSERT_EQ(store.Load(), "");
        EXPECT_EQ(store.Add("bert", Role::kViewer, "long-enough"), "");
        ASSERT_EQ(::stat(file.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u);
    }
    AccountStore again(file, HashCost::Minimum());
    EXPECT_EQ(again.Load(), "");
    EXPECT_TRUE(again.Verify("anna", "long-enough"));
    EXPECT_FALSE(again.Verify("anna", "long-enougH"));
    EXPECT_FALSE(again.Verify("nobody", "long-enough"));
    std::ofstream(file) << "{\"accounts\": [{\"name\": 3}]";
    EXPECT_NE(again.Load(), "");
    EXPECT_TRUE(again.Empty());
    std::filesystem::remove_all(dir);
}

TEST(WebConfig, DefaultsOffOnLoopbackAndNamesBadKeys) {
    const StationConfigRead none = ParseStationConfig("", "q.toml");
    EXPECT_FALSE(none.config.web.enabled);
    EXPECT_EQ(none.config.web.listen, "127.0.0.1:8080");
    const StationConfigRead read = ParseStationConfig(
        "[web]\nenabled = true\nlisten = \"0.0.0.0:99999\"\nrequest_timeout_seconds = 2\n"
        "cert = \"a.pem\"\nwhat = 1\n",
        "q.toml");
    EXPECT_TRUE(read.config.web.enabled);
    EXPECT_EQ(read.config.web.listen, "127.0.0.1:8080");
    EXPECT_EQ(read.config.web.requestTimeoutMs, 2000);
    ASSERT_EQ(read.problems.size(), 3u);
    EXPECT_EQ(read.problems[0].rfind("q.toml:3: web.listen:", 0), 0u) << read.problems[0];
    EXPECT_FALSE(qrv::IsLoopbackListen("0.0.0.0:8080"));
    EXPECT_TRUE(qrv::IsLoopbackListen("127.0.0.1:8080"));
    EXPECT_FALSE(qrv::IsListenAddress("127.0.0.1:08080"));
    EXPECT_FALSE(qrv::IsListenAddress("256.0.0.1:80"));
}

TEST(Metrics, CarriesEveryProbeEscapedAndNoReadingBeforeTheFirst) {
    LiveSnapshot live;
    LiveRow read;
    read.rom = "28";
    read.name = "Cold \"A\"\\";
    read.type = "humidity";
    read.value = 55.0;
    read.lastRead = LocalDateTime{2026, 1, 5, 12, 0, 0, 0};
    read.alarm = kPreAlarmHigh;
    LiveRow never = read;
    never.rom = "29";
    never.type = "temperature";
    never.lastRead.reset();
    live.probes = {read, never};
    BusErrorCounts busErrors{};
    busErrors[static_cast<std::size_t>(BusErrorKind::kCrcError)] = 7;
    const std::string text = MetricsText(live, FeedActivity{}, busErrors, NoticeTotals{});
    EXPECT_NE(
        text.find(
            "quorvanel_relative_humidity_ratio{rom=\"28\",probe=\"Cold \\\"A\\\"\\\\\"} 0.55\n"),
        std::string::npos)
        << text;
    EXPECT_EQ(text.find("quorvanel_temperature_celsius{"), std::string::npos);
    EXPECT_NE(text.find("quorvanel_probe_up{rom=\"29\",probe=\"Cold \\\"A\\\"\\\\\"} 0\n"),
              std::string::npos);
    EXPECT_NE(text.find("state=\"pre_high\"} 1\n"), std::string::npos);
    EXPECT_NE(text.find("# TYPE quorvanel_stores_total counter\n"), std::string::npos);
    // Every kind of network failure, also those that never happened.
    EXPECT_NE(text.find("quorvanel_bus_errors_total{kind=\"crc_error\"} 7\n"), std::string::npos);
    for (const char* kind : {"no_response", "bad_reading", "unit_silent", "network_lost"}) {
        EXPECT_NE(text.find(fmt::format("quorvanel_bus_errors_total{{kind=\"{}\"}} 0\n", kind)),
                  std::string::npos)
            << kind;
    }
}

TEST(LiveChanges, OnlyChangedRowsAndASnapshotWhenTheProbesMove) {
    LiveSnapshot before;
    LiveRow a;
    a.rom = "A";
    LiveRow b;
    b.rom = "B";
    before.probes = {a, b};
    LiveSnapshot after = before;
    EXPECT_FALSE(Compare(before, after).update);
    after.probes[1].value = 3.5;
    const LiveChange change = Compare(before, after);
    ASSERT_TRUE(change.update);
    const json update = json::parse(*change.update);
    ASSERT_EQ(update["probes"].size(), 1u);
    EXPECT_EQ(update["probes"][0]["rom"], "B");
    EXPECT_FALSE(update.contains("station"));
    std::swap(after.probes[0], after.probes[1]);
    EXPECT_TRUE(Compare(before, after).needsSnapshot);
}

TEST(LiveChanges, ACalibrationComingDueIsInItsRowAndSentWhenItChanges) {
    LiveSnapshot before;
    LiveRow fridge;
    fridge.rom = "A";
    fridge.calibration = LiveCalibration{"2027-03-01", ""};
    LiveRow door;
    door.rom = "B";
    before.probes = {fridge, door};
    const json rows = json::parse(SnapshotJson(before))["probes"];
    EXPECT_EQ(rows[0]["calibration"], json({{"nextDue", "2027-03-01"}, {"due", nullptr}}));
    EXPECT_TRUE(rows[1]["calibration"].is_null());

    LiveSnapshot after = before;
    after.probes[0].calibration->due = "soon";
    const LiveChange change = Compare(before, after);
    ASSERT_TRUE(change.update);
    const json update = json::parse(*change.update);
    ASSERT_EQ(update["probes"].size(), 1u);
    EXPECT_EQ(update["probes"][0]["calibration"]["due"], "soon");
}

TEST(LiveChanges, ATimeAlarmIsSentWhenItRisesGrowsAndEnds) {
    EXPECT_EQ(TimeAlarmNote({kTimeAlarmHigh, 61}), (LiveTimeAlarm{"high", 61}));
    EXPECT_EQ(TimeAlarmNote({kTimeAlarmLow, 5}), (LiveTimeAlarm{"low", 5}));
    EXPECT_FALSE(TimeAlarmNote({kAlarmNone, 61}));
    EXPECT_FALSE(TimeAlarmNote({kAlarmHigh, 61})) << "the limits' own alarms are not time alarms";

    LiveSnapshot before;
    LiveRow freezer;
    freezer.rom = "A";
    before.probes = {freezer};
    LiveSnapshot risen = before;
    risen.probes[0].timeAlarm = TimeAlarmNote({kTimeAlarmHigh, 61});
    const json update = json::parse(*Compare(before, risen).update);
    EXPECT_EQ(update["probes"][0]["timeAlarm"], json({{"side", "high"}, {"minutes", 61}}));

    LiveSnapshot grown = risen;
    grown.probes[0].timeAlarm->minutes = 62;
    ASSERT_TRUE(Compare(risen, grown).update);
    EXPECT_EQ(json::parse(*Compare(risen, grown).update)["probes"][0]["timeAlarm"]["minutes"], 62);

    const LiveChange ended = Compare(grown, before);
    ASSERT_TRUE(ended.update);
    EXPECT_TRUE(json::parse(*ended.update)["probes"][0]["timeAlarm"].is_null());
}

}  // namespace
}  // namespace qrv::web
