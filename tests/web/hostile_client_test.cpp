// The server against clients that trickle, crowd in from one address, or
// claim to be someone else, on loopback with real sockets.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
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

struct RecordedLines final : EventLog {
    void LogMessageToDisk(std::string_view line) override { lines.emplace_back(line); }
    std::vector<std::string> lines;
};

int AnswerStatus(const std::string& answer) {
    return answer.starts_with("HTTP/1.1 ") ? std::atoi(answer.c_str() + 9) : 0;
}

// Whether an answer is the JSON refusal with the status, in our form.
bool IsRefusal(const std::string& answer, int status) {
    return AnswerStatus(answer) == status &&
           HeaderOf(answer, "Content-Type") == "application/json" &&
           HeaderOf(answer, "X-Content-Type-Options") == "nosniff" &&
           nlohmann::json::parse(BodyOf(answer), nullptr, false).contains("error");
}

class HostileClients : public ::testing::Test {
  protected:
    HostileClients()
        : dir_(std::filesystem::temp_directory_path() /
               ("qrv-web-hostile-" + std::to_string(::getpid()))),
          station_(dir_),
          accounts_(dir_ / "web-accounts.json", HashCost::Minimum()) {
        std::filesystem::create_directories(dir_ / "pages");
        std::ofstream(dir_ / "pages" / "login.html") << "<html>log in</html>";
        EXPECT_EQ(accounts_.Add("vic", Role::kViewer, "viewer-pass"), "");
        EXPECT_EQ(accounts_.Add("ada", Role::kAdmin, "admin-pass-1"), "");
        config_.enabled = true;
        config_.listen = "127.0.0.1:0";
    }
    ~HostileClients() override {
        server_.reset();
        std::filesystem::remove_all(dir_);
    }

    void Start() {
        server_ = std::make_unique<WebServer>(
            WebServer::Parts{config_, station_, accounts_, dir_ / "pages", {}, clock_, log_});
        ASSERT_TRUE(server_->Running()) << server_->Problem();
    }
    // The whole answer once the server closes.
    std::string Exchange(const std::string& request, const char* from = "127.0.0.1") {
        Client client(server_->Port(), from);
        client.Send(request);
        EXPECT_TRUE(client.ClosedWithin(std::chrono::seconds(5))) << client.Received();
        return client.Received();
    }
    std::string LoginPage(const char* from = "127.0.0.1") {
        return Exchange("GET /login.html HTTP/1.1\r\nHost: x\r\n\r\n", from);
    }
    std::string TryLogIn(const std::string& name, const std::string& password, const char* from,
                         const std::string& extraHeaders = {}) {
        const std::string body = nlohmann::json{{"name", name}, {"password", password}}.dump();
        return Exchange(fmt::format("POST /api/login HTTP/1.1\r\nHost: x\r\nContent-Type: "
                                    "application/json\r\n{}Content-Length: {}\r\n\r\n{}",
                                    extraHeaders, body.size(), body),
                        from);
    }

    std::filesystem::path dir_;
    testing::FakeStation station_;
    AccountStore accounts_;
    WebConfig config_;
    VirtualClock clock_;
    RecordedLines log_;
    std::unique_ptr<WebServer> server_;
};

