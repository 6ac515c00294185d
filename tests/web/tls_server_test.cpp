// The dashboard over HTTPS, with a real TLS client on loopback that checks the
// server's certificate as a browser would.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <nlohmann/json.hpp>

#include "fake_station.h"
#include "loopback_client.h"
#include "web/listen_retry.h"
#include "web/web_server.h"

namespace qrv::web {
namespace {

using Steady = std::chrono::steady_clock;

template <typename T, void (*Free)(T*)>
struct Freed {
    void operator()(T* p) const { Free(p); }
};
using Key = std::unique_ptr<EVP_PKEY, Freed<EVP_PKEY, EVP_PKEY_free>>;
using Certificate = std::unique_ptr<X509, Freed<X509, X509_free>>;
using Context = std::unique_ptr<SSL_CTX, Freed<SSL_CTX, SSL_CTX_free>>;
using Connection = std::unique_ptr<SSL, Freed<SSL, SSL_free>>;

// A self-signed certificate for 127.0.0.1 and its key, as PEM files.
struct CertificateFiles {
    std::filesystem::path cert;
    std::filesystem::path key;
};

CertificateFiles WriteSelfSigned(const std::filesystem::path& dir, const std::string& stem) {
    Key key(EVP_EC_gen("P-256"));
    Certificate cert(X509_new());
    X509_set_version(cert.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -60);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 3600);
    X509_set_pubkey(cert.get(), key.get());
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("quorvanel test"), -1, -1, 0);
    X509_set_issuer_name(cert.get(), name);
    X509V3_CTX extensions;
    X509V3_set_ctx_nodb(&extensions);
    X509V3_set_ctx(&extensions, cert.get(), cert.get(), nullptr, nullptr, 0);
    for (const auto& [nid, value] : {std::pair{NID_subject_alt_name, "IP:127.0.0.1"},
                                     std::pair{NID_basic_constraints, "critical,CA:TRUE"}}) {
        X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &extensions, nid, value);
        X509_add_ext(cert.get(), extension, -1);
        X509_EXTENSION_free(extension);
    }
    X509_sign(cert.get(), key.get(), EVP_sha256());
    CertificateFiles files{dir / (stem + "-cert.pem"), dir / (stem + "-key.pem")};
    FILE* out = std::fopen(files.cert.c_str(), "w");
    PEM_write_X509(out, cert.get());
    std::fclose(out);
    out = std::fopen(files.key.c_str(), "w");
    PEM_write_PrivateKey(out, key.get(), nullptr, nullptr, 0, nullptr, nullptr);
    std::fclose(out);
    return files;
}

