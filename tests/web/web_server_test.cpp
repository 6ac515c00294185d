#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "fake_station.h"
#include "loopback_client.h"
#include "web/listen_retry.h"
#include "web/login_throttle.h"
#include "web/web_server.h"

namespace qrv::web {
namespace {

using Steady = std::chrono::steady_clock;

using testing::BodyOf;
using testing::Client;
using testing::HeaderOf;

class LogLines final : public EventLog {
  public:
    void LogMessageToDisk(std::string_view) override {}
};

class RealServer : public ::testing::Test {
  protected:
    RealServer()
        : dir_(std::filesystem::temp_directory_path() /
               ("qrv-web-server-" + std::to_string(::getpid()))),
          station_(dir_),
          accounts_(dir_ / "web-accounts.json", HashCost::Minimum()) {
        std::filesystem::create_directories(dir_ / "pages");
        std::ofstream(dir_ / "pages" / "index.html") << "<html>live</html>";
        EXPECT_EQ(accounts_.Add("vic", Role::kViewer, "viewer-pass"), "");
        EXPECT_EQ(accounts_.Add("ada", Role::kAdmin, "admin-pass-1"), "");
        WebConfig config;
        config.enabled = true;
        config.listen = "127.0.0.1:0";
        config.requestTimeoutMs = 500;
        config.maxStreams = 4;
        server_ = std::make_unique<WebServer>(
            WebServer::Parts{config, station_, accounts_, dir_ / "pages", {}, clock_, log_});
    }
    ~RealServer() override {
        server_.reset();
        std::filesystem::remove_all(dir_);
    }

    std::string LogIn(const std::string& name = "vic", const std::string& password = "viewer-pass",
                      const char* from = "127.0.0.1") {
        const std::string text = TryLogIn(name, password, from);
        EXPECT_EQ(StatusOf(text), 200) << text;
        const std::size_t at = text.find("qrv_session=");
        return at == std::string::npos ? std::string() : text.substr(at, 12 + 64);
    }
    // The whole answer to a login, the connection closed after it.
    std::string TryLogIn(const std::string& name, const std::string& password,
                         const char* from = "127.0.0.1") {
        const std::string body = nlohmann::json{{"name", name}, {"password", password}}.dump();
        return Exchange(
            "POST /api/login HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n"
            "Content-Length: " +
                std::to_string(body.size()) + "\r\n\r\n" + body,
            from);
    }
    // Sends request (without its Connection header) and returns all of the
    // answer once the server closes.
    std::string Exchange(const std::string& request, const char* from = "127.0.0.1") {
        Client client(server_->Port(), from);
        const std::size_t headEnd = request.find("\r\n") + 2;
        client.Send(request.substr(0, headEnd) + "Connection: close\r\n" + request.substr(headEnd));
        EXPECT_TRUE(client.ClosedWithin(std::chrono::seconds(10))) << client.Received();
        return client.Received();
    }
    static int StatusOf(const std::string& answer) {
        return answer.starts_with("HTTP/1.1 ") ? std::atoi(answer.c_str() + 9) : 0;
    }