// 150 bodies trickled from one address hold no thread: another client there
// is served while they last, and each is cut off with a 408 at its deadline.
TEST_F(HostileClients, SlowBodiesLeaveTheLoginPageServedAndEndAtTheirDeadline) {
    config_.requestTimeoutMs = 3000;
    Start();
    const auto started = Steady::now();
    std::vector<std::unique_ptr<Client>> slow;
    for (int i = 0; i < 150; ++i) {
        slow.push_back(std::make_unique<Client>(server_->Port()));
        ASSERT_TRUE(slow.back()->Send(
            "POST /api/login HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n"
            "Content-Length: 3900\r\n\r\n{"));
    }
    int rounds = 0;
    int served = 0;
    while (Steady::now() - started < std::chrono::milliseconds(1500)) {
        for (const auto& client : slow) {
            client->Send("x");
        }
        const auto asked = Steady::now();
        const std::string page = LoginPage();
        EXPECT_EQ(AnswerStatus(page), 200) << page;
        EXPECT_LT(Steady::now() - asked, std::chrono::seconds(1));
        served += page.find("log in") != std::string::npos;
        ++rounds;
        // Paces the trickle; the first of them is not due to close yet.
        EXPECT_FALSE(slow.front()->ClosedWithin(std::chrono::milliseconds(100)));
    }
    EXPECT_EQ(served, rounds);
    EXPECT_GE(rounds, 2);
    int open = 0;
    for (const auto& client : slow) {
        open += !client->Closed();
    }
    EXPECT_EQ(open, 150) << "a slow body was cut before its deadline";
    const auto deadline = started + std::chrono::milliseconds(config_.requestTimeoutMs + 4000);
    int refused = 0;
    for (const auto& client : slow) {
        while (!client->Closed() && Steady::now() < deadline) {
            client->ClosedWithin(std::chrono::milliseconds(50));
        }
        refused += IsRefusal(client->Received(), 408);
    }
    EXPECT_EQ(refused, 150);
}

// A head that never ends and one trickled a byte at a time get the same 408
// as a body that stops, at the deadline of the whole request.
TEST_F(HostileClients, TheWholeHeadMustArriveInTime) {
    config_.requestTimeoutMs = 1000;
    Start();
    const auto started = Steady::now();
    Client stalled(server_->Port());
    stalled.Send("GET /login.html HTTP/1.1\r\nHost: x\r\n");
    Client trickled(server_->Port());
    const std::string head = "GET /login.html HTTP/1.1\r\nHost: x\r\nX-Slow: ";
    std::size_t sent = 0;
    while (!trickled.ClosedWithin(std::chrono::milliseconds(50)) &&
           Steady::now() - started < std::chrono::seconds(5)) {
        trickled.Send(std::string(1, sent < head.size() ? head[sent] : 'a'));
        ++sent;
    }
    EXPECT_GE(Steady::now() - started, std::chrono::milliseconds(config_.requestTimeoutMs));
    EXPECT_TRUE(IsRefusal(trickled.Received(), 408)) << trickled.Received();
    EXPECT_TRUE(stalled.ClosedWithin(std::chrono::seconds(2)));
    EXPECT_TRUE(IsRefusal(stalled.Received(), 408)) << stalled.Received();
}

TEST_F(HostileClients, OneAddressGetsItsShareOfConnectionsWhile127001IsShared) {
    config_.maxConnectionsPerAddress = 3;
    config_.requestTimeoutMs = 30000;
    Start();
    std::vector<std::unique_ptr<Client>> held;
    for (int i = 0; i < 3; ++i) {
        held.push_back(std::make_unique<Client>(server_->Port(), "127.0.0.5"));
        held.back()->Send("GET /login.html HTTP/1.1\r\n");
    }
    const std::string turnedAway = LoginPage("127.0.0.5");
    EXPECT_TRUE(IsRefusal(turnedAway, 503)) << turnedAway;
    EXPECT_EQ(AnswerStatus(LoginPage("127.0.0.6")), 200);
    // This machine's own address stands for many clients (a proxy here).
    for (int i = 0; i < 5; ++i) {
        held.push_back(std::make_unique<Client>(server_->Port(), "127.0.0.1"));
        held.back()->Send("GET /login.html HTTP/1.1\r\n");
    }
    EXPECT_EQ(AnswerStatus(LoginPage("127.0.0.1")), 200);
    // A connection that ends gives its place back, long before its deadline.
    held.erase(held.begin());
    const auto deadline = Steady::now() + std::chrono::seconds(2);
    int status = 0;
    while (status != 200 && Steady::now() < deadline) {
        status = AnswerStatus(LoginPage("127.0.0.5"));
    }
    EXPECT_EQ(status, 200);
}

