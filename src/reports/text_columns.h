#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qrv {

// Fixed columns of printed lines count characters, not bytes: a name with
// "é" or the units "°C" must not shift the columns after it. Texts are UTF-8.

// The number of characters of a UTF-8 text.
std::size_t CharacterCount(std::string_view text);

// At most width characters of the text, never cutting a character in two.
std::string_view TakeCharacters(std::string_view text, std::size_t width);

// Exactly width characters: cut, or padded with blanks on the right.
std::string FitCharacters(std::string_view text, std::size_t width);

}  // namespace qrv
