// What the server decides about a connection before any route sees it.
#include <map>
#include <string>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "config/station_config.h"
#include "web/client_address.h"
#include "web/connection_limits.h"
#include "web/request_head.h"

namespace qrv::web {
namespace {

TEST(RequestHead, TellsWholeFromCutMalformedAndTooLarge) {
    EXPECT_EQ(CheckRequestHead("GET / HTTP/1.1\r\nHost: x\r\n\r\n"), HeadState::kComplete);
    EXPECT_EQ(CheckRequestHead("\r\nGET /a?b=%00 HTTP/1.0\nHost:x\n\nbody"), HeadState::kComplete);
    EXPECT_EQ(CheckRequestHead("POST /api/login HTTP/1.1\r\nHost: x\r\n"), HeadState::kIncomplete);
    EXPECT_EQ(CheckRequestHead("GET / HTTP/1.1\r\nHost: x\r\nX-Slow: aaa"), HeadState::kIncomplete);
    for (const char* bad :
         {"GET / HTTP/1.1\r\nHost: x\r\nNo colon here\r\n\r\n", "GET / HTTP/1.1\r\n: x\r\n\r\n",
          "GET / HTTP/1.1\r\nBad Name: x\r\n\r\n", "GET / HTTP/1.1\r\n folded: x\r\n\r\n",
          "GET / HTTP/1.1\r\nX: a\x01z\r\n\r\n", "GET /a b HTTP/1.1\r\n\r\n",
          "GET / HTTP/2\r\n\r\n", "GET /\r\n\r\n", "G(T / HTTP/1.1\r\n\r\n"}) {
        EXPECT_EQ(CheckRequestHead(bad), HeadState::kMalformed) << bad;
    }
    EXPECT_EQ(CheckRequestHead("POST / HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n"),
              HeadState::kNoLength);
    EXPECT_EQ(CheckRequestHead("POST / HTTP/1.1\r\nHost: x\r\nContent-Length:  12 \r\n\r\n"),
              HeadState::kComplete);
    const std::string big = "GET / HTTP/1.1\r\nX: " + std::string(kMaxHeadBytes, 'a');
    EXPECT_EQ(CheckRequestHead(big), HeadState::kTooLarge);
    EXPECT_EQ(CheckRequestHead(big + "\r\n\r\n"), HeadState::kTooLarge);
    const std::string fits =
        "GET / HTTP/1.1\r\nHost: x\r\nX: " + std::string(kMaxHeadBytes - 100, 'a');
    EXPECT_EQ(CheckRequestHead(fits + "\r\n\r\n"), HeadState::kComplete);
    // HTTP/1.1 names its host exactly once; HTTP/1.0 need not.
    EXPECT_EQ(CheckRequestHead("GET / HTTP/1.1\r\nAccept: */*\r\n\r\n"), HeadState::kBadHost);
    EXPECT_EQ(CheckRequestHead("GET / HTTP/1.1\r\nhOST: a\r\nHost: a\r\n\r\n"),
              HeadState::kBadHost);
    EXPECT_EQ(CheckRequestHead("GET / HTTP/1.0\r\nHost: a\r\nHost: b\r\n\r\n"),
              HeadState::kBadHost);
    EXPECT_EQ(CheckRequestHead("GET / HTTP/1.0\r\n\r\n"), HeadState::kComplete);
    EXPECT_EQ(CheckRequestHead("GET / HTTP/1.1\r\nX-Host: a\r\n\r\n"), HeadState::kBadHost);
}

TEST(ResolveClient, BelievesOnlyTrustedProxiesAndStripsTheHeadersForEveryone) {
    const std::vector<std::string> proxies{"10.0.0.1", "10.0.0.2"};
    struct Case {
        std::string peer;
        std::string forwardedFor;
        std::string proto;
        std::string address;
        bool tls;
    };
    for (const Case& c : std::vector<Case>{
             // What a client puts in front is its own claim; the proxy's
             // last entry is what it saw.
             {"10.0.0.1", "127.0.0.1, 203.0.113.7", "https", "203.0.113.7", true},
             // Through two proxies of ours.
             {"10.0.0.2", "203.0.113.7, 10.0.0.1", "", "203.0.113.7", false},
             // All proxies: the farthest one.
             {"10.0.0.2", "10.0.0.1", "http", "10.0.0.1", false},
             // Garbage from the proxy's side: the proxy itself.
             {"10.0.0.1", "203.0.113.7, unknown", "", "10.0.0.1", false},
             {"10.0.0.1", "", "", "10.0.0.1", false},
             // Not a proxy of ours: nothing is believed.
             {"192.0.2.5", "127.0.0.1", "https", "192.0.2.5", false},
         }) {
        std::map<std::string, std::string> headers{
            {"host", "x"}, {"x-real-ip", "1.2.3.4"}, {"forwarded", "for=1.2.3.4"}};
        if (!c.forwardedFor.empty()) {
            headers["x-forwarded-for"] = c.forwardedFor;
        }
        if (!c.proto.empty()) {
            headers["x-forwarded-proto"] = c.proto;
        }
        const ClientOrigin origin = ResolveClient(c.peer, false, headers, proxies);
        EXPECT_EQ(origin.address, c.address) << c.peer << " " << c.forwardedFor;
        EXPECT_EQ(origin.tls, c.tls) << c.peer << " " << c.proto;
        EXPECT_EQ(headers, (std::map<std::string, std::string>{{"host", "x"}}));
    }
    std::map<std::string, std::string> plain{{"x-forwarded-proto", "http"}};
    EXPECT_TRUE(ResolveClient("192.0.2.5", true, plain, proxies).tls);
}

TEST(ConnectionLimits, CountsPerAddressExceptSharedOnesAndInAll) {
    ConnectionLimits limits(5, 2, {"127.0.0.1"});
    EXPECT_TRUE(limits.Admit("192.0.2.1"));
    EXPECT_TRUE(limits.Admit("192.0.2.1"));
    EXPECT_FALSE(limits.Admit("192.0.2.1"));
    EXPECT_TRUE(limits.Admit("192.0.2.2"));
    limits.Release("192.0.2.1");
    EXPECT_TRUE(limits.Admit("192.0.2.1"));
    EXPECT_TRUE(limits.Admit("127.0.0.1"));
    EXPECT_TRUE(limits.Admit("127.0.0.1"));
    EXPECT_FALSE(limits.Admit("127.0.0.1")) << "the total holds for shared addresses too";
    EXPECT_FALSE(limits.Admit("192.0.2.3"));
    EXPECT_EQ(limits.Open(), 5u);
}

TEST(WebConfig, ReadsTheTransportAndConnectionKeys) {
    const StationConfigRead read = ParseStationConfig(
        "[web]\nallow_plain_http = true\nmax_connections_per_address = 8\n"
        "trusted_proxies = [\"127.0.0.1\", \"10.0.0.2\"]\n",
        "q.toml");
    EXPECT_TRUE(read.problems.empty()) << read.problems.front();
    EXPECT_TRUE(read.config.web.allowPlainHttp);
    EXPECT_EQ(read.config.web.maxConnectionsPerAddress, 8);
    EXPECT_EQ(read.config.web.trustedProxies, (std::vector<std::string>{"127.0.0.1", "10.0.0.2"}));
    for (const char* bad :
         {"trusted_proxies = \"127.0.0.1\"", "trusted_proxies = [\"::1\"]",
          "trusted_proxies = [\"10.0.0.1\", 3]", "max_connections_per_address = 0"}) {
        const StationConfigRead wrong =
            ParseStationConfig(fmt::format("[web]\n{}\n", bad), "q.toml");
        ASSERT_EQ(wrong.problems.size(), 1u) << bad;
        EXPECT_NE(wrong.problems[0].find("the default is kept"), std::string::npos)
            << wrong.problems[0];
        EXPECT_TRUE(wrong.config.web.trustedProxies.empty());
        EXPECT_EQ(wrong.config.web.maxConnectionsPerAddress, 32);
    }
    EXPECT_FALSE(ParseStationConfig("", "q.toml").config.web.allowPlainHttp);
}

}  // namespace
}  // namespace qrv::web