    std::filesystem::path dir_;
    testing::FakeStation station_;
    AccountStore accounts_;
    // Moved by the tests alone, so that the throttle's and the sessions'
    // waits take no time.
    VirtualClock clock_;
    LogLines log_;
    std::unique_ptr<WebServer> server_;
};

// The four ways around the login throttle a tester found.
TEST_F(RealServer, TheLoginThrottleHoldsAgainstItsFourBypasses) {
    ASSERT_TRUE(server_->Running()) << server_->Problem();
    // A viewer's own logins between guesses at the admin lift nothing.
    for (int i = 0; i < LoginThrottle::kFreeFailures; ++i) {
        EXPECT_EQ(StatusOf(TryLogIn("ada", "guess", "127.0.0.2")), 401);
    }
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(LogIn("vic", "viewer-pass", "127.0.0.2").empty());
        EXPECT_EQ(StatusOf(TryLogIn("ada", "guess", "127.0.0.2")), 429);
    }
    // Attempts in parallel are counted before any is checked.
    std::atomic<int> checked = 0;
    std::atomic<int> answered = 0;
    {
        std::vector<std::jthread> guessers;
        for (int i = 0; i < 16; ++i) {
            guessers.emplace_back([&] {
                const int status = StatusOf(TryLogIn("vic", "guess", "127.0.0.3"));
                checked += status == 401;
                answered += status == 401 || status == 429 || status == 503;
            });
        }
    }
    EXPECT_EQ(answered, 16);
    EXPECT_EQ(checked, LoginThrottle::kFreeFailures);
    // Addresses that never failed meet the account's wait: the admin has
    // five failures already, five more from fresh addresses start it.
    int fresh = 0;
    for (int i = 1; i <= 20; ++i) {
        fresh += StatusOf(TryLogIn("ada", "guess", fmt::format("127.0.1.{}", i).c_str())) == 401;
    }
    EXPECT_EQ(fresh, LoginThrottle::kFreeAccountFailures - LoginThrottle::kFreeFailures);
    // Whoever keeps guessing, the owner is let in from a clean address once
    // the account's bounded wait is over.
    for (int i = 1; i <= 20; ++i) {
        clock_.Advance(LoginThrottle::kMaxAccountWait);
        EXPECT_EQ(StatusOf(TryLogIn("ada", "guess", fmt::format("127.0.2.{}", i).c_str())), 401);
    }
    EXPECT_EQ(StatusOf(TryLogIn("ada", "admin-pass-1", "127.0.0.9")), 429);
    clock_.Advance(LoginThrottle::kMaxAccountWait);
    EXPECT_FALSE(LogIn("ada", "admin-pass-1", "127.0.0.9").empty());
}

TEST_F(RealServer, APasswordChangeOrRemovalEndsTheSessionAndItsLivePageAtOnce) {
    ASSERT_TRUE(server_->Running()) << server_->Problem();
    const std::string vic = LogIn("vic", "viewer-pass");
    const std::string ada = LogIn("ada", "admin-pass-1");
    Client vicPage(server_->Port());
    vicPage.Send("GET /api/events HTTP/1.1\r\nHost: x\r\nCookie: " + vic + "\r\n\r\n");
    ASSERT_TRUE(vicPage.ReadUntil("event: snapshot", std::chrono::seconds(5)));
    Client adaPage(server_->Port());
    adaPage.Send("GET /api/events HTTP/1.1\r\nHost: x\r\nCookie: " + ada + "\r\n\r\n");
    ASSERT_TRUE(adaPage.ReadUntil("event: snapshot", std::chrono::seconds(5)));

    // "user add" on an existing name, from another process.
    AccountStore commandLine(dir_ / "web-accounts.json", HashCost::Minimum());
    ASSERT_EQ(commandLine.Load(), "");
    ASSERT_EQ(commandLine.Add("vic", Role::kViewer, "viewer-pass-2"), "");
    EXPECT_TRUE(vicPage.ClosedWithin(std::chrono::seconds(5)));
    EXPECT_EQ(
        StatusOf(Exchange("GET /api/session HTTP/1.1\r\nHost: x\r\nCookie: " + vic + "\r\n\r\n")),
        401);
    EXPECT_FALSE(adaPage.ClosedWithin(std::chrono::milliseconds(1500)));
    ASSERT_EQ(commandLine.Remove("ada"), "");
    EXPECT_TRUE(adaPage.ClosedWithin(std::chrono::seconds(5)));
    EXPECT_FALSE(LogIn("vic", "viewer-pass-2").empty());
}

TEST_F(RealServer, RefusesEncodedNulAndAnswersHeadAsGet) {
    ASSERT_TRUE(server_->Running()) << server_->Problem();
    std::filesystem::create_directories(dir_ / "pages" / "assets");
    std::ofstream(dir_ / "pages" / "assets" / "common.js") << "export const x = 1;";
    const std::string cookie = LogIn();
    for (const char* path : {"/assets/common.js%00.html", "/api/days/2026-01-05%00",
                             "/api/days/2026-01-05?rom=280100000000005A%00"}) {
        const std::string answer =
            Exchange(fmt::format("GET {} HTTP/1.1\r\nHost: x\r\nCookie: {}\r\n\r\n", path, cookie));
        EXPECT_EQ(StatusOf(answer), 400) << path;
        EXPECT_EQ(answer.find("export"), std::string::npos);
    }
    const std::string get =
        Exchange("GET /index.html HTTP/1.1\r\nHost: x\r\nCookie: " + cookie + "\r\n\r\n");
    const std::string head =
        Exchange("HEAD /index.html HTTP/1.1\r\nHost: x\r\nCookie: " + cookie + "\r\n\r\n");
    EXPECT_EQ(StatusOf(head), 200) << head;
    EXPECT_EQ(HeaderOf(head, "Content-Length"), HeaderOf(get, "Content-Length"));
    EXPECT_EQ(HeaderOf(head, "Content-Length"), "17");
    EXPECT_EQ(BodyOf(head), "");
    const std::string session =
        Exchange("HEAD /api/session HTTP/1.1\r\nHost: x\r\nCookie: " + cookie + "\r\n\r\n");
    EXPECT_EQ(StatusOf(session), 200) << session;
    EXPECT_EQ(BodyOf(session), "");
    const std::string metrics = Exchange("HEAD /metrics HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_EQ(StatusOf(metrics), 200) << metrics;
    EXPECT_EQ(HeaderOf(metrics, "Cache-Control"), "no-store");
}

// What the server library refuses by itself looks like what the routes refuse.
TEST_F(RealServer, TheLibrarysOwnRefusalsCarryTheSecurityHeadersAndJson) {
    ASSERT_TRUE(server_->Running()) << server_->Problem();
    for (const std::string& request :
         {std::string("GET /index.html HTTP/1.1\r\nHost: x\r\nX-Big: ") + std::string(20000, 'a') +
              "\r\n\r\n",
          std::string("GET /index.html HTTP/1.1\r\nHost: x\r\nNo colon here\r\n\r\n"),
          std::string("POST /api/login HTTP/1.1\r\nHost: x\r\nContent-Length: 99999999\r\n\r\n")}) {
        const std::string answer = Exchange(request);
        const int status = StatusOf(answer);
        EXPECT_GE(status, 400) << answer;
        EXPECT_LT(status, 500) << answer;
        EXPECT_EQ(HeaderOf(answer, "Content-Type"), "application/json") << answer;
        EXPECT_EQ(HeaderOf(answer, "X-Content-Type-Options"), "nosniff") << answer;
        EXPECT_EQ(HeaderOf(answer, "Cache-Control"), "no-store") << answer;
        EXPECT_FALSE(HeaderOf(answer, "Content-Security-Policy").empty()) << answer;
        const auto body = nlohmann::json::parse(BodyOf(answer), nullptr, false);
        EXPECT_TRUE(body.is_object() && body.contains("error")) << answer;
    }
    // HTTP/1.1 must say which host it means; HTTP/1.0 need not.
    const std::string hostless = Exchange("GET /login.html HTTP/1.1\r\n\r\n");
    EXPECT_EQ(StatusOf(hostless), 400) << hostless;
    EXPECT_EQ(HeaderOf(hostless, "Content-Type"), "application/json") << hostless;
    EXPECT_EQ(StatusOf(Exchange("GET /login.html HTTP/1.1\r\nHost: a\r\nHost: b\r\n\r\n")), 400);
    const std::string old = Exchange("GET /login.html HTTP/1.0\r\n\r\n");
    EXPECT_TRUE(old.starts_with("HTTP/1.1 404") || old.starts_with("HTTP/1.1 200")) << old;
}

// What makes a scrape of the text exposition format fail: a sample whose
// family has no HELP and TYPE before it, a family split in two, a line that
// is no sample. Empty when the text is valid.
std::vector<std::string> ExpositionProblems(const std::string& text) {
    static const std::regex kSample(
        R"(([a-zA-Z_:][a-zA-Z0-9_:]*)(\{([a-zA-Z_][a-zA-Z0-9_]*="([^"\\]|\\.)*",?)*\})? )"
        R"((-?[0-9.eE+-]+|NaN|[+-]Inf))");
    std::vector<std::string> problems;
    std::set<std::string> help;
    std::set<std::string> typed;
    std::set<std::string> finished;
    std::string current;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::smatch match;
        if (line.starts_with("# HELP ") || line.starts_with("# TYPE ")) {
            std::istringstream words(line.substr(7));
            std::string name;
            words >> name;
            (line[2] == 'H' ? help : typed).insert(name);
            if (name != current) {
                finished.insert(current);
                current = name;
            }
            if (finished.count(name) != 0) {
                problems.push_back("family again: " + line);
            }
        } else if (std::regex_match(line, match, kSample)) {
            if (match[1] != current || help.count(current) == 0 || typed.count(current) == 0) {
                problems.push_back("sample outside its family: " + line);
            }
        } else {
            problems.push_back("not a sample: " + line);
        }
    }
    if (!text.ends_with("\n")) {
        problems.push_back("no line break at the end");
    }
    return problems;
}

