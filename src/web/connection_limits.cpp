#include "web/connection_limits.h"

#include <algorithm>
#include <utility>

namespace qrv::web {

ConnectionLimits::ConnectionLimits(std::size_t total, std::size_t perAddress,
                                   std::vector<std::string> shared)
    : total_(total), perAddress_(perAddress), shared_(std::move(shared)) {}

bool ConnectionLimits::Admit(const std::string& address) {
    if (open_ >= total_) {
        return false;
    }
    if (std::find(shared_.begin(), shared_.end(), address) == shared_.end()) {
        std::size_t& fromThere = perAddressOpen_[address];
        if (fromThere >= perAddress_) {
            return false;
        }
        ++fromThere;
    }
    ++open_;
    return true;
}

void ConnectionLimits::Release(const std::string& address) {
    if (open_ > 0) {
        --open_;
    }
    const auto found = perAddressOpen_.find(address);
    if (found != perAddressOpen_.end() && --found->second == 0) {
        perAddressOpen_.erase(found);
    }
}

}  // namespace qrv::web
