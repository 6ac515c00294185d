#pragma once

#include <string>
#include <string_view>

namespace qrv::records {

// The SHA-256 of bytes as 64 lower-case hexadecimal digits.
std::string Sha256Hex(std::string_view bytes);

}  // namespace qrv::records
