#pragma once

// A real mosquitto broker for a test: its own configuration file, a free
// loopback port, started and stopped by the test. And a watching client that
// records everything the broker passes on.
#include <mosquitto.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace qrv::testing {

// Waits until done() holds, for at most timeout; false when it never did.
bool Eventually(const std::function<bool()>& done,
                std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Runs program with arguments (no shell) and returns its exit status.
int RunProgram(const std::vector<std::string>& argv);

struct BrokerOptions {
    // "user:password" lines; anonymous clients are refused when set.
    std::string passwords;
    // A second listener with TLS, its certificate signed by a test CA.
    bool tls = false;
};

class TestBroker {
  public:
    TestBroker() : TestBroker(BrokerOptions{}) {}
    explicit TestBroker(const BrokerOptions& options);
    ~TestBroker();
    TestBroker(const TestBroker&) = delete;
    TestBroker& operator=(const TestBroker&) = delete;

    // Starts the broker and returns once it accepts connections; a broker
    // that does not is a test failure.
    void Start();
    void Stop();
    // Stops the broker's process where it is (SIGSTOP) or lets it go on: a
    // broker that keeps the connection open and answers nothing.
    void Pause(bool paused);

    int Port() const { return port_; }
    int TlsPort() const { return tlsPort_; }
    // The test CA's certificate and a CA that signed nothing of the broker's.
    std::filesystem::path CaFile() const { return dir_ / "ca.crt"; }
    std::filesystem::path OtherCaFile() const { return dir_ / "other-ca.crt"; }
    // How often the broker's log has said text.
    int LogCount(const std::string& text) const;

  private:
    void MakeCertificates();

    TempDir dir_;
    int port_;
    int tlsPort_ = 0;
    int pid_ = -1;
};

struct Received {
    std::string topic;
    std::string payload;
    bool retained;
};

// Subscribes to everything on a broker and keeps what arrives, in order.
class Watcher {
  public:
    explicit Watcher(int port, const std::string& topic = "#");
    ~Watcher();
    Watcher(const Watcher&) = delete;
    Watcher& operator=(const Watcher&) = delete;

    std::vector<Received> Messages() const;
    // Waits (for at most timeout) until done(messages) holds.
    bool WaitFor(const std::function<bool(const std::vector<Received>&)>& done,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
    // The latest payload on topic, or none.
    std::optional<std::string> Latest(const std::string& topic) const;
    void Publish(const std::string& topic, const std::string& payload, bool retained = false);

  private:
    static void OnMessage(mosquitto*, void* self, const mosquitto_message* message);
    static void OnSubscribe(mosquitto*, void* self, int, int, const int*);

    mosquitto* client_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<Received> messages_;
    bool subscribed_ = false;
};

}  // namespace qrv::testing
