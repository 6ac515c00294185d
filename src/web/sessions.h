#pragma once

#include <cstddef>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "web/accounts.h"

namespace qrv::web {

struct Session {
    std::string id;
    std::string csrf;
    std::string account;
    Role role = Role::kViewer;
    int taal = 0;
    double lastUse = 0.0;
};

// Random, unguessable text: 32 bytes from libsodium as 64 hex digits.
std::string RandomToken();

// The logged-in sessions, by the cookie's value. A session ends after the
// idle time without a request, at log-out, and when its account is removed
// or changes role. Times are the station clock's Timer() seconds.
class SessionStore {
  public:
    // More sessions than this drop the least recently used one.
    static constexpr std::size_t kMaxSessions = 1000;

    explicit SessionStore(double idleSeconds) : idleSeconds_(idleSeconds) {}

    Session Create(const Account& account, double now);
    // The session, its idle time restarted when touch is set; none when
    // unknown or idle too long (then it is ended).
    std::optional<Session> Find(const std::string& id, double now, bool touch = true);
    void End(const std::string& id);
    void SetLanguage(const std::string& account, int taal);
    double IdleSeconds() const { return idleSeconds_; }

  private:
    const double idleSeconds_;
    std::mutex mutex_;
    std::map<std::string, Session> sessions_;
};

}  // namespace qrv::web
