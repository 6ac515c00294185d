#pragma once

#include <cstddef>
#include <map>
#include <mutex>
#include <string>

namespace qrv::web {

// Slows password guessing: after kFreeFailures failed logins in a row for one
// account, or from one address, each further attempt must wait, 1 s and then
// twice as long after every failure, up to kMaxWait. The account's wait holds
// only for addresses that have failed themselves since their last success,
// so that someone guessing another's password from elsewhere never locks the
// owner out. Times are the station clock's Timer() seconds.
class LoginThrottle {
  public:
    static constexpr int kFreeFailures = 5;
    static constexpr double kFirstWait = 1.0;
    static constexpr double kMaxWait = 15.0 * 60.0;
    // Beyond this many remembered names or addresses the longest quiet ones
    // are forgotten, so that a flood of made-up names cannot fill memory.
    static constexpr std::size_t kMaxEntries = 10000;

    // Seconds still to wait before an attempt for account from address may
    // be checked; 0 when it may be checked now.
    double WaitBefore(const std::string& account, const std::string& address, double now) const;
    void Failed(const std::string& account, const std::string& address, double now);
    void Succeeded(const std::string& account, const std::string& address);

  private:
    struct Record {
        int failures = 0;
        double until = 0.0;
        double last = 0.0;
    };
    static void Count(std::map<std::string, Record>& records, const std::string& key, double now);
    static double Remaining(const std::map<std::string, Record>& records, const std::string& key,
                            double now);

    mutable std::mutex mutex_;
    std::map<std::string, Record> accounts_;
    std::map<std::string, Record> addresses_;
};

}  // namespace qrv::web
