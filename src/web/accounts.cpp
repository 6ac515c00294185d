#include "web/accounts.h"

#include <sodium.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "runtime/owner_only_file.h"
#include "runtime/text_file.h"

namespace qrv::web {

namespace {

constexpr std::array<std::string_view, 4> kLanguages{"en", "de", "fr", "nl"};
constexpr std::size_t kMinPassword = 8;

std::string Hash(std::string_view password, const HashCost& cost) {
    std::array<char, crypto_pwhash_STRBYTES> out{};
    if (crypto_pwhash_str(out.data(), password.data(), password.size(), cost.ops, cost.memory) !=
        0) {
        return {};
    }
    return out.data();
}

bool Matches(const std::string& hash, std::string_view password) {
    return crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) == 0;
}

}  // namespace

std::string_view RoleName(Role role) {
    switch (role) {
        case Role::kViewer:
            return "viewer";
        case Role::kOperator:
            return "operator";
        case Role::kAdmin:
            return "admin";
    }
    return "viewer";
}

std::optional<Role> ParseRole(std::string_view name) {
    for (const Role role : {Role::kViewer, Role::kOperator, Role::kAdmin}) {
        if (RoleName(role) == name) {
            return role;
        }
    }
    return std::nullopt;
}

HashCost HashCost::Interactive() {
    return {crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE};
}

HashCost HashCost::Minimum() {
    return {crypto_pwhash_OPSLIMIT_MIN, crypto_pwhash_MEMLIMIT_MIN};
}

bool IsAccountName(std::string_view name) {
    return !name.empty() && name.size() <= 32 && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '.' || c == '_' || c == '-';
    });
}

std::string PasswordProblem(std::string_view password) {
    if (password.size() < kMinPassword) {
        return fmt::format("the password must have at least {} characters", kMinPassword);
    }
    if (password.size() > kMaxPasswordBytes) {
        return fmt::format("the password must have at most {} characters", kMaxPasswordBytes);
    }
    if (password.find('\0') != std::string_view::npos) {
        return "the password must not hold a NUL character";
    }
    return {};
}

std::string_view LanguageCode(int taal) {
    return taal >= 0 && taal < static_cast<int>(kLanguages.size())
               ? kLanguages[static_cast<std::size_t>(taal)]
               : kLanguages[0];
}

std::optional<int> LanguageIndex(std::string_view code) {
    const auto found = std::find(kLanguages.begin(), kLanguages.end(), code);
    if (found == kLanguages.end()) {
        return std::nullopt;
    }
    return static_cast<int>(found - kLanguages.begin());
}

AccountStore::AccountStore(std::filesystem::path file, HashCost cost)
    : file_(std::move(file)), cost_(cost) {
    if (sodium_init() < 0) {
        throw std::runtime_error("libsodium cannot be initialised");
    }
}

std::string AccountStore::ReloadIfChanged() {
    std::error_code error;
    const auto time = std::filesystem::last_write_time(file_, error);
    {
        const std::lock_guard lock(mutex_);
        if (!error && time == loadedTime_) {
            return {};
        }
    }
    return Load();
}

std::string AccountStore::Load() {
    const std::lock_guard lock(mutex_);
    accounts_.clear();
    std::error_code timeError;
    loadedTime_ = std::filesystem::last_write_time(file_, timeError);
    std::ifstream in(file_, std::ios::binary);
    if (!in) {
        std::error_code error;
        return std::filesystem::exists(file_, error)
                   ? fmt::format("{} cannot be read", file_.string())
                   : std::string();
    }
    std::stringstream text;
    text << in.rdbuf();
    try {
        const nlohmann::json root = nlohmann::json::parse(text.str());
        std::vector<Account> read;
        for (const auto& item : root.at("accounts")) {
            Account account;
            account.name = item.at("name").get<std::string>();
            const auto role = ParseRole(item.at("role").get<std::string>());
            account.language = item.value("language", "en");
            account.hash = item.at("hash").get<std::string>();
            if (!IsAccountName(account.name) || !role || !LanguageIndex(account.language)) {
                return fmt::format("{}: account \"{}\" is not valid; no account is used",
                                   file_.string(), account.name);
            }
            account.role = *role;
            read.push_back(std::move(account));
        }
        accounts_ = std::move(read);
    } catch (const nlohmann::json::exception& error) {
        return fmt::format("{} is damaged ({}); no account is used", file_.string(), error.what());
    }
    return {};
}

