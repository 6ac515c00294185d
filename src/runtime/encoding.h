#pragma once

#include <string>
#include <string_view>

namespace qrv {

// The station's files are Windows-1252 (°C is the single byte 0xB0) so that
// they stay exchangeable with older installations; in memory all text is UTF-8.
// Characters that Windows-1252 cannot hold become '?'; invalid UTF-8 input
// bytes become '?' too, so a damaged name never breaks a file.
std::string Utf8ToCp1252(std::string_view utf8);
std::string Cp1252ToUtf8(std::string_view cp1252);

// The characters of a UTF-8 text that Windows-1252 cannot hold, each once,
// in the order they first appear, separated by blanks ("Ł ź Ω"); empty when
// the text can be stored as it is. Invalid UTF-8 is listed as U+FFFD.
std::string CharactersNotInCp1252(std::string_view utf8);

// Number of characters (code points) of a UTF-8 text.
std::size_t Utf8Length(std::string_view utf8);
// At most maxChars characters of a UTF-8 text, never splitting a character.
std::string Utf8Left(std::string_view utf8, std::size_t maxChars);

// Replaces control characters (below 0x20 and 0x7F) with blanks, so that text
// typed or read into a record cannot break the line structure of a file.
std::string BlankControlCharacters(std::string_view text);

}  // namespace qrv
