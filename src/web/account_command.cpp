#include "web/account_command.h"

#include <fmt/format.h>

namespace qrv::web {

namespace {

std::string ReadLine(std::istream& in) {
    std::string line;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

int Bad(std::FILE* err, const std::string& problem) {
    fmt::print(err, "quorvanel-station user: {}\n{}", problem, UserCommandUsage());
    return 2;
}

}  // namespace

std::string UserCommandUsage() {
    return "Usage: quorvanel-station [--station DIR] user add NAME --role viewer|operator|admin\n"
           "       quorvanel-station [--station DIR] user remove NAME\n"
           "       quorvanel-station [--station DIR] user list\n"
           "The password of user add is read from standard input.\n";
}

int RunUserCommand(AccountStore& accounts, const std::vector<std::string>& arguments,
                   std::istream& in, bool interactive, std::FILE* out, std::FILE* err,
                   EventLog& log) {
    if (arguments.empty()) {
        return Bad(err, "add, remove or list?");
    }
    if (const std::string problem = accounts.Load(); !problem.empty()) {
        fmt::print(err, "quorvanel-station user: {}\n", problem);
        return 1;
    }
    const std::string& action = arguments[0];
    if (action == "list") {
        if (arguments.size() != 1) {
            return Bad(err, "list takes no arguments");
        }
        for (const Account& account : accounts.List()) {
            fmt::print(out, "{}\t{}\t{}\n", account.name, RoleName(account.role), account.language);
        }
        return 0;
    }
    if (action == "remove") {
        if (arguments.size() != 2) {
            return Bad(err, "remove takes one account name");
        }
        if (const std::string problem = accounts.Remove(arguments[1]); !problem.empty()) {
            fmt::print(err, "quorvanel-station user: {}\n", problem);
            return 1;
        }
        log.LogMessageToDisk(fmt::format("Web account {} removed", arguments[1]));
        return 0;
    }
    if (action != "add") {
        return Bad(err, "unknown action: " + action);
    }
    std::string name;
    std::optional<Role> role;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& arg = arguments[i];
        if (arg == "--role" && i + 1 < arguments.size()) {
            role = ParseRole(arguments[++i]);
            if (!role) {
                return Bad(err, "the role is viewer, operator or admin");
            }
        } else if (arg.starts_with("--role=")) {
            role = ParseRole(arg.substr(7));
            if (!role) {
                return Bad(err, "the role is viewer, operator or admin");
            }
        } else if (arg.starts_with("--")) {
            // A password must never stand on a command line, where every user
            // of the machine can read it.
            return Bad(err,
                       "unknown option " + arg + " (the password is read from standard input)");
        } else if (name.empty()) {
            name = arg;
        } else {
            return Bad(err, "add takes one account name");
        }
    }
    if (name.empty() || !role) {
        return Bad(err, "add needs an account name and --role");
    }
    if (!IsAccountName(name)) {
        return Bad(err, "an account name is 1 to 32 letters, digits, \".\", \"_\" or \"-\"");
    }
    if (interactive) {
        fmt::print(err, "Password for {}: ", name);
    }
    const std::string password = ReadLine(in);
    if (interactive) {
        fmt::print(err, "\nThe same again: ");
        if (ReadLine(in) != password) {
            fmt::print(err, "\nquorvanel-station user: the passwords differ; nothing changed\n");
            return 1;
        }
        fmt::print(err, "\n");
    }
    if (const std::string problem = PasswordProblem(password); !problem.empty()) {
        fmt::print(err, "quorvanel-station user: {}\n", problem);
        return 2;
    }
    const bool existed = accounts.Find(name).has_value();
    if (const std::string problem = accounts.Add(name, *role, password); !problem.empty()) {
        fmt::print(err, "quorvanel-station user: {}\n", problem);
        return 1;
    }
    log.LogMessageToDisk(fmt::format("Web account {} {} with role {}", name,
                                     existed ? "changed" : "added", RoleName(*role)));
    return 0;
}

}  // namespace qrv::web