// The call list's counts in the scrape, every channel and result also at
// zero; the notice given up on the live table the pages read.
TEST_F(RealServer, TheScrapeCountsTheNoticesAndTheLiveTableNamesTheOneGivenUp) {
    ASSERT_TRUE(server_->Running()) << server_->Problem();
    NoticeTotals notices;
    notices.counts[static_cast<std::size_t>(NotifyChannel::kEmail)] = {5, 3, 1};
    notices.counts[static_cast<std::size_t>(NotifyChannel::kWebhook)] = {2, 0, 0};
    notices.lastGivenUp = GivenUpNotice{
        {2026, 1, 5, 11, 58, 0, 0}, "Ben", NotifyChannel::kEmail, "High Alarm", "SMTP 550"};
    station_.SetNotices(notices);
    const std::string answer = Exchange("GET /metrics HTTP/1.1\r\nHost: x\r\n\r\n");
    ASSERT_EQ(StatusOf(answer), 200) << answer;
    const std::string body = BodyOf(answer);
    EXPECT_EQ(ExpositionProblems(body), std::vector<std::string>{}) << body;
    EXPECT_NE(body.find("# TYPE quorvanel_notifications_total counter\n"), std::string::npos);
    for (const auto& [line, present] : std::vector<std::pair<std::string, bool>>{
             {"{channel=\"email\",result=\"delivered\"} 5", true},
             {"{channel=\"email\",result=\"failed\"} 3", true},
             {"{channel=\"email\",result=\"given_up\"} 1", true},
             {"{channel=\"webhook\",result=\"delivered\"} 2", true},
             {"{channel=\"webhook\",result=\"given_up\"} 0", true},
             {"{channel=\"sms\",result=\"failed\"} 0", true}}) {
        EXPECT_EQ(body.find("\nquorvanel_notifications_total" + line + "\n") != std::string::npos,
                  present)
            << line << "\n"
            << body;
    }
    EXPECT_EQ(body.find("SMTP 550"), std::string::npos) << "no free text in a label";

    const std::string cookie = LogIn();
    const std::string live =
        Exchange("GET /api/live HTTP/1.1\r\nHost: x\r\nCookie: " + cookie + "\r\n\r\n");
    ASSERT_EQ(StatusOf(live), 200) << live;
    EXPECT_EQ(nlohmann::json::parse(BodyOf(live))["station"]["noticeProblem"], "to Ben: SMTP 550");
}

