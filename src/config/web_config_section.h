#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <toml++/toml.h>

#include "config/web_config.h"

namespace qrv {

// Reads [web] of root into config; each problem is one line
// "FILE:LINE: web.KEY: what is wrong", and the key keeps its default.
void ReadWebSection(const toml::table& root, const std::string& fileName, WebConfig& config,
                    std::vector<std::string>& problems);

// Whether text is "A.B.C.D:PORT" with a port from 1 to 65535.
bool IsListenAddress(const std::string& text);
// Whether address is a dotted IPv4 address without leading zeros.
bool IsIpv4Address(std::string_view address);
// Whether an IPv4 address is a loopback one (127.0.0.0/8).
bool IsLoopbackAddress(std::string_view address);
// Whether the address of a listen text is a loopback one (127.0.0.0/8).
bool IsLoopbackListen(const std::string& text);

}  // namespace qrv
