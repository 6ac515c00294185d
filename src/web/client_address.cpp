#include "web/client_address.h"

#include <algorithm>
#include <string_view>

#include "config/web_config_section.h"
#include "web/request_head.h"

namespace qrv::web {

namespace {

bool Trusted(std::string_view address, const std::vector<std::string>& proxies) {
    return std::find(proxies.begin(), proxies.end(), address) != proxies.end();
}

// The client named by a trusted proxy's X-Forwarded-For, walking from the
// right past the proxies' own entries; the nearest proxy's address when the
// list names no one usable.
std::string ForwardedFor(std::string_view list, std::string fallback,
                         const std::vector<std::string>& proxies) {
    while (!list.empty()) {
        const std::size_t comma = list.rfind(',');
        const std::string_view entry =
            Trimmed(comma == std::string_view::npos ? list : list.substr(comma + 1));
        list = comma == std::string_view::npos ? std::string_view() : list.substr(0, comma);
        if (!IsIpv4Address(entry)) {
            break;
        }
        fallback = std::string(entry);
        if (!Trusted(entry, proxies)) {
            break;
        }
    }
    return fallback;
}

}  // namespace

ClientOrigin ResolveClient(const std::string& peer, bool connectionTls,
                           std::map<std::string, std::string>& headers,
                           const std::vector<std::string>& trustedProxies) {
    ClientOrigin origin{peer, connectionTls};
    const auto forwardedFor = headers.find("x-forwarded-for");
    const auto forwardedProto = headers.find("x-forwarded-proto");
    if (Trusted(peer, trustedProxies)) {
        if (forwardedFor != headers.end()) {
            origin.address = ForwardedFor(forwardedFor->second, peer, trustedProxies);
        }
        if (forwardedProto != headers.end()) {
            const std::string_view proto = Trimmed(forwardedProto->second);
            origin.tls = proto == "https" || (proto != "http" && connectionTls);
        }
    }
    for (const char* name :
         {"x-forwarded-for", "x-forwarded-proto", "x-forwarded-host", "forwarded", "x-real-ip"}) {
        headers.erase(name);
    }
    return origin;
}

}  // namespace qrv::web
