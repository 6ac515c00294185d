#pragma once

#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <utility>

namespace qrv::web {

// Slows password guessing. Every attempt counts as a failure the moment it
// is let through, before its password is checked, so that attempts in
// parallel cannot all pass one check; a success takes its own attempt back
// and clears the failures of its own name and address, nothing else.
//
// Two counts decide the wait:
//  - per account and address: after kFreeFailures, 1 s and then twice as
//    long after every failure, up to kMaxWait. This stops one address.
//  - per account, over every address: after kFreeAccountFailures the same
//    doubling, but never more than kMaxAccountWait. This stops many
//    addresses guessing one account together, whose every attempt counts,
//    including those of addresses that never failed before.
// The account's wait is bounded rather than lifted for fresh addresses: a
// lift would give every new address free guesses (a botnet's worth), while a
// bound keeps the whole world at a few checks a minute and lets the owner in
// from a clean address after at most kMaxAccountWait, however long someone
// else keeps guessing. Times are the station clock's Timer() seconds.
class LoginThrottle {
  public:
    static constexpr int kFreeFailures = 5;
    static constexpr int kFreeAccountFailures = 10;
    static constexpr double kFirstWait = 1.0;
    static constexpr double kMaxWait = 15.0 * 60.0;
    static constexpr double kMaxAccountWait = 30.0;
    // Failures this long past are forgotten, so that a typo now and then over
    // months never adds up to a wait.
    static constexpr double kForgetAfter = 24.0 * 3600.0;
    // Beyond this many remembered pairs or names the longest quiet ones are
    // forgotten, so that a flood of made-up names cannot fill memory.
    static constexpr std::size_t kMaxEntries = 10000;

    // Lets one attempt for account from address be checked, counting it as
    // failed: 0. Else the seconds still to wait, and nothing is counted.
    double Begin(const std::string& account, const std::string& address, double now);
    // The attempt let through by Begin() had the right password.
    void Succeeded(const std::string& account, const std::string& address);

  private:
    struct Record {
        int failures = 0;
        double until = 0.0;
        double last = 0.0;
    };
    using Pair = std::pair<std::string, std::string>;

    template <typename Key>
    static double Remaining(std::map<Key, Record>& records, const Key& key, double now);
    template <typename Key>
    static void Count(std::map<Key, Record>& records, const Key& key, int free, double longest,
                      double now);

    std::mutex mutex_;
    std::map<Pair, Record> pairs_;
    std::map<std::string, Record> accounts_;
};

}  // namespace qrv::web
