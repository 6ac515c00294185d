#pragma once

#include <map>
#include <string>
#include <vector>

namespace qrv::web {

// Who a request is from as far as the routes are concerned: the address the
// throttle counts and the logs name, and whether the browser's connection
// is encrypted (the Secure cookie, Strict-Transport-Security).
struct ClientOrigin {
    std::string address;
    bool tls = false;
};

// The client behind the connection from peer. Only a peer among
// trustedProxies is believed about the client: the right-most address of
// X-Forwarded-For that is not itself a trusted proxy (the left part is
// whatever the client chose to send), and X-Forwarded-Proto. headers: names
// in lower case; the forwarding headers are removed from them whoever sent
// them, so that nothing behind this reads a client's claim.
ClientOrigin ResolveClient(const std::string& peer, bool connectionTls,
                           std::map<std::string, std::string>& headers,
                           const std::vector<std::string>& trustedProxies);

}  // namespace qrv::web
