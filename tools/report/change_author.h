#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "report_command.h"

namespace qrv::report {

// Who makes a change from the command line, and why: --who is a name the
// user claims, the operating-system account is what the system knows.
struct ChangeAuthor {
    std::string claimed;  // --who, empty when not given
    std::string reason;   // --reason, empty when not given
};

// Takes --who NAME and --reason TEXT out of the arguments; the others are
// left in order. nullopt, with the problem, for a missing or unclean value.
std::optional<std::vector<std::string_view>> TakeAuthor(CommandArgs args, ChangeAuthor& author,
                                                        std::string& problem);

// The trail's who of a change: the claimed name with the account beside it
// ("anna (account qrv)", "anna (account root, sudo by piet)"), or the account
// alone. sudoUser is the SUDO_USER of the environment, nullptr when unset.
std::string RecordedWho(std::string_view claimed, std::string_view account, const char* sudoUser);

// RecordedWho for this process: its real user and environment.
std::string RecordedWhoOfThisProcess(std::string_view claimed);

}  // namespace qrv::report
