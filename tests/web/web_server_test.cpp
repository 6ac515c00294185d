#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "fake_station.h"
#include "web/listen_retry.h"
#include "web/web_server.h"

namespace qrv::web {
namespace {

using Steady = std::chrono::steady_clock;

class LogLines final : public EventLog {
  public:
    void LogMessageToDisk(std::string_view) override {}
};

// One client connection with a receive time-out, so that no test can hang on
// a server that does not answer.
class Client {
  public:
    explicit Client(int port) : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const timeval timeout{0, 200 * 1000};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~Client() { ::close(fd_); }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    bool Connected() const { return connected_; }
    bool Send(std::string_view text) {
        return ::send(fd_, text.data(), text.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(text.size());
    }
    // Reads until wanted has arrived, the server closes, or the deadline.
    bool ReadUntil(std::string_view wanted, std::chrono::milliseconds within) {
        const auto deadline = Steady::now() + within;
        while (received_.find(wanted) == std::string::npos) {
            if (Steady::now() > deadline || closed_) {
                return false;
            }
            Receive();
        }
        return true;
    }
    // Whether the server closed the connection before the deadline.
    bool ClosedWithin(std::chrono::milliseconds within) {
        const auto deadline = Steady::now() + within;
        while (!closed_ && Steady::now() < deadline) {
            Receive();
        }
        return closed_;
    }
    const std::string& Received() const { return received_; }

  private:
    void Receive() {
        char buffer[4096];
        const ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
        if (got > 0) {
            received_.append(buffer, static_cast<std::size_t>(got));
        } else if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            closed_ = true;
        }
    }

    int fd_;
    bool connected_ = false;
    bool closed_ = false;
    std::string received_;
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

    std::string LogIn() {
        Client client(server_->Port());
        const std::string body = R"({"name":"vic","password":"viewer-pass"})";
        client.Send(
            "POST /api/login HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n"
            "Connection: close\r\nContent-Length: " +
            std::to_string(body.size()) + "\r\n\r\n" + body);
        EXPECT_TRUE(client.ReadUntil("\"csrf\"", std::chrono::seconds(5))) << client.Received();
        const std::string& text = client.Received();
        const std::size_t at = text.find("qrv_session=");
        return at == std::string::npos ? std::string() : text.substr(at, 12 + 64);
    }

    std::filesystem::path dir_;
    testing::FakeStation station_;
    AccountStore accounts_;
    RealClock clock_;
    LogLines log_;
    std::unique_ptr<WebServer> server_;
};

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

}  // namespace
}  // namespace qrv::web
