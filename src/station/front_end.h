#pragma once

#include <string>
#include <string_view>

namespace qrv::shell {

// The front end through which a person gave a command. It goes into every
// program-log, alarm-file and audit line the command writes, beside who.
enum class Via { kWindow, kService, kWeb, kMqtt };

std::string_view ViaName(Via via);

// "anna (web)": who gave a command, and through which front end.
std::string WhoVia(std::string_view who, Via via);

// What a program-log line of a command adds to name the front end: nothing
// for the window, whose lines are the original's, " (service)" and the like
// for the others.
std::string ViaSuffix(Via via);

}  // namespace qrv::shell
