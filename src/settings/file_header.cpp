#include "settings/file_header.h"

#include "runtime/encoding.h"

namespace qrv {

int CountHeaderMismatches(LineReader& reader, std::string_view versionLine, std::size_t lineLimit) {
    int mismatches = 0;
    for (const std::string_view wanted : {kHeaderEquals, versionLine, kNoticeLine}) {
        const auto line = reader.ReadLine(lineLimit);
        if (!line || *line != wanted) {
            ++mismatches;
        }
    }
    const auto stamp = reader.ReadLine(lineLimit);
    if (!stamp || !stamp->starts_with(kDateTimeStampKey)) {
        ++mismatches;
    }
    return mismatches;
}

std::string TextFromFile(std::string_view bytes, std::size_t maxChars) {
    return Utf8Left(BlankControlCharacters(Cp1252ToUtf8(bytes)), maxChars);
}

std::string TextToFile(std::string_view utf8, std::size_t maxChars) {
    return Utf8ToCp1252(Utf8Left(BlankControlCharacters(utf8), maxChars));
}

int ReplaceStationFile(const std::filesystem::path& path, std::string_view bytes,
                       std::string_view logName, EventLog& log) {
    const std::string unreadable = WhyUnreadable(path);
    if (!unreadable.empty()) {
        log.LogMessageToDisk(std::string(logName) +
                             " not written, the file in its place cannot be read: " +
                             path.string() + ": " + unreadable);
        return kFileCannotOpenForWriting;
    }
    return WriteFileAtomically(path, bytes);
}

}  // namespace qrv
