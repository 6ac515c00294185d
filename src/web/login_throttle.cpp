#include "web/login_throttle.h"

#include <algorithm>
#include <cmath>

namespace qrv::web {

template <typename Key>
double LoginThrottle::Remaining(std::map<Key, Record>& records, const Key& key, double now) {
    const auto found = records.find(key);
    if (found == records.end()) {
        return 0.0;
    }
    if (now - found->second.last > kForgetAfter) {
        records.erase(found);
        return 0.0;
    }
    return std::max(0.0, found->second.until - now);
}

template <typename Key>
void LoginThrottle::Count(std::map<Key, Record>& records, const Key& key, int free, double longest,
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
    if (record.failures >= free) {
        record.until = now + std::min(longest, kFirstWait * std::pow(2.0, record.failures - free));
    }
}

double LoginThrottle::Begin(const std::string& account, const std::string& address, double now) {
    const std::lock_guard lock(mutex_);
    const Pair pair{account, address};
    const double wait = std::max(Remaining(pairs_, pair, now), Remaining(accounts_, account, now));
    if (wait > 0.0) {
        return wait;
    }
    Count(pairs_, pair, kFreeFailures, kMaxWait, now);
    Count(accounts_, account, kFreeAccountFailures, kMaxAccountWait, now);
    return 0.0;
}

void LoginThrottle::Succeeded(const std::string& account, const std::string& address) {
    const std::lock_guard lock(mutex_);
    pairs_.erase(Pair{account, address});
    // Only the attempt that just passed is taken back: the failures of
    // other addresses stand.
    const auto found = accounts_.find(account);
    if (found != accounts_.end()) {
        Record& record = found->second;
        record.failures = std::max(0, record.failures - 1);
        if (record.failures < kFreeAccountFailures) {
            record.until = 0.0;
        }
        if (record.failures == 0) {
            accounts_.erase(found);
        }
    }
}

}  // namespace qrv::web
