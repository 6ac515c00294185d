#pragma once

#include <cstddef>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qrv::web {

enum class Role { kViewer, kOperator, kAdmin };

std::string_view RoleName(Role role);
std::optional<Role> ParseRole(std::string_view name);

// What an account is kept as. The hash is libsodium's Argon2id string, which
// carries its own salt and cost.
struct Account {
    std::string name;
    Role role = Role::kViewer;
    // "en", "de", "fr" or "nl".
    std::string language = "en";
    std::string hash;
};

// The cost of hashing a new password. The interactive defaults take a good
// fraction of a second and 64 MiB; tests use the minimum.
struct HashCost {
    unsigned long long ops;
    std::size_t memory;
    static HashCost Interactive();
    static HashCost Minimum();
};

// Whether name may be an account name: 1 to 32 of [A-Za-z0-9._-].
bool IsAccountName(std::string_view name);
// Empty when password may be used, else why not.
std::string PasswordProblem(std::string_view password);
// No password may be longer, in bytes.
inline constexpr std::size_t kMaxPasswordBytes = 256;
// The language code of a station language index 0..3, and back.
std::string_view LanguageCode(int taal);
std::optional<int> LanguageIndex(std::string_view code);

// The station's accounts, in a file of their own that only the station's user
// can read (mode 0600), written whole to a temporary file and renamed so that
// a crash never leaves half a file. Safe to use from several threads.
class AccountStore {
  public:
    explicit AccountStore(std::filesystem::path file, HashCost cost = HashCost::Interactive());

    // Reads the file; a missing file is no accounts. Empty on success, else
    // why the file cannot be used (then there are no accounts).
    std::string Load();

    // Reads the file again when it changed since the last read, so that
    // accounts added or removed by the command line count at once; the
    // problem as Load() says it, or empty.
    std::string ReloadIfChanged();

    bool Empty() const;
    std::vector<Account> List() const;
    std::optional<Account> Find(std::string_view name) const;

    // Empty on success, else why not. Adding an existing name replaces its
    // password and role.
    std::string Add(const std::string& name, Role role, std::string_view password);
    std::string Remove(const std::string& name);
    std::string SetLanguage(const std::string& name, std::string_view language);

    // The account when name and password match. A password longer than any
    // allowed one is refused before the name is looked up, so that the time
    // of the answer does not tell whether the name exists. The caller bounds
    // how many run at once: each takes the hash's memory.
    std::optional<Account> Verify(std::string_view name, std::string_view password) const;

    const std::filesystem::path& File() const { return file_; }

  private:
    std::string SaveLocked();

    const std::filesystem::path file_;
    const HashCost cost_;
    mutable std::mutex mutex_;
    std::vector<Account> accounts_;
    std::filesystem::file_time_type loadedTime_{};
};

}  // namespace qrv::web
