#include "records/calibration_request.h"

#include <fmt/format.h>

#include <cmath>

#include "records/calibration_text.h"
#include "records/clean_text.h"

namespace qrv::records {

namespace {

// Far beyond any correction a probe of -55..125 °C or 0..100 %RH needs; a
// value past it is a typing mistake.
constexpr double kLargestValue = 1000.0;

bool Plausible(double value) {
    return std::isfinite(value) && std::abs(value) <= kLargestValue;
}

}  // namespace

CalibrationOutcome MakeCalibration(const RomCode& rom, const CalibrationRequest& request,
                                   const LocalDateTime& today) {
    const auto refuse = [](CalibrationProblem problem) {
        return CalibrationOutcome{std::nullopt, problem};
    };
    if (request.offset.has_value() == request.points.has_value()) {
        return refuse(CalibrationProblem::kNoSingleCorrection);
    }
    if (request.offset && !Plausible(*request.offset)) {
        return refuse(CalibrationProblem::kValueOutOfRange);
    }
    if (request.points) {
        for (const double value : *request.points) {
            if (!Plausible(value)) {
                return refuse(CalibrationProblem::kValueOutOfRange);
            }
        }
    }
    if (request.date.empty() || request.nextDue.empty() || request.instrument.empty() ||
        request.certificate.empty()) {
        return refuse(CalibrationProblem::kMissingRecord);
    }
    if (HasControlCharacter(request.instrument) || HasControlCharacter(request.certificate) ||
        HasControlCharacter(request.who)) {
        return refuse(CalibrationProblem::kControlCharacter);
    }
    if (!IsCalibrationDate(request.date) || !IsCalibrationDate(request.nextDue)) {
        return refuse(CalibrationProblem::kBadDate);
    }
    // Dates of the same shape compare as text in calendar order.
    if (request.date > fmt::format("{:04}-{:02}-{:02}", today.year, today.month, today.day)) {
        return refuse(CalibrationProblem::kDateInTheFuture);
    }
    if (request.nextDue <= request.date) {
        return refuse(CalibrationProblem::kNextDueNotAfterDate);
    }
    Calibration calibration;
    if (request.points) {
        const auto& p = *request.points;
        const auto twoPoint = TwoPointCalibration(p[0], p[1], p[2], p[3]);
        if (!twoPoint) {
            return refuse(CalibrationProblem::kUnsoundPoints);
        }
        calibration = *twoPoint;
    } else {
        calibration.offset = *request.offset;
    }
    calibration.rom = rom;
    calibration.date = request.date;
    calibration.instrument = request.instrument;
    calibration.certificate = request.certificate;
    calibration.nextDue = request.nextDue;
    calibration.who = request.who;
    return {calibration, CalibrationProblem::kNone};
}

std::string_view CalibrationProblemText(CalibrationProblem problem) {
    switch (problem) {
        case CalibrationProblem::kNone:
            return "";
        case CalibrationProblem::kNoSingleCorrection:
            return "give either an offset or two points";
        case CalibrationProblem::kValueOutOfRange:
            return "a value of the correction lies beyond +-1000";
        case CalibrationProblem::kMissingRecord:
            return "a calibration needs its date, instrument, certificate and next due date";
        case CalibrationProblem::kBadDate:
            return "the date and the next due date must be days written YYYY-MM-DD, from the "
                   "year 1900 on";
        case CalibrationProblem::kDateInTheFuture:
            return "the date of the calibration lies in the future";
        case CalibrationProblem::kControlCharacter:
            return "the instrument, certificate and who may not hold tabs, line ends or other "
                   "control characters";
        case CalibrationProblem::kNextDueNotAfterDate:
            return "the next due date must lie after the date of the calibration";
        case CalibrationProblem::kUnsoundPoints:
            return "the two points give no sound gain (readings at least 1 apart, gain 0.5 to 2)";
    }
    return "";
}

CalibrationUpdate UpdateCalibrationFile(const std::filesystem::path& file, const RomCode& rom,
                                        const std::optional<Calibration>& calibration) {
    CalibrationUpdate update;
    CalibrationFileResult read = ReadCalibrationFile(file);
    if (!read.error.empty()) {
        update.error = read.error;
        return update;
    }
    update.book = std::move(read.book);
    if (const Calibration* old = update.book.Find(rom)) {
        update.before = CalibrationSummary(*old);
    }
    if (calibration) {
        Calibration entry = *calibration;
        entry.rom = rom;
        update.book.Set(entry);
        update.after = CalibrationSummary(entry);
    } else if (!update.book.Remove(rom)) {
        return update;
    }
    if (!WriteCalibrationFile(file, update.book)) {
        update.error = "cannot write " + file.string();
        return update;
    }
    update.changed = true;
    return update;
}

}  // namespace qrv::records