// 127.0.0.9 is the proxy; 127.0.0.3 a client that claims what it likes.
TEST_F(HostileClients, OnlyATrustedProxyIsBelievedAboutTheClient) {
    config_.trustedProxies = {"127.0.0.9"};
    Start();
    // The throttle counts the client the proxy saw, not the proxy, and not
    // what the client put in front of it.
    const std::string via = "X-Forwarded-For: 127.0.0.1, 10.1.2.3\r\n";
    for (int i = 0; i < LoginThrottle::kFreeFailures; ++i) {
        EXPECT_EQ(AnswerStatus(TryLogIn("ada", "guess", "127.0.0.9", via)), 401);
    }
    EXPECT_EQ(AnswerStatus(TryLogIn("ada", "guess", "127.0.0.9", via)), 429);
    EXPECT_EQ(AnswerStatus(TryLogIn("ada", "guess", "127.0.0.9", "X-Forwarded-For: 10.1.2.4\r\n")),
              401);
    // Anyone else's claims change nothing.
    for (int i = 0; i < LoginThrottle::kFreeFailures; ++i) {
        EXPECT_EQ(AnswerStatus(TryLogIn("vic", "guess", "127.0.0.3",
                                        fmt::format("X-Forwarded-For: 10.9.9.{}\r\n", i))),
                  401);
    }
    EXPECT_EQ(AnswerStatus(TryLogIn("vic", "guess", "127.0.0.3", "X-Forwarded-For: 10.9.9.99\r\n")),
              429);

    const std::string https = "X-Forwarded-Proto: https\r\n";
    const std::string proxied = TryLogIn("vic", "viewer-pass", "127.0.0.9", https);
    ASSERT_EQ(AnswerStatus(proxied), 200) << proxied;
    EXPECT_NE(HeaderOf(proxied, "Set-Cookie").find("; Secure"), std::string::npos) << proxied;
    EXPECT_EQ(HeaderOf(proxied, "Strict-Transport-Security"), "max-age=31536000");
    const std::string claimed = TryLogIn("ada", "admin-pass-1", "127.0.0.4", https);
    ASSERT_EQ(AnswerStatus(claimed), 200) << claimed;
    EXPECT_EQ(HeaderOf(claimed, "Set-Cookie").find("; Secure"), std::string::npos) << claimed;
    EXPECT_EQ(HeaderOf(claimed, "Strict-Transport-Security"), "");

    // /metrics without a token: loopback clients only, as the proxy says.
    const std::string metrics = "GET /metrics HTTP/1.1\r\nHost: x\r\n";
    EXPECT_EQ(AnswerStatus(Exchange(metrics + "X-Forwarded-For: 10.1.2.3\r\n\r\n", "127.0.0.9")),
              403);
    EXPECT_EQ(AnswerStatus(Exchange(metrics + "X-Forwarded-For: 10.1.2.3\r\n\r\n", "127.0.0.3")),
              200);
}

TEST(StartWebServer, ServesPlainHttpBeyondLoopbackOnlyWhenToldToAndWarnsEachTime) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("qrv-web-plain-" + std::to_string(::getpid()));
    testing::FakeStation station(dir);
    AccountStore accounts(dir / "web-accounts.json", HashCost::Minimum());
    ASSERT_EQ(accounts.Add("vic", Role::kViewer, "viewer-pass"), "");
    RealClock clock;
    RecordedLines log;
    WebConfig config;
    config.enabled = true;
    config.listen = "0.0.0.0:0";
    EXPECT_EQ(StartWebServer({config, station, accounts, dir, {}, clock, log}), nullptr);
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_NE(log.lines[0].find("allow_plain_http"), std::string::npos) << log.lines[0];
    config.allowPlainHttp = true;
    for (int start = 1; start <= 2; ++start) {
        EXPECT_NE(StartWebServer({config, station, accounts, dir, {}, clock, log}), nullptr);
        ASSERT_EQ(log.lines.size(), 1u + 2u * static_cast<std::size_t>(start));
        EXPECT_NE(log.lines[2 * start - 1].find("Warning: the web server serves plain HTTP"),
                  std::string::npos)
            << log.lines[2 * start - 1];
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace qrv::web