// A socket connected to the port on loopback from `from`, whose reads give up
// after timeout; -1 when nothing listens.
int ConnectLoopback(int port, timeval timeout, const char* from = "127.0.0.1") {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_in source{};
    source.sin_family = AF_INET;
    ::inet_pton(AF_INET, from, &source.sin_addr);
    ::bind(fd, reinterpret_cast<sockaddr*>(&source), sizeof source);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// One TLS client connection trusting only `trusted`, checking that the
// certificate is for 127.0.0.1, whose reads give up after a short while so
// that no test hangs on a server that does not answer.
class TlsClient {
  public:
    TlsClient(int port, const std::filesystem::path& trusted, const char* from = "127.0.0.1")
        : context_(SSL_CTX_new(TLS_client_method())),
          fd_(ConnectLoopback(port, {0, 200 * 1000}, from)) {
        SSL_CTX_set_verify(context_.get(), SSL_VERIFY_PEER, nullptr);
        if (SSL_CTX_load_verify_locations(context_.get(), trusted.c_str(), nullptr) != 1) {
            ADD_FAILURE() << "cannot load " << trusted;
            return;
        }
        if (fd_ < 0) {
            return;
        }
        ssl_.reset(SSL_new(context_.get()));
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl_.get()), "127.0.0.1");
        SSL_set_fd(ssl_.get(), fd_);
        // The handshake's reads time out like any other: retried to 5 s.
        const auto deadline = Steady::now() + std::chrono::seconds(5);
        int result = 0;
        while ((result = SSL_connect(ssl_.get())) != 1 &&
               SSL_get_error(ssl_.get(), result) == SSL_ERROR_WANT_READ &&
               Steady::now() < deadline) {
        }
        connected_ = result == 1;
    }
    ~TlsClient() {
        ssl_.reset();
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    TlsClient(const TlsClient&) = delete;
    TlsClient& operator=(const TlsClient&) = delete;

    bool Connected() const { return connected_; }
    // Whether all of text went out (a server that has answered and closed
    // may refuse the rest).
    bool Send(const std::string& text) {
        return connected_ && SSL_write(ssl_.get(), text.data(), static_cast<int>(text.size())) ==
                                 static_cast<int>(text.size());
    }
    // Reads until wanted has arrived, the server closes, or the deadline.
    bool ReadUntil(const std::string& wanted, std::chrono::milliseconds within) {
        const auto deadline = Steady::now() + within;
        while (received_.find(wanted) == std::string::npos) {
            if (Steady::now() > deadline || closed_) {
                return false;
            }
            Receive();
        }
        return true;
    }
    bool ClosedWithin(std::chrono::milliseconds within) {
        const auto deadline = Steady::now() + within;
        while (!closed_ && Steady::now() < deadline) {
            Receive();
        }
        return closed_;
    }
    // Takes what has arrived without waiting; whether the server closed.
    bool Closed() {
        pollfd ready{fd_, POLLIN, 0};
        if (::poll(&ready, 1, 0) > 0) {
            Receive();
        }
        return closed_;
    }
    const std::string& Received() const { return received_; }

  private:
    void Receive() {
        if (!connected_) {
            closed_ = true;
            return;
        }
        char buffer[4096];
        const int got = SSL_read(ssl_.get(), buffer, sizeof buffer);
        if (got > 0) {
            received_.append(buffer, static_cast<std::size_t>(got));
        } else if (SSL_get_error(ssl_.get(), got) != SSL_ERROR_WANT_READ) {
            closed_ = true;
        }
    }

    Context context_;
    Connection ssl_;
    int fd_;
    bool connected_ = false;
    bool closed_ = false;
    std::string received_;
};

// One request over TLS: the answer as far as it came before the server closed
// or 5 s passed; empty when the handshake failed.
std::string TlsRequest(int port, const std::filesystem::path& trusted, const std::string& request,
                       const char* from = "127.0.0.1") {
    TlsClient client(port, trusted, from);
    client.Send(request);
    client.ClosedWithin(std::chrono::seconds(5));
    return client.Received();
}

// What a plain HTTP client gets from the port before it closes or 2 s pass.
std::string PlainRequest(int port, const std::string& request) {
    const int fd = ConnectLoopback(port, {2, 0});
    std::string answer;
    if (fd >= 0 && ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) > 0) {
        char buffer[4096];
        ssize_t got = 0;
        while ((got = ::recv(fd, buffer, sizeof buffer, 0)) > 0) {
            answer.append(buffer, static_cast<std::size_t>(got));
        }
    }
    if (fd >= 0) {
        ::close(fd);
    }
    return answer;
}

struct Lines final : EventLog {
    void LogMessageToDisk(std::string_view line) override { lines.emplace_back(line); }
    std::vector<std::string> lines;
};

class TlsServer : public ::testing::Test {
  protected:
    TlsServer()
        : dir_(std::filesystem::temp_directory_path() /
               ("qrv-web-tls-" + std::to_string(::getpid()))),
          station_(dir_),
          accounts_(dir_ / "web-accounts.json", HashCost::Minimum()),
          files_(WriteSelfSigned(dir_, "station")) {
        EXPECT_EQ(accounts_.Add("olga", Role::kOperator, "operator-pass"), "");
        std::ofstream(dir_ / "login.html") << "<html>tls</html>";
        config_.enabled = true;
        config_.listen = "127.0.0.1:0";
        config_.certFile = files_.cert.string();
        config_.keyFile = files_.key.string();
    }
    ~TlsServer() override { std::filesystem::remove_all(dir_); }
    // A client still writing when the server has refused and closed gets
    // EPIPE, not a signal that ends the test program.
    static void SetUpTestSuite() { std::signal(SIGPIPE, SIG_IGN); }

    std::unique_ptr<WebServer> Start() {
        return std::make_unique<WebServer>(
            WebServer::Parts{config_, station_, accounts_, dir_, {}, clock_, log_});
    }

