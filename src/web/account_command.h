#pragma once

#include <cstdio>
#include <istream>
#include <string>
#include <vector>

#include "runtime/event_log.h"
#include "web/accounts.h"

namespace qrv::web {

// "user add NAME --role ROLE" (password on standard input: the first line, or
// asked twice when it is a terminal), "user remove NAME", "user list".
// arguments are those after "user". Returns the exit status: 0, 1 when the
// accounts file cannot be read or written, 2 for bad arguments.
int RunUserCommand(AccountStore& accounts, const std::vector<std::string>& arguments,
                   std::istream& in, bool interactive, std::FILE* out, std::FILE* err,
                   EventLog& log);

std::string UserCommandUsage();

}  // namespace qrv::web
