#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "records/calibration.h"

namespace qrv::records {

// A calibration as a user asks for it, from the command line or the probe
// editor: either an offset or two reference points, and the record an
// inspector asks for.
struct CalibrationRequest {
    std::optional<double> offset;
    // reference 1, raw reading 1, reference 2, raw reading 2
    std::optional<std::array<double, 4>> points;
    std::string date;  // YYYY-MM-DD
    std::string instrument;
    std::string certificate;
    std::string nextDue;  // YYYY-MM-DD
    std::string who;
};

enum class CalibrationProblem {
    kNone,
    kNoSingleCorrection,  // neither or both of offset and points
    kValueOutOfRange,
    kMissingRecord,
    kBadDate,
    kDateInTheFuture,
    kNextDueNotAfterDate,
    kControlCharacter,  // in the instrument, certificate or who
    kUnsoundPoints,
};

struct CalibrationOutcome {
    std::optional<Calibration> calibration;
    CalibrationProblem problem = CalibrationProblem::kNone;
};

// The probe's calibration the request describes, or why it cannot be one;
// a calibration is done by today, never later.
CalibrationOutcome MakeCalibration(const RomCode& rom, const CalibrationRequest& request,
                                   const LocalDateTime& today);

// The reason in English, for the command line and the program log.
std::string_view CalibrationProblemText(CalibrationProblem problem);

struct CalibrationUpdate {
    CalibrationBook book;  // the whole book as written
    std::string before;    // the probe's calibration before, as the audit trail shows it
    std::string after;     // empty once cleared
    bool changed = false;  // false: clearing a probe without a calibration
    std::string error;     // the file could not be read or written; nothing changed
};

// Puts the calibration in place of the probe's in the file (or removes the
// probe's when there is none). The file is read afresh rather than a book in
// memory written over it, so that a change made elsewhere meanwhile stays;
// a damaged file is left for the user to mend, not overwritten.
CalibrationUpdate UpdateCalibrationFile(const std::filesystem::path& file, const RomCode& rom,
                                        const std::optional<Calibration>& calibration);

}  // namespace qrv::records
