#include "change_author.h"

#include <fmt/format.h>

#include <cstdlib>

#include "notify/acknowledgement.h"
#include "records/clean_text.h"

namespace qrv::report {

std::optional<std::vector<std::string_view>> TakeAuthor(CommandArgs args, ChangeAuthor& author,
                                                        std::string& problem) {
    std::vector<std::string_view> rest;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] != "--who" && args[i] != "--reason") {
            rest.push_back(args[i]);
            continue;
        }
        std::string& field = args[i] == "--who" ? author.claimed : author.reason;
        if (i + 1 >= args.size() || args[i + 1].empty()) {
            problem = fmt::format("{} needs a text", args[i]);
            return std::nullopt;
        }
        if (records::HasControlCharacter(args[i + 1])) {
            problem = fmt::format(
                "{}: the text may not hold tabs, line ends or other control characters", args[i]);
            return std::nullopt;
        }
        field = std::string(args[++i]);
    }
    return rest;
}

std::string RecordedWho(std::string_view claimed, std::string_view account, const char* sudoUser) {
    // The environment's word: shown as such, never trusted to be clean.
    const std::string sudo = sudoUser != nullptr && *sudoUser != '\0'
                                 ? fmt::format("sudo by {}", records::VisibleText(sudoUser))
                                 : std::string();
    if (claimed.empty()) {
        return sudo.empty() ? std::string(account) : fmt::format("{} ({})", account, sudo);
    }
    return sudo.empty() ? fmt::format("{} (account {})", claimed, account)
                        : fmt::format("{} (account {}, {})", claimed, account, sudo);
}

std::string RecordedWhoOfThisProcess(std::string_view claimed) {
    return RecordedWho(claimed, notify::LoginName(), std::getenv("SUDO_USER"));
}

}  // namespace qrv::report