    std::filesystem::path dir_;
    testing::FakeStation station_;
    AccountStore accounts_;
    CertificateFiles files_;
    WebConfig config_;
    RealClock clock_;
    Lines log_;
};

TEST_F(TlsServer, ServesOnlyTlsWithItsCertificateAndASecureCookie) {
    const auto server = Start();
    ASSERT_TRUE(server->Running()) << server->Problem();
    const std::string body = R"({"name":"olga","password":"operator-pass"})";
    const std::string login =
        "POST /api/login HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n"
        "Connection: close\r\nContent-Length: " +
        std::to_string(body.size()) + "\r\n\r\n" + body;

    const std::string answer = TlsRequest(server->Port(), files_.cert, login);
    EXPECT_EQ(answer.rfind("HTTP/1.1 200", 0), 0u) << answer;
    const std::size_t cookie = answer.find("Set-Cookie: qrv_session=");
    ASSERT_NE(cookie, std::string::npos) << answer;
    const std::string cookieLine = answer.substr(cookie, answer.find("\r\n", cookie) - cookie);
    EXPECT_NE(cookieLine.find("; Secure"), std::string::npos) << cookieLine;
    EXPECT_NE(cookieLine.find("HttpOnly"), std::string::npos) << cookieLine;
    EXPECT_NE(answer.find("\r\nStrict-Transport-Security: max-age=31536000\r\n"), std::string::npos)
        << answer;

    // A client that trusts another certificate refuses this server.
    const CertificateFiles stranger = WriteSelfSigned(dir_, "stranger");
    EXPECT_EQ(TlsRequest(server->Port(), stranger.cert, login), "");
    // Plain HTTP on the TLS port gets no answer, least of all a login.
    EXPECT_EQ(PlainRequest(server->Port(), login).find("HTTP/1.1"), std::string::npos);
}

// Encrypted, a request's deadline counts from the connection's start, the
// handshake included, and a client that holds its connection open (in the
// handshake or in its body) holds no one else up meanwhile.
TEST_F(TlsServer, SlowHandshakesAndBodiesEndAtTheDeadlineWithoutHoldingOthers) {
    config_.requestTimeoutMs = 4000;
    const auto server = Start();
    ASSERT_TRUE(server->Running()) << server->Problem();
    const auto started = Steady::now();
    std::vector<std::unique_ptr<testing::Client>> handshakes;
    for (int i = 0; i < 20; ++i) {
        // The first bytes of a ClientHello, then silence.
        handshakes.push_back(std::make_unique<testing::Client>(server->Port()));
        ASSERT_TRUE(handshakes.back()->Send(std::string("\x16\x03\x01", 3)));
    }
    std::vector<std::unique_ptr<TlsClient>> bodies;
    for (int i = 0; i < 5; ++i) {
        bodies.push_back(std::make_unique<TlsClient>(server->Port(), files_.cert));
        ASSERT_TRUE(bodies.back()->Send(
            "POST /api/login HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n"
            "Content-Length: 100\r\n\r\n{\"name\":\"olga\""));
    }

    const std::string page = TlsRequest(server->Port(), files_.cert,
                                        "GET /login.html HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    EXPECT_EQ(page.rfind("HTTP/1.1 200", 0), 0u) << page;
    EXPECT_NE(page.find("<html>tls</html>"), std::string::npos) << page;
    // Answered while every slow client still held its connection.
    for (auto& handshake : handshakes) {
        EXPECT_FALSE(handshake->Closed());
    }
    for (auto& body : bodies) {
        EXPECT_FALSE(body->Closed()) << body->Received();
    }

    for (auto& body : bodies) {
        EXPECT_TRUE(body->ClosedWithin(std::chrono::seconds(5)));
        const std::string& answer = body->Received();
        EXPECT_EQ(answer.rfind("HTTP/1.1 408", 0), 0u) << answer;
        EXPECT_EQ(testing::HeaderOf(answer, "Content-Type"), "application/json") << answer;
        EXPECT_EQ(testing::HeaderOf(answer, "Strict-Transport-Security"), "max-age=31536000")
            << answer;
    }
    for (auto& handshake : handshakes) {
        // Nothing to answer before a handshake: closed at the deadline.
        EXPECT_TRUE(handshake->ClosedWithin(std::chrono::seconds(5)));
        EXPECT_EQ(handshake->Received(), "");
    }
    EXPECT_GE(Steady::now() - started, std::chrono::milliseconds(4000));
}

// A handshake holds one of its address's places from the accept on, and every
// TLS connection gives its place back when it ends, answered or not.
TEST_F(TlsServer, HandshakesTakeTheirAddresssShareAndGiveItBack) {
    config_.maxConnectionsPerAddress = 3;
    config_.requestTimeoutMs = 30000;
    const auto server = Start();
    ASSERT_TRUE(server->Running()) << server->Problem();
    const std::string page = "GET /login.html HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    for (int i = 0; i < 5; ++i) {
        const std::string answer = TlsRequest(server->Port(), files_.cert, page, "127.0.0.5");
        ASSERT_EQ(answer.rfind("HTTP/1.1 200", 0), 0u) << i << answer;
    }
    std::vector<std::unique_ptr<testing::Client>> held;
    for (int i = 0; i < 3; ++i) {
        held.push_back(std::make_unique<testing::Client>(server->Port(), "127.0.0.5"));
        ASSERT_TRUE(held.back()->Send(std::string("\x16\x03\x01", 3)));
    }
    // Turned away at once, not at the deadline.
    const auto turned = Steady::now();
    EXPECT_FALSE(TlsClient(server->Port(), files_.cert, "127.0.0.5").Connected());
    EXPECT_LT(Steady::now() - turned, std::chrono::seconds(5));
    EXPECT_EQ(TlsRequest(server->Port(), files_.cert, page, "127.0.0.6").rfind("HTTP/1.1 200", 0),
              0u);
    held.erase(held.begin());
    const auto deadline = Steady::now() + std::chrono::seconds(3);
    std::string answer;
    while (!answer.starts_with("HTTP/1.1 200") && Steady::now() < deadline) {
        answer = TlsRequest(server->Port(), files_.cert, page, "127.0.0.5");
    }
    EXPECT_EQ(answer.rfind("HTTP/1.1 200", 0), 0u) << answer;
}

