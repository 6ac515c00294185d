#include "web/sessions.h"

#include <sodium.h>

#include <algorithm>
#include <array>

namespace qrv::web {

std::string RandomToken() {
    std::array<unsigned char, 32> bytes{};
    randombytes_buf(bytes.data(), bytes.size());
    std::array<char, 65> hex{};
    sodium_bin2hex(hex.data(), hex.size(), bytes.data(), bytes.size());
    return hex.data();
}

Session SessionStore::Create(const Account& account, double now) {
    Session session;
    session.id = RandomToken();
    session.csrf = RandomToken();
    session.account = account.name;
    session.role = account.role;
    session.taal = LanguageIndex(account.language).value_or(0);
    session.lastUse = now;
    const std::lock_guard lock(mutex_);
    if (sessions_.size() >= kMaxSessions) {
        const auto oldest = std::min_element(
            sessions_.begin(), sessions_.end(),
            [](const auto& a, const auto& b) { return a.second.lastUse < b.second.lastUse; });
        sessions_.erase(oldest);
    }
    sessions_[session.id] = session;
    return session;
}

std::optional<Session> SessionStore::Find(const std::string& id, double now, bool touch) {
    const std::lock_guard lock(mutex_);
    const auto found = sessions_.find(id);
    if (found == sessions_.end()) {
        return std::nullopt;
    }
    if (now - found->second.lastUse > idleSeconds_) {
        sessions_.erase(found);
        return std::nullopt;
    }
    if (touch) {
        found->second.lastUse = now;
    }
    return found->second;
}

void SessionStore::End(const std::string& id) {
    const std::lock_guard lock(mutex_);
    sessions_.erase(id);
}

void SessionStore::SetLanguage(const std::string& account, int taal) {
    const std::lock_guard lock(mutex_);
    for (auto& [id, session] : sessions_) {
        if (session.account == account) {
            session.taal = taal;
        }
    }
}

}  // namespace qrv::web
