#pragma once

#include <string>
#include <string_view>

#include "runtime/event_log.h"
#include "runtime/text_file.h"

namespace qrv {

// The header lines both station files begin with; readers compare them before
// they rely on the position of any later line.
inline constexpr std::string_view kHeaderEquals =
    "=============================================================";
inline constexpr std::string_view kNoticeLine =
    "Quorvanel monitoring station - written by the program, edit with care";
inline constexpr std::string_view kDateTimeStampKey = "Date/time stamp=";

// Reads the four header lines (equals signs, version, notice, date/time stamp)
// and returns how many of them are not as expected.
int CountHeaderMismatches(LineReader& reader, std::string_view versionLine, std::size_t lineLimit);

// Text of a station file (Windows-1252) as held in memory: UTF-8, control
// characters blanked, at most maxChars characters.
std::string TextFromFile(std::string_view bytes, std::size_t maxChars);
// Text held in memory as written to a station file: one line of at most
// maxChars characters, Windows-1252.
std::string TextToFile(std::string_view utf8, std::size_t maxChars);

// Replaces a station file whole (see WriteFileAtomically), but never one that
// is there and cannot be read: what it holds would be lost for good. That
// refusal is logged under logName ("IniFile"). Returns kFileOk or
// kFileCannotOpenForWriting.
int ReplaceStationFile(const std::filesystem::path& path, std::string_view bytes,
                       std::string_view logName, EventLog& log);

}  // namespace qrv