// Decrypted by the station itself, every head is looked at before the server
// library sees it, so each refusal is ours: JSON, the security headers, HSTS.
TEST_F(TlsServer, EveryRefusalOfAHeadIsOursWithHsts) {
    const auto server = Start();
    ASSERT_TRUE(server->Running()) << server->Problem();
    for (const auto& [status, request] :
         {std::pair{400,
                    std::string("GET /index.html HTTP/1.1\r\nHost: x\r\nNo colon here\r\n\r\n")},
          std::pair{400, std::string("\x01\x02 nonsense\r\n\r\n")},
          std::pair{400, std::string("GET /index.html HTTP/1.1\r\nAccept: */*\r\n\r\n")},
          std::pair{400, std::string("GET /index.html HTTP/1.1\r\nHost: x\r\nHost: y\r\n\r\n")},
          std::pair{431, std::string("GET /index.html HTTP/1.1\r\nHost: x\r\nX-Big: ") +
                             std::string(20000, 'a') + "\r\n\r\n"},
          // Beyond what the library would have taken at all.
          std::pair{431, std::string("GET /index.html HTTP/1.1\r\nHost: x\r\nX-Big: ") +
                             std::string(70 * 1024, 'a') + "\r\n\r\n"},
          std::pair{411, std::string("POST /api/login HTTP/1.1\r\nHost: x\r\n"
                                     "Transfer-Encoding: chunked\r\n\r\n")},
          std::pair{413, std::string("POST /api/login HTTP/1.1\r\nHost: x\r\n"
                                     "Content-Length: 99999999\r\n\r\n")}}) {
        const std::string answer = TlsRequest(server->Port(), files_.cert, request);
        EXPECT_EQ(answer.rfind("HTTP/1.1 " + std::to_string(status), 0), 0u)
            << request.substr(0, 60) << "\n"
            << answer;
        EXPECT_EQ(testing::HeaderOf(answer, "Content-Type"), "application/json") << answer;
        EXPECT_EQ(testing::HeaderOf(answer, "X-Content-Type-Options"), "nosniff") << answer;
        EXPECT_EQ(testing::HeaderOf(answer, "Strict-Transport-Security"), "max-age=31536000")
            << answer;
        const auto body = nlohmann::json::parse(testing::BodyOf(answer), nullptr, false);
        EXPECT_TRUE(body.is_object() && body.contains("error")) << answer;
    }
}

