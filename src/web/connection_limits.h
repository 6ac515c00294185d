#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace qrv::web {

// Connections open at once, in all and per client address, so that one
// client cannot take every connection. Used by the server's one event
// thread only.
class ConnectionLimits {
  public:
    // shared: addresses that stand for many clients (127.0.0.1, where a
    // proxy on this machine and the station's tools come from, and the
    // trusted proxies), which count towards the total only.
    ConnectionLimits(std::size_t total, std::size_t perAddress, std::vector<std::string> shared);

    // Whether a new connection from address may be opened; if so it is
    // counted until Release.
    bool Admit(const std::string& address);
    void Release(const std::string& address);
    std::size_t Open() const { return open_; }

  private:
    const std::size_t total_;
    const std::size_t perAddress_;
    const std::vector<std::string> shared_;
    std::size_t open_ = 0;
    std::map<std::string, std::size_t> perAddressOpen_;
};

}  // namespace qrv::web
