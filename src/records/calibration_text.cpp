#include "records/calibration_text.h"

#include <fmt/format.h>

#include "sensors/rom_text.h"

namespace qrv::records {

namespace {

std::string ProbeName(const SensorTable& table, const RomCode& rom) {
    for (int i = 0; i <= table.GetMax1820Index(); ++i) {
        const SensorRecord& record = table.SensorArray[static_cast<std::size_t>(i)];
        if (record.Rom == rom) {
            return record.Name;
        }
    }
    return "(not in the sensor file)";
}

}  // namespace

bool IsCalibratable(const SensorRecord& probe) {
    return probe.SensorType == kTypeTemperature || probe.SensorType == kTypeHumidity;
}

std::string CalibrationSubject(const SensorRecord& probe) {
    return fmt::format("calibration of probe {} {}", SerialNumberHex(probe.Rom), probe.Name);
}

std::string CalibrationSummary(const Calibration& c) {
    std::string correction =
        c.points
            ? fmt::format(
                  "gain {:.5f} offset {:+.3f} (reference {} at reading {}, "
                  "reference {} at reading {})",
                  c.gain, c.offset, (*c.points)[0], (*c.points)[1], (*c.points)[2], (*c.points)[3])
            : fmt::format("offset {:+.3f}", c.offset);
    return fmt::format("{}; calibrated {} with {}, certificate {}; next due {}; by {}", correction,
                       c.date, c.instrument, c.certificate, c.nextDue, c.who);
}

std::vector<std::string> CalibrationListing(const CalibrationBook& book, const SensorTable& table,
                                            const LocalDateTime& today) {
    std::vector<std::string> lines;
    for (const Calibration& c : book.entries) {
        static constexpr std::array<std::string_view, 3> kDue{"", "  DUE SOON", "  OVERDUE"};
        lines.push_back(fmt::format("{} {}: {}{}", RomToHex(c.rom), ProbeName(table, c.rom),
                                    CalibrationSummary(c),
                                    kDue[static_cast<std::size_t>(DueState(c, today))]));
    }
    return lines;
}

}  // namespace qrv::records