// The checker itself finds what a scraper refuses.
TEST(ExpositionCheck, FindsSamplesWithoutTheirFamilyAndSplitFamilies) {
    EXPECT_EQ(ExpositionProblems("# HELP a x\n# TYPE a counter\na{k=\"v\"} 1\n").size(), 0u);
    EXPECT_EQ(ExpositionProblems("a 1\n").size(), 1u);
    EXPECT_EQ(ExpositionProblems("# HELP a x\n# TYPE a gauge\na{k=v} 1\n").size(), 1u);
    EXPECT_EQ(ExpositionProblems("# HELP a x\n# TYPE a gauge\n# HELP b x\n# TYPE b gauge\n"
                                 "# HELP a x\n# TYPE a gauge\n")
                  .size(),
              2u);
}

TEST_F(RealServer, PushesAReadingToTheOpenPage) {
    ASSERT_TRUE(server_->Running()) << server_->Problem();
    {
        Client anonymous(server_->Port());
        anonymous.Send("GET /api/events HTTP/1.1\r\nHost: x\r\n\r\n");
        EXPECT_TRUE(anonymous.ReadUntil("401", std::chrono::seconds(5)));
    }
    const std::string cookie = LogIn();
    ASSERT_FALSE(cookie.empty());
    Client page(server_->Port());
    page.Send("GET /api/events HTTP/1.1\r\nHost: x\r\nCookie: " + cookie + "\r\n\r\n");
    ASSERT_TRUE(page.ReadUntil("event: snapshot", std::chrono::seconds(5))) << page.Received();
    EXPECT_NE(page.Received().find("text/event-stream"), std::string::npos);
    station_.Read(1, -21.5);
    ASSERT_TRUE(page.ReadUntil("-21.5", std::chrono::seconds(5)));
    const std::string& text = page.Received();
    const std::size_t update = text.find("event: update\ndata: ");
    ASSERT_NE(update, std::string::npos);
    const std::size_t end = text.find("\n\n", update);
    const auto data = nlohmann::json::parse(text.substr(update + 20, end - update - 20));
    ASSERT_EQ(data["probes"].size(), 1u);
    EXPECT_EQ(data["probes"][0]["value"], -21.5);
    EXPECT_EQ(data["probes"][0]["lastRead"], "2026-01-05T12:00:00");
}

TEST(StartWebServer, RefusesWhatItCannotServeSafely) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("qrv-web-start-" + std::to_string(::getpid()));
    testing::FakeStation station(dir);
    AccountStore accounts(dir / "web-accounts.json", HashCost::Minimum());
    RealClock clock;
    struct Lines final : EventLog {
        void LogMessageToDisk(std::string_view line) override { lines.emplace_back(line); }
        std::vector<std::string> lines;
    } log;
    WebConfig config;
    config.enabled = true;
    config.listen = "0.0.0.0:0";
    EXPECT_EQ(StartWebServer({config, station, accounts, dir, {}, clock, log}), nullptr);
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_NE(log.lines[0].find("no account exists"), std::string::npos);
    std::filesystem::remove_all(dir);
}

