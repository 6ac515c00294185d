#include "test_broker.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

#include <gtest/gtest.h>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

namespace qrv::testing {

bool Eventually(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::yield();
    }
    return true;
}

namespace {

using SteadyClock = std::chrono::steady_clock;

// A port nobody listens on now; the broker takes it right after.
int FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
                       ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    ::close(fd);
    EXPECT_TRUE(bound) << "no free loopback port";
    return ntohs(address.sin_port);
}

bool Accepts(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return ok;
}

int Spawn(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    pid_t pid = -1;
    if (::posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) {
        return -1;
    }
    return pid;
}

std::string Broker() {
    return std::filesystem::exists("/usr/sbin/mosquitto") ? "/usr/sbin/mosquitto" : "mosquitto";
}

}  // namespace

int RunProgram(const std::vector<std::string>& argv) {
    const int pid = Spawn(argv);
    int status = -1;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid) {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TestBroker::TestBroker(const BrokerOptions& options) : port_(FreePort()) {
    std::ofstream conf(dir_ / "broker.conf");
    conf << "per_listener_settings false\n"
         << "persistence false\n"
         << "log_dest file " << (dir_ / "broker.log").string() << "\n"
         << "log_type error\nlog_type warning\nlog_type notice\nlog_type information\n"
         << "connection_messages true\n"
         // Run as root (CI), the broker would change to a user that cannot
         // read the test's files.
         << "user root\n"
         << "listener " << port_ << " 127.0.0.1\n";
    if (options.passwords.empty()) {
        conf << "allow_anonymous true\n";
    } else {
        WriteBytes(dir_ / "passwords", options.passwords);
        EXPECT_EQ(RunProgram({"mosquitto_passwd", "-U", (dir_ / "passwords").string()}), 0);
        conf << "allow_anonymous false\n"
             << "password_file " << (dir_ / "passwords").string() << "\n";
    }
    if (options.tls) {
        MakeCertificates();
        tlsPort_ = FreePort();
        conf << "listener " << tlsPort_ << " 127.0.0.1\n"
             << "cafile " << CaFile().string() << "\n"
             << "certfile " << (dir_ / "server.crt").string() << "\n"
             << "keyfile " << (dir_ / "server.key").string() << "\n";
    }
}

TestBroker::~TestBroker() {
    Stop();
}

void TestBroker::MakeCertificates() {
    const auto path = [this](const char* name) { return (dir_ / name).string(); };
    for (const char* ca : {"ca", "other-ca"}) {
        const std::string name = ca;
        ASSERT_EQ(RunProgram({"openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days",
                              "2", "-subj", "/CN=Test " + name, "-keyout", path(ca) + ".key",
                              "-out", path(ca) + ".crt"}),
                  0);
    }
    WriteBytes(dir_ / "server.ext", "subjectAltName=DNS:localhost,IP:127.0.0.1\n");
    ASSERT_EQ(
        RunProgram({"openssl", "req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=localhost",
                    "-keyout", path("server.key"), "-out", path("server.csr")}),
        0);
    ASSERT_EQ(RunProgram({"openssl", "x509", "-req", "-in", path("server.csr"), "-CA",
                          path("ca.crt"), "-CAkey", path("ca.key"), "-CAcreateserial", "-days", "2",
                          "-extfile", path("server.ext"), "-out", path("server.crt")}),
              0);
}

void TestBroker::Start() {
    pid_ = Spawn({Broker(), "-c", (dir_ / "broker.conf").string()});
    ASSERT_GT(pid_, 0) << "mosquitto cannot be started";
    const auto deadline = SteadyClock::now() + std::chrono::seconds(10);
    while (!Accepts(port_)) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid_, &status, WNOHANG), 0)
            << "mosquitto ended: " << ReadBytes(dir_ / "broker.log");
        ASSERT_LT(SteadyClock::now(), deadline) << "mosquitto does not accept connections";
        std::this_thread::yield();
    }
}

void TestBroker::Stop() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
}

void TestBroker::Pause(bool paused) {
    if (pid_ > 0) {
        ::kill(pid_, paused ? SIGSTOP : SIGCONT);
    }
}

int TestBroker::LogCount(const std::string& text) const {
    const std::string log = ReadBytes(dir_ / "broker.log");
    int n = 0;
    for (auto at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) {
        ++n;
    }
    return n;
}

Watcher::Watcher(int port, const std::string& topic) {
    mosquitto_lib_init();
    client_ = mosquitto_new(nullptr, true, this);
    mosquitto_message_callback_set(client_, OnMessage);
    mosquitto_subscribe_callback_set(client_, OnSubscribe);
    EXPECT_EQ(mosquitto_connect(client_, "127.0.0.1", port, 30), MOSQ_ERR_SUCCESS);
    EXPECT_EQ(mosquitto_subscribe(client_, nullptr, topic.c_str(), 1), MOSQ_ERR_SUCCESS);
    EXPECT_EQ(mosquitto_loop_start(client_), MOSQ_ERR_SUCCESS);
    std::unique_lock lock(mutex_);
    EXPECT_TRUE(changed_.wait_for(lock, std::chrono::seconds(10), [this] { return subscribed_; }));
}

Watcher::~Watcher() {
    // The library's thread ends by itself once disconnected; forcing it
    // cancels it wherever it is, and a message it was taking in leaks.
    mosquitto_disconnect(client_);
    mosquitto_loop_stop(client_, false);
    mosquitto_destroy(client_);
    mosquitto_lib_cleanup();
}

void Watcher::OnMessage(mosquitto*, void* self, const mosquitto_message* message) {
    auto* watcher = static_cast<Watcher*>(self);
    const std::lock_guard lock(watcher->mutex_);
    watcher->messages_.push_back({message->topic,
                                  std::string(static_cast<const char*>(message->payload),
                                              static_cast<std::size_t>(message->payloadlen)),
                                  message->retain});
    watcher->changed_.notify_all();
}

void Watcher::OnSubscribe(mosquitto*, void* self, int, int, const int*) {
    auto* watcher = static_cast<Watcher*>(self);
    const std::lock_guard lock(watcher->mutex_);
    watcher->subscribed_ = true;
    watcher->changed_.notify_all();
}

std::vector<Received> Watcher::Messages() const {
    const std::lock_guard lock(mutex_);
    return messages_;
}

bool Watcher::WaitFor(const std::function<bool(const std::vector<Received>&)>& done,
                      std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return done(messages_); });
}

std::optional<std::string> Watcher::Latest(const std::string& topic) const {
    const std::lock_guard lock(mutex_);
    for (auto it = messages_.rbegin(); it != messages_.rend(); ++it) {
        if (it->topic == topic) {
            return it->payload;
        }
    }
    return std::nullopt;
}

void Watcher::Publish(const std::string& topic, const std::string& payload, bool retained) {
    EXPECT_EQ(mosquitto_publish(client_, nullptr, topic.c_str(), static_cast<int>(payload.size()),
                                payload.data(), 1, retained),
              MOSQ_ERR_SUCCESS);
}

}  // namespace qrv::testing
