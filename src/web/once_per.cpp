#include "web/once_per.h"

namespace qrv::web {

double OncePer::Begin(const std::string& key, double now) {
    const std::lock_guard lock(mutex_);
    std::erase_if(last_, [&](const auto& item) { return now - item.second >= period_; });
    const auto found = last_.find(key);
    if (found != last_.end()) {
        return found->second + period_ - now;
    }
    last_[key] = now;
    return 0.0;
}

void OncePer::Cancel(const std::string& key, double now) {
    const std::lock_guard lock(mutex_);
    const auto found = last_.find(key);
    if (found != last_.end() && found->second == now) {
        last_.erase(found);
    }
}

}  // namespace qrv::web
