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
    // The account's password hash at the login: another one means the
    // password was changed since, which ends the session.
    std::string credential;
    int taal = 0;
    double created = 0.0;
    double lastUse = 0.0;
};

// Random, unguessable text: 32 bytes from libsodium as 64 hex digits.
std::string RandomToken();

// How long sessions live: without a request the user made, and at all.
struct SessionLimits {
    double idleSeconds;
    double lifetimeSeconds;
};

// The logged-in sessions, by the cookie's value. A session ends after the
// idle time without a request, after its lifetime whatever it did, at
// log-out, and when its account is removed or changes role or password.
// Times are the station clock's Timer() seconds.
class SessionStore {
  public:
    static constexpr std::size_t kMaxSessions = 1000;
    // One account's logins beyond this end its own least recently used
    // session; nobody else's is ever ended to make room.
    static constexpr std::size_t kMaxPerAccount = 20;

    explicit SessionStore(SessionLimits limits) : limits_(limits) {}

    // None when the store is full of other accounts' sessions.
    std::optional<Session> Create(const Account& account, double now);
    // The session, its idle time restarted when touch is set; none when
    // unknown, idle too long or past its lifetime (then it is ended).
    std::optional<Session> Find(const std::string& id, double now, bool touch = true);
    void End(const std::string& id);
    void SetLanguage(const std::string& account, int taal);
    double IdleSeconds() const { return limits_.idleSeconds; }

  private:
    const SessionLimits limits_;
    std::mutex mutex_;
    std::map<std::string, Session> sessions_;
};

}  // namespace qrv::web