bool AccountStore::Empty() const {
    const std::lock_guard lock(mutex_);
    return accounts_.empty();
}

std::vector<Account> AccountStore::List() const {
    const std::lock_guard lock(mutex_);
    return accounts_;
}

std::optional<Account> AccountStore::Find(std::string_view name) const {
    const std::lock_guard lock(mutex_);
    for (const Account& account : accounts_) {
        if (account.name == name) {
            return account;
        }
    }
    return std::nullopt;
}

std::string AccountStore::Add(const std::string& name, Role role, std::string_view password) {
    if (!IsAccountName(name)) {
        return "an account name is 1 to 32 letters, digits, \".\", \"_\" or \"-\"";
    }
    if (std::string problem = PasswordProblem(password); !problem.empty()) {
        return problem;
    }
    std::string hash = Hash(password, cost_);
    if (hash.empty()) {
        return "the password could not be hashed (out of memory)";
    }
    const std::lock_guard lock(mutex_);
    std::vector<Account> before = accounts_;
    const auto found = std::find_if(accounts_.begin(), accounts_.end(),
                                    [&name](const Account& a) { return a.name == name; });
    if (found != accounts_.end()) {
        found->role = role;
        found->hash = std::move(hash);
    } else {
        accounts_.push_back(Account{name, role, "en", std::move(hash)});
    }
    std::string problem = SaveLocked();
    if (!problem.empty()) {
        accounts_ = std::move(before);
    }
    return problem;
}

std::string AccountStore::Remove(const std::string& name) {
    const std::lock_guard lock(mutex_);
    const auto found = std::find_if(accounts_.begin(), accounts_.end(),
                                    [&name](const Account& a) { return a.name == name; });
    if (found == accounts_.end()) {
        return fmt::format("there is no account \"{}\"", name);
    }
    const Account removed = *found;
    accounts_.erase(found);
    std::string problem = SaveLocked();
    if (!problem.empty()) {
        accounts_.push_back(removed);
    }
    return problem;
}

std::string AccountStore::SetLanguage(const std::string& name, std::string_view language) {
    if (!LanguageIndex(language)) {
        return "the language must be en, de, fr or nl";
    }
    const std::lock_guard lock(mutex_);
    for (Account& account : accounts_) {
        if (account.name == name) {
            const std::string before = account.language;
            account.language = std::string(language);
            std::string problem = SaveLocked();
            if (!problem.empty()) {
                account.language = before;
            }
            return problem;
        }
    }
    return fmt::format("there is no account \"{}\"", name);
}

std::optional<Account> AccountStore::Verify(std::string_view name,
                                            std::string_view password) const {
    if (password.size() > kMaxPasswordBytes) {
        return std::nullopt;
    }
    const std::optional<Account> account = Find(name);
    if (!account) {
        // As long as a real check, so that the answer's time does not tell
        // which names exist.
        static_cast<void>(Hash(password, cost_));
        return std::nullopt;
    }
    if (!Matches(account->hash, password)) {
        return std::nullopt;
    }
    return account;
}

std::string AccountStore::SaveLocked() {
    nlohmann::json list = nlohmann::json::array();
    for (const Account& account : accounts_) {
        list.push_back({{"name", account.name},
                        {"role", RoleName(account.role)},
                        {"language", account.language},
                        {"hash", account.hash}});
    }
    const std::string text = nlohmann::json{{"accounts", list}}.dump(2) + "\n";
    // The hashes are for the station's user alone, whatever an older file allowed.
    if (WriteOwnerOnlyFileAtomically(file_, text) != kFileOk) {
        return fmt::format("{} cannot be written: {}", file_.string(), std::strerror(errno));
    }
    std::error_code timeError;
    loadedTime_ = std::filesystem::last_write_time(file_, timeError);
    return {};
}

}  // namespace qrv::web
