#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qrv {

// Result codes of the file routines.
inline constexpr int kFileOk = 0;
inline constexpr int kFileDoesNotExist = -1000;
inline constexpr int kFileCannotOpenForReading = -2000;
inline constexpr int kFileCannotOpenForWriting = -2001;

inline constexpr std::string_view kCrLf = "\r\n";

// Reads lines from bytes already in memory, as the run-time's ReadLine did:
// at most maxChars bytes of a line are returned and the rest of a long line is
// discarded; CR LF and LF-only line ends are both accepted. Bytes are returned
// as they are in the file (Windows-1252).
class LineReader {
  public:
    explicit LineReader(std::string_view bytes) : bytes_(bytes) {}

    // nullopt at the end of the data.
    std::optional<std::string_view> ReadLine(std::size_t maxChars);
    // A line, or an empty one at the end of the data (for readers that do not
    // test for the end of a file and let the checks of missing lines fail).
    std::string_view ReadLineOrEmpty(std::size_t maxChars);
    bool AtEnd() const { return pos_ >= bytes_.size(); }
    // The offset of the next line's first byte.
    std::size_t Position() const { return pos_; }

  private:
    std::string_view bytes_;
    std::size_t pos_ = 0;
};

struct FileBytes {
    int result = kFileOk;  // kFileOk, kFileDoesNotExist or kFileCannotOpenForReading
    std::string bytes;
    // Why the file could not be read, in the system's words ("Permission
    // denied"); empty when it was read or does not exist.
    std::string reason;
};

inline constexpr std::size_t kNoSizeLimit = static_cast<std::size_t>(-1);

// The whole content of a regular file. A directory, a device or a pipe in
// the file's place, and a file larger than maxBytes, cannot be read (a
// device or a pipe could block or never end).
FileBytes ReadFileBytes(const std::filesystem::path& path, std::size_t maxBytes = kNoSizeLimit);

// Why a file that is there cannot be read, in the system's words; empty when
// it can be read or is not there. A writer that replaces a file whole checks
// this first: what it cannot read it must not replace with what it has.
std::string WhyUnreadable(const std::filesystem::path& path);

// Writes the file whole through a temporary file in the same directory that
// replaces the old one only once it is completely on disk, so a crash or a
// full disk never leaves a truncated file. Returns kFileOk or
// kFileCannotOpenForWriting (the old file is then unchanged).
int WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes);

// Appends with a single write so that concurrent appenders never interleave
// within a block. Creates the file when missing. Returns kFileOk or
// kFileCannotOpenForWriting (also when only part of the bytes was written).
int AppendToFile(const std::filesystem::path& path, std::string_view bytes);

bool FileExists(const std::filesystem::path& path);
// Removes or restores the write permission bits (the read-only attribute).
bool SetReadOnly(const std::filesystem::path& path, bool readOnly);
bool IsReadOnly(const std::filesystem::path& path);
// Creates the directory and its parents; true when it exists afterwards.
bool MakeDirectories(const std::filesystem::path& path);

// Joins lines with CR LF after every line.
std::string JoinCrLf(const std::vector<std::string>& lines);

}  // namespace qrv
