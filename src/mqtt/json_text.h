#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace qrv::mqtt {

// Names are UTF-8 in memory, but a damaged byte must not end the publisher:
// it becomes U+FFFD instead of an exception.
inline std::string JsonText(const nlohmann::json& json) {
    return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace qrv::mqtt
