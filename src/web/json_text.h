#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace qrv::web {

// Texts from the station's files are not always UTF-8; a stray byte must not
// make a whole answer fail.
inline std::string JsonText(const nlohmann::json& value) {
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace qrv::web
