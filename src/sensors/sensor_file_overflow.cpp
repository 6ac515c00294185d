#include "sensors/sensor_file_overflow.h"

#include <system_error>

#include "runtime/date_strings.h"
#include "runtime/formats.h"
#include "runtime/text_file.h"
#include "sensors/sensor_file.h"
#include "sensors/sensor_record.h"

namespace qrv {

namespace {

// Header lines before the highest index: the four header lines, the network
// name, five spare keys, ten spare lines and "maxindex".
constexpr int kLinesBeforeHighestIndex = 21;
constexpr std::string_view kCopyMark = ".kept-";

std::optional<std::filesystem::path> EarlierCopyOf(const std::filesystem::path& snsFileName,
                                                   std::string_view bytes) {
    const std::string prefix = snsFileName.filename().string() + std::string(kCopyMark);
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(snsFileName.parent_path(), ec)) {
        if (entry.path().filename().string().starts_with(prefix)) {
            const FileBytes copy = ReadFileBytes(entry.path(), bytes.size());
            if (copy.result == kFileOk && copy.bytes == bytes) {
                return entry.path();
            }
        }
    }
    return std::nullopt;
}

std::filesystem::path FreeCopyName(const std::filesystem::path& snsFileName, const Clock& clock) {
    const LocalDateTime now = clock.Now();
    std::filesystem::path name = snsFileName;
    name += std::string(kCopyMark) + FileDate(now) + "-" + notation::Int(now.hour, 2, true) +
            notation::Int(now.minute, 2, true) + notation::Int(now.second, 2, true);
    std::filesystem::path candidate = name;
    std::error_code ec;
    for (int n = 2; std::filesystem::exists(candidate, ec); ++n) {
        candidate = name;
        candidate += "-" + std::to_string(n);
    }
    return candidate;
}

}  // namespace

std::optional<int> ProbesInSensorFile(std::string_view bytes) {
    LineReader reader(bytes);
    for (int i = 0; i < kLinesBeforeHighestIndex; ++i) {
        if (!reader.ReadLine(kSnsLineLimit)) {
            return std::nullopt;
        }
    }
    const auto highest = notation::ScanInt(reader.ReadLineOrEmpty(kSnsLineLimit));
    if (!highest || *highest < -1) {
        return std::nullopt;
    }
    return *highest + 1;
}

std::optional<KeptSensorFile> KeepSensorFileThatDoesNotFit(const std::filesystem::path& snsFileName,
                                                           const Clock& clock) {
    const FileBytes file = ReadFileBytes(snsFileName);
    if (file.result != kFileOk) {
        return std::nullopt;
    }
    const std::optional<int> probes = ProbesInSensorFile(file.bytes);
    if (!probes || *probes <= kMaxSensors) {
        return std::nullopt;
    }
    KeptSensorFile kept{*probes, {}, false, {}};
    if (auto earlier = EarlierCopyOf(snsFileName, file.bytes)) {
        kept.copy = std::move(*earlier);
        return kept;
    }
    const std::filesystem::path copy = FreeCopyName(snsFileName, clock);
    if (WriteFileAtomically(copy, file.bytes) != kFileOk) {
        kept.error = "the copy " + copy.string() + " could not be written";
        return kept;
    }
    kept.copy = copy;
    kept.newCopy = true;
    return kept;
}

}  // namespace qrv
