// The dashboard over HTTPS, with a real TLS client on loopback that checks the
// server's certificate as a browser would.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include "fake_station.h"
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

// A socket connected to the port on loopback, whose reads give up after
// timeout; -1 when nothing listens.
int ConnectLoopback(int port, timeval timeout) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
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

// One request over TLS, trusting only trusted and checking that the
// certificate is for 127.0.0.1. The answer as far as it came before the
// server closed or the deadline; empty when the handshake failed.
std::string TlsRequest(int port, const std::filesystem::path& trusted, const std::string& request) {
    Context context(SSL_CTX_new(TLS_client_method()));
    SSL_CTX_set_verify(context.get(), SSL_VERIFY_PEER, nullptr);
    if (SSL_CTX_load_verify_locations(context.get(), trusted.c_str(), nullptr) != 1) {
        ADD_FAILURE() << "cannot load " << trusted;
        return {};
    }
    const int fd = ConnectLoopback(port, {5, 0});
    std::string answer;
    if (fd >= 0) {
        Connection ssl(SSL_new(context.get()));
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl.get()), "127.0.0.1");
        SSL_set_fd(ssl.get(), fd);
        if (SSL_connect(ssl.get()) == 1 &&
            SSL_write(ssl.get(), request.data(), static_cast<int>(request.size())) > 0) {
            const auto deadline = Steady::now() + std::chrono::seconds(5);
            char buffer[4096];
            int got = 0;
            while (Steady::now() < deadline &&
                   (got = SSL_read(ssl.get(), buffer, sizeof buffer)) > 0) {
                answer.append(buffer, static_cast<std::size_t>(got));
            }
        }
    }
    if (fd >= 0) {
        ::close(fd);
    }
    return answer;
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
        config_.enabled = true;
        config_.listen = "127.0.0.1:0";
        config_.certFile = files_.cert.string();
        config_.keyFile = files_.key.string();
    }
    ~TlsServer() override { std::filesystem::remove_all(dir_); }

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

// Encrypted, the request's deadline and its refusal are the same.
TEST_F(TlsServer, ABodyThatStopsShortOrAStalledHandshakeEndsAtTheDeadline) {
    config_.requestTimeoutMs = 500;
    const auto server = Start();
    ASSERT_TRUE(server->Running()) << server->Problem();
    const auto started = Steady::now();
    const std::string answer = TlsRequest(
        server->Port(), files_.cert,
        "POST /api/login HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n"
        "Content-Length: 100\r\n\r\n{\"name\":\"olga\"");
    EXPECT_EQ(answer.rfind("HTTP/1.1 408", 0), 0u) << answer;
    EXPECT_NE(answer.find("Strict-Transport-Security"), std::string::npos) << answer;
    EXPECT_GE(Steady::now() - started, std::chrono::milliseconds(500));
    EXPECT_LT(Steady::now() - started, std::chrono::seconds(3));
    // One that never ends its handshake is closed at the same deadline.
    const auto silent = Steady::now();
    EXPECT_EQ(PlainRequest(server->Port(), std::string("\x16\x03\x01", 3)), "");
    EXPECT_GE(Steady::now() - silent, std::chrono::milliseconds(500));
    EXPECT_LT(Steady::now() - silent, std::chrono::seconds(2));
}

// Encrypted, the head is not looked at before the server library has it: the
// checks of a whole head must still refuse in our form, with HSTS.
TEST_F(TlsServer, HeadsRefusedAfterDecryptionGetOurRefusal) {
    const auto server = Start();
    ASSERT_TRUE(server->Running()) << server->Problem();
    for (const auto& [status, request] :
         {std::pair{431, std::string("GET /index.html HTTP/1.1\r\nHost: x\r\nX-Big: ") +
                             std::string(20000, 'a') + "\r\n\r\n"},
          std::pair{411, std::string("POST /api/login HTTP/1.1\r\nHost: x\r\n"
                                     "Transfer-Encoding: chunked\r\n\r\n")},
          std::pair{413, std::string("POST /api/login HTTP/1.1\r\nHost: x\r\n"
                                     "Content-Length: 99999999\r\n\r\n")}}) {
        const std::string answer = TlsRequest(server->Port(), files_.cert, request);
        EXPECT_EQ(answer.rfind("HTTP/1.1 " + std::to_string(status), 0), 0u) << answer;
        EXPECT_NE(answer.find("\r\nContent-Type: application/json\r\n"), std::string::npos)
            << answer;
        EXPECT_NE(answer.find("\r\nX-Content-Type-Options: nosniff\r\n"), std::string::npos)
            << answer;
        EXPECT_NE(answer.find("\r\nStrict-Transport-Security: max-age=31536000\r\n"),
                  std::string::npos)
            << answer;
    }
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
