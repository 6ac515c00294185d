#pragma once

#include <filesystem>
#include <string_view>

namespace qrv {

// As WriteFileAtomically (runtime/text_file.h), but the file may be read by
// its owner only (0600), whatever the file it replaces allowed: for secrets
// such as password hashes. On failure errno says why.
int WriteOwnerOnlyFileAtomically(const std::filesystem::path& path, std::string_view bytes);

}  // namespace qrv