// What a browser does over TLS: a page, a login, the live stream as readings
// come, and a scrape of the metrics.
TEST_F(TlsServer, PagesLoginTheLiveStreamAndMetricsWork) {
    const auto server = Start();
    ASSERT_TRUE(server->Running()) << server->Problem();
    const std::string page = TlsRequest(server->Port(), files_.cert,
                                        "GET /login.html HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    EXPECT_EQ(page.rfind("HTTP/1.1 200", 0), 0u) << page;
    EXPECT_EQ(testing::BodyOf(page), "<html>tls</html>");

    const std::string body = R"({"name":"olga","password":"operator-pass"})";
    const std::string login = TlsRequest(
        server->Port(), files_.cert,
        "POST /api/login HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n"
        "Content-Length: " +
            std::to_string(body.size()) + "\r\n\r\n" + body);
    const std::size_t at = login.find("qrv_session=");
    ASSERT_NE(at, std::string::npos) << login;
    const std::string cookie = login.substr(at, 12 + 64);

    TlsClient live(server->Port(), files_.cert);
    ASSERT_TRUE(
        live.Send("GET /api/events HTTP/1.1\r\nHost: 127.0.0.1\r\nCookie: " + cookie + "\r\n\r\n"));
    ASSERT_TRUE(live.ReadUntil("event: snapshot", std::chrono::seconds(5))) << live.Received();
    EXPECT_EQ(testing::HeaderOf(live.Received(), "Content-Type"), "text/event-stream");
    EXPECT_EQ(testing::HeaderOf(live.Received(), "Strict-Transport-Security"), "max-age=31536000");
    station_.Read(1, -21.5);
    EXPECT_TRUE(live.ReadUntil("-21.5", std::chrono::seconds(5))) << live.Received();

    const std::string metrics =
        TlsRequest(server->Port(), files_.cert, "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    EXPECT_EQ(metrics.rfind("HTTP/1.1 200", 0), 0u) << metrics;
    EXPECT_NE(metrics.find("# TYPE "), std::string::npos) << metrics;
    // The stream is still open beside the other requests.
    station_.Read(1, -19.25);
    EXPECT_TRUE(live.ReadUntil("-19.25", std::chrono::seconds(5))) << live.Received();
}

TEST_F(TlsServer, DoesNotStartOnACertificateOrKeyItCannotUse) {
    const CertificateFiles other = WriteSelfSigned(dir_, "other");
    config_.keyFile = other.key.string();
    {
        const auto server = Start();
        EXPECT_FALSE(server->Running());
        EXPECT_NE(server->Problem().find("does not belong to the certificate"), std::string::npos)
            << server->Problem();
    }
    config_.keyFile = files_.key.string();
    config_.certFile = (dir_ / "missing.pem").string();
    {
        const auto server = Start();
        EXPECT_FALSE(server->Running());
        EXPECT_NE(server->Problem().find("cannot use the certificate " + config_.certFile),
                  std::string::npos)
            << server->Problem();
    }
    // A certificate without its key would serve plain HTTP where HTTPS was meant.
    config_.certFile = files_.cert.string();
    config_.keyFile.clear();
    EXPECT_EQ(StartWebServer({config_, station_, accounts_, dir_, {}, clock_, log_}), nullptr);
    ASSERT_EQ(log_.lines.size(), 1u);
    EXPECT_NE(log_.lines[0].find("not both"), std::string::npos) << log_.lines[0];
    // Both good: it starts, and says it serves HTTPS.
    config_.keyFile = files_.key.string();
    EXPECT_NE(StartWebServer({config_, station_, accounts_, dir_, {}, clock_, log_}), nullptr);
    ASSERT_EQ(log_.lines.size(), 2u);
    EXPECT_NE(log_.lines[1].find("(HTTPS)"), std::string::npos) << log_.lines[1];
}

}  // namespace
}  // namespace qrv::web
