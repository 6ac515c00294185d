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

std::optional<Session> SessionStore::Create(const Account& account, double now) {
    Session session;
    session.id = RandomToken();
    session.csrf = RandomToken();
    session.account = account.name;
    session.role = account.role;
    session.credential = account.hash;
    session.taal = LanguageIndex(account.language).value_or(0);
    session.created = now;
    session.lastUse = now;
    const std::lock_guard lock(mutex_);
    std::erase_if(sessions_, [&](const auto& item) {
        return now - item.second.lastUse > limits_.idleSeconds ||
               now - item.second.created > limits_.lifetimeSeconds;
    });
    std::size_t own = 0;
    auto oldestOwn = sessions_.end();
    for (auto it = sessions_.begin(); it != sessions_.end(); ++it) {
        if (it->second.account == account.name) {
            ++own;
            if (oldestOwn == sessions_.end() || it->second.lastUse < oldestOwn->second.lastUse) {
                oldestOwn = it;
            }
        }
    }
    if (own >= kMaxPerAccount || (sessions_.size() >= kMaxSessions && own > 0)) {
        sessions_.erase(oldestOwn);
    } else if (sessions_.size() >= kMaxSessions) {
        return std::nullopt;
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
    if (now - found->second.lastUse > limits_.idleSeconds ||
        now - found->second.created > limits_.lifetimeSeconds) {
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
