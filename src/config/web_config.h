#pragma once

#include <string>
#include <vector>

namespace qrv {

// [web]: the dashboard, its accounts and the Prometheus metrics.
struct WebConfig {
    bool enabled = false;
    // IPv4 address and port. Anything but loopback is refused while no
    // account exists.
    std::string listen = "127.0.0.1:8080";
    // TLS when both are set (PEM files); relative paths are taken from the
    // station directory.
    std::string certFile;
    std::string keyFile;
    // Where the pages are; empty for the installed ones.
    std::string root;
    int sessionIdleMinutes = 30;
    // A session ends this long after its login however busy it was, so that
    // a stolen cookie does not work for ever.
    int sessionLifetimeHours = 12;
    // Empty: /metrics answers loopback clients only.
    std::string metricsToken;
    // A request's head and body must arrive within this time, so that a
    // client that trickles bytes cannot hold a worker.
    int requestTimeoutMs = 10000;
    // Live pages open at once; more are refused rather than slowing the rest.
    int maxStreams = 128;
    int reportTimeoutSeconds = 120;
    // Connections open at once from one client address, so that one client
    // cannot take every connection. 127.0.0.1 and the trusted proxies stand
    // for many clients and have only the server's total.
    int maxConnectionsPerAddress = 32;
    // Plain HTTP on an address beyond loopback sends passwords and cookies in
    // the clear: refused unless this says it is meant.
    bool allowPlainHttp = false;
    // IPv4 addresses of reverse proxies whose X-Forwarded-For and
    // X-Forwarded-Proto are believed; nobody else's are.
    std::vector<std::string> trustedProxies;

    bool Tls() const { return !certFile.empty() && !keyFile.empty(); }

    friend bool operator==(const WebConfig&, const WebConfig&) = default;
};

}  // namespace qrv