// A port held by another program, given back when the holder goes.
class HeldPort {
  public:
    HeldPort() : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&address), size), 0);
        EXPECT_EQ(::listen(fd_, 1), 0);
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
    }
    ~HeldPort() { GiveBack(); }
    HeldPort(const HeldPort&) = delete;
    HeldPort& operator=(const HeldPort&) = delete;

    int Port() const { return port_; }
    void GiveBack() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

  private:
    int fd_;
    int port_ = 0;
};

// The retries log from their own thread.
class LockedLines final : public EventLog {
  public:
    void LogMessageToDisk(std::string_view line) override {
        const std::lock_guard lock(mutex_);
        lines_.emplace_back(line);
    }
    std::vector<std::string> Lines() const {
        const std::lock_guard lock(mutex_);
        return lines_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

// At boot the listen address may come up after the station: the server is
// tried again until it binds, and the wait is logged once, not every try.
TEST(StartWebServer, ListensOnceItsAddressCanBeBound) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("qrv-web-retry-" + std::to_string(::getpid()));
    testing::FakeStation station(dir);
    AccountStore accounts(dir / "web-accounts.json", HashCost::Minimum());
    RealClock clock;
    LockedLines log;
    HeldPort held;
    WebConfig config;
    config.enabled = true;
    config.listen = "127.0.0.1:" + std::to_string(held.Port());
    const auto server = StartWebServer({config, station, accounts, dir, {}, clock, log},
                                       std::chrono::milliseconds(20));
    ASSERT_NE(server, nullptr);
    EXPECT_EQ(server->Port(), 0);
    // Several tries fail while the port is held.
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    ASSERT_EQ(log.Lines().size(), 1u);
    EXPECT_NE(log.Lines()[0].find("trying again every 1 s"), std::string::npos) << log.Lines()[0];
    EXPECT_EQ(server->Port(), 0);

    held.GiveBack();
    const auto deadline = Steady::now() + std::chrono::seconds(10);
    while (server->Port() == 0 && Steady::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(server->Port(), held.Port());
    const std::vector<std::string> lines = log.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[1].find("Web server listening on " + config.listen), std::string::npos);
    Client client(server->Port());
    client.Send("GET /api/session HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
    EXPECT_TRUE(client.ReadUntil("HTTP/1.1", std::chrono::seconds(5))) << client.Received();
    std::filesystem::remove_all(dir);
}

TEST_F(RealServer, RefusesHugeBodiesAndDropsTricklingClients) {
    ASSERT_TRUE(server_->Running()) << server_->Problem();
    {
        Client client(server_->Port());
        client.Send(
            "POST /api/login HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n"
            "Content-Length: 10485760\r\n\r\n");
        client.Send(std::string(65536, 'x'));
        EXPECT_TRUE(client.ReadUntil("HTTP/1.1 413", std::chrono::seconds(5))) << client.Received();
    }
    const auto started = Steady::now();
    Client slow(server_->Port());
    ASSERT_TRUE(slow.Connected());
    const std::string head = "GET /index.html HTTP/1.1\r\nHost: x\r\nX-Slow: ";
    std::size_t sent = 0;
    // A byte every 100 ms, for ever: only the server can end it.
    while (Steady::now() - started < std::chrono::seconds(5)) {
        if (!slow.Send(std::string(1, sent < head.size() ? head[sent] : 'a'))) {
            break;
        }
        ++sent;
        if (slow.ClosedWithin(std::chrono::milliseconds(100))) {
            break;
        }
    }
    const auto took = Steady::now() - started;
    EXPECT_LT(took, std::chrono::seconds(3)) << "sent " << sent << " bytes";
    EXPECT_EQ(slow.Received().find("live"), std::string::npos);
}

// A client that stops sending before the length it announced: what came is
// not handled as if it were the request.
TEST_F(RealServer, ABodyThatStopsShortIsNotTakenForAWholeOne) {
    ASSERT_TRUE(server_->Running()) << server_->Problem();
    Client stopped(server_->Port());
    stopped.Send(
        "POST /api/login HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n"
        "Content-Length: 100\r\n\r\n{\"name\":\"vic\",\"password\":\"viewer-pass\"}");
    EXPECT_TRUE(stopped.ReadUntil("HTTP/1.1 408", std::chrono::seconds(5))) << stopped.Received();
}

}  // namespace
}  // namespace qrv::web
