#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qrv {

enum class NameCheck { kOk, kEmpty, kNotStorable };

// The name as the editor keeps it: the first line of what was typed, without
// trailing blanks. A name of blanks only is no name.
std::string CleanProbeName(std::string_view typed);

// Whether a name can go into the station's files as it is: not empty, at
// most maxChars characters, every one of them a printable Windows-1252
// character (no control characters, nothing the code page cannot hold).
NameCheck CheckStoredName(std::string_view name, std::size_t maxChars);

// Why a text that CheckStoredName refused cannot be stored, in the language:
// the characters that Windows-1252 lacks when there are any.
std::string NotStorableMessage(std::string_view text, int taal);

}  // namespace qrv
