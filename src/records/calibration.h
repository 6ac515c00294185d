#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/clock.h"
#include "sensors/sensor_record.h"
#include "sensors/sensor_table.h"

namespace qrv::records {

// A probe's correction and the record an inspector asks for. The corrected
// value is gain × raw + offset, always from the raw reading: a new
// calibration replaces the old one and never stacks on it.
struct Calibration {
    RomCode rom{};
    double gain = 1.0;
    double offset = 0.0;
    // The two reference points of a two-point calibration (reference value
    // and the probe's raw reading at each); empty for an offset alone.
    std::optional<std::array<double, 4>> points;
    std::string date;  // YYYY-MM-DD
    std::string instrument;
    std::string certificate;
    std::string nextDue;  // YYYY-MM-DD
    std::string who;

    friend bool operator==(const Calibration&, const Calibration&) = default;
};

// The correction a reading gets; error codes of the reading routines pass
// unchanged, so a failed reading never turns into a plausible value.
double Corrected(const Calibration& calibration, double raw);

// Gain and offset through two points (reference1 at reading1, reference2 at
// reading2); nullopt when the readings are too close to give a gain, or the
// gain is not within 0.5..2 (points swapped or mistyped, most likely).
std::optional<Calibration> TwoPointCalibration(double reference1, double reading1,
                                               double reference2, double reading2);

// A date as the calibration record keeps it: YYYY-MM-DD, a day that exists,
// from 1900 on (no record of this station is older).
bool IsCalibrationDate(std::string_view text);

enum class CalibrationDue { kNotDue, kDueSoon, kOverdue };
inline constexpr int kDueSoonDays = 30;
// From the next due date: overdue on and after it, due soon within 30 days.
CalibrationDue DueState(const Calibration& calibration, const LocalDateTime& today);

struct CalibrationBook {
    std::vector<Calibration> entries;
    const Calibration* Find(const RomCode& rom) const;
    // Puts the calibration in place of the probe's old one.
    void Set(const Calibration& calibration);
    bool Remove(const RomCode& rom);

    friend bool operator==(const CalibrationBook&, const CalibrationBook&) = default;
};

struct CalibrationFileResult {
    CalibrationBook book;
    std::string error;  // empty when read, or when there is no file yet
};

// The station's calibrations, "QRVCalibration.json" in the station
// directory; the sensor file stays as older stations read it.
inline constexpr std::string_view kCalibrationFileName = "QRVCalibration.json";
CalibrationFileResult ReadCalibrationFile(const std::filesystem::path& path);

// A reading the network scan took, uncorrected, as the acquisition stores
// one: Value corrected, RawValue as read.
void CorrectScanReading(SensorRecord& record, const CalibrationBook& book);
// The same for every probe the scan found.
void CorrectScanReadings(SensorTable& table, const CalibrationBook& book);

// Written whole through a temporary file; false when it could not be.
bool WriteCalibrationFile(const std::filesystem::path& path, const CalibrationBook& book);

// The calibrations as the acquisition thread applies them while the user
// interface replaces them: readers take the current book as one snapshot.
class SharedCalibrations {
  public:
    std::shared_ptr<const CalibrationBook> Get() const;
    void Replace(CalibrationBook book);
    // The raw reading corrected by the probe's calibration, if it has one.
    double Apply(const RomCode& rom, double raw) const;
    // Whether the probe's calibration is due soon or overdue today.
    CalibrationDue Due(const RomCode& rom, const LocalDateTime& today) const;

  private:
    mutable std::mutex mutex_;
    std::shared_ptr<const CalibrationBook> book_ = std::make_shared<const CalibrationBook>();
};

}  // namespace qrv::records
