#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace qrv {

// Reads the whole file into buffer, reusing its capacity so that a period of
// files is read without a new allocation per file. A file that grows while it
// is read (today's file during a store) is read as far as it was written.
// Returns kFileOk, kFileDoesNotExist or kFileCannotOpenForReading; the buffer
// is empty on failure.
int ReadWholeFile(const std::filesystem::path& path, std::string& buffer);

// Appends bytes with one write on a descriptor opened with O_APPEND, creating
// the file when missing, so that a crash can never interleave two blocks. A
// file whose last line a crash left unfinished gets its line end first, in the
// same write, so the block starts on a line of its own. When
// the write is short (disk full), the file is cut back to its old length, so a
// half block is never left behind. A directory, a device or a symbolic link
// to one at path is refused, never opened for writing. sizeBefore receives the length the file
// had. Returns kFileOk or kFileCannotOpenForWriting, with the system's reason
// in reason.
int AppendWhole(const std::filesystem::path& path, std::string_view bytes,
                std::uintmax_t& sizeBefore, std::string& reason);

}  // namespace qrv
