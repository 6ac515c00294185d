#include "web/login_throttle.h"

#include <algorithm>
#include <cmath>

namespace qrv::web {

double LoginThrottle::Remaining(const std::map<std::string, Record>& records,
                                const std::string& key, double now) {
    const auto found = records.find(key);
    return found == records.end() ? 0.0 : std::max(0.0, found->second.until - now);
}

double LoginThrottle::WaitBefore(const std::string& account, const std::string& address,
                                 double now) const {
    const std::lock_guard lock(mutex_);
    const double byAddress = Remaining(addresses_, address, now);
    const bool addressHasFailed = addresses_.contains(address);
    const double byAccount = addressHasFailed ? Remaining(accounts_, account, now) : 0.0;
    return std::max(byAddress, byAccount);
}

void LoginThrottle::Count(std::map<std::string, Record>& records, const std::string& key,
                          double now) {
    if (records.size() >= kMaxEntries && !records.contains(key)) {
        const auto quietest = std::min_element(
            records.begin(), records.end(),
            [](const auto& a, const auto& b) { return a.second.last < b.second.last; });
        records.erase(quietest);
    }
    Record& record = records[key];
    record.failures = std::min(record.failures + 1, 1000);
    record.last = now;
    if (record.failures >= kFreeFailures) {
        const double wait =
            std::min(kMaxWait, kFirstWait * std::pow(2.0, record.failures - kFreeFailures));
        record.until = now + wait;
    }
}

void LoginThrottle::Failed(const std::string& account, const std::string& address, double now) {
    const std::lock_guard lock(mutex_);
    Count(accounts_, account, now);
    Count(addresses_, address, now);
}

void LoginThrottle::Succeeded(const std::string& account, const std::string& address) {
    const std::lock_guard lock(mutex_);
    accounts_.erase(account);
    addresses_.erase(address);
}

}  // namespace qrv::web
