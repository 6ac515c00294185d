#pragma once

#include <string>
#include <vector>

#include <toml++/toml.h>

#include "config/notify_config.h"

namespace qrv {

// Reads the [notify] section (node may be null: all defaults). Problems are
// added as "FILE:LINE: KEY: what is wrong"; a contact that cannot be used is
// left out, any other bad key keeps its default.
NotifyConfig ReadNotifySection(const toml::node* node, const std::string& fileName,
                               std::vector<std::string>& problemLines);

}  // namespace qrv
