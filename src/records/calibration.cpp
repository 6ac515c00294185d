#include "records/calibration.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>

#include "runtime/text_file.h"
#include "sensors/rom_text.h"

namespace qrv::records {

namespace {

using nlohmann::json;

std::optional<std::chrono::sys_days> DayOf(std::string_view date) {
    int y = 0;
    unsigned m = 0;
    unsigned d = 0;
    if (date.size() != 10 ||
        std::sscanf(std::string(date).c_str(), "%4d-%2u-%2u", &y, &m, &d) != 3) {
        return std::nullopt;
    }
    const std::chrono::year_month_day ymd{std::chrono::year{y}, std::chrono::month{m},
                                          std::chrono::day{d}};
    if (!ymd.ok()) {
        return std::nullopt;
    }
    return std::chrono::sys_days{ymd};
}

json ToJson(const Calibration& c) {
    json entry{{"rom", RomToHex(c.rom)},     {"gain", c.gain},
               {"offset", c.offset},         {"date", c.date},
               {"instrument", c.instrument}, {"certificate", c.certificate},
               {"next_due", c.nextDue},      {"who", c.who}};
    if (c.points) {
        entry["points"] = *c.points;
    }
    return entry;
}

Calibration FromJson(const json& entry) {
    Calibration c;
    const auto rom = RomFromHex(entry.at("rom").get<std::string>());
    if (!rom) {
        throw std::invalid_argument("rom is not 16 hexadecimal digits");
    }
    c.rom = *rom;
    c.gain = entry.at("gain").get<double>();
    c.offset = entry.at("offset").get<double>();
    if (!std::isfinite(c.gain) || !std::isfinite(c.offset) || c.gain <= 0.0) {
        throw std::invalid_argument("gain or offset out of range");
    }
    if (entry.contains("points")) {
        c.points = entry.at("points").get<std::array<double, 4>>();
    }
    c.date = entry.value("date", "");
    c.instrument = entry.value("instrument", "");
    c.certificate = entry.value("certificate", "");
    c.nextDue = entry.value("next_due", "");
    c.who = entry.value("who", "");
    return c;
}

}  // namespace

double Corrected(const Calibration& calibration, double raw) {
    if (IsErrorValue(raw)) {
        return raw;
    }
    return calibration.gain * raw + calibration.offset;
}

std::optional<Calibration> TwoPointCalibration(double reference1, double reading1,
                                               double reference2, double reading2) {
    constexpr double kMinimumSpan = 1.0;
    if (std::abs(reading2 - reading1) < kMinimumSpan) {
        return std::nullopt;
    }
    Calibration c;
    c.gain = (reference2 - reference1) / (reading2 - reading1);
    if (!(c.gain >= 0.5 && c.gain <= 2.0)) {
        return std::nullopt;
    }
    c.offset = reference1 - c.gain * reading1;
    c.points = std::array{reference1, reading1, reference2, reading2};
    return c;
}

bool IsCalibrationDate(std::string_view text) {
    constexpr std::string_view kEarliest = "1900-01-01";
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i != 4 && i != 7 && !std::isdigit(static_cast<unsigned char>(text[i]))) {
            return false;
        }
    }
    return text >= kEarliest && DayOf(text).has_value();
}

CalibrationDue DueState(const Calibration& calibration, const LocalDateTime& today) {
    const auto due = DayOf(calibration.nextDue);
    if (!due) {
        return CalibrationDue::kNotDue;
    }
    const std::chrono::sys_days now{std::chrono::year{today.year} /
                                    static_cast<unsigned>(today.month) /
                                    static_cast<unsigned>(today.day)};
    if (now >= *due) {
        return CalibrationDue::kOverdue;
    }
    return *due - now <= std::chrono::days{kDueSoonDays} ? CalibrationDue::kDueSoon
                                                         : CalibrationDue::kNotDue;
}

const Calibration* CalibrationBook::Find(const RomCode& rom) const {
    const auto found = std::find_if(entries.begin(), entries.end(),
                                    [&rom](const Calibration& c) { return c.rom == rom; });
    return found == entries.end() ? nullptr : &*found;
}

void CalibrationBook::Set(const Calibration& calibration) {
    Remove(calibration.rom);
    entries.push_back(calibration);
}

bool CalibrationBook::Remove(const RomCode& rom) {
    return std::erase_if(entries, [&rom](const Calibration& c) { return c.rom == rom; }) > 0;
}

CalibrationFileResult ReadCalibrationFile(const std::filesystem::path& path) {
    CalibrationFileResult result;
    const FileBytes file = ReadFileBytes(path, 4 * 1024 * 1024);
    if (file.result == kFileDoesNotExist) {
        return result;
    }
    if (file.result != kFileOk) {
        result.error = path.string() + ": " + file.reason;
        return result;
    }
    try {
        const json document = json::parse(file.bytes);
        for (const json& entry : document.at("calibrations")) {
            result.book.Set(FromJson(entry));
        }
    } catch (const std::exception& e) {
        result.book = {};
        result.error = path.string() + ": " + e.what();
    }
    return result;
}

void CorrectScanReading(SensorRecord& record, const CalibrationBook& book) {
    const Calibration* calibration = book.Find(record.Rom);
    record.Value = calibration ? Corrected(*calibration, record.RawValue) : record.RawValue;
}

void CorrectScanReadings(SensorTable& table, const CalibrationBook& book) {
    for (int i = 0; i <= table.GetMax1820Index(); ++i) {
        SensorRecord& record = table.SensorArray[static_cast<std::size_t>(i)];
        if (record.FoundOnNetwork != 0) {
            CorrectScanReading(record, book);
        }
    }
}

bool WriteCalibrationFile(const std::filesystem::path& path, const CalibrationBook& book) {
    json entries = json::array();
    for (const Calibration& c : book.entries) {
        entries.push_back(ToJson(c));
    }
    const std::string text = json{{"calibrations", entries}}.dump(2) + "\n";
    return WriteFileAtomically(path, text) == kFileOk;
}

std::shared_ptr<const CalibrationBook> SharedCalibrations::Get() const {
    const std::lock_guard lock(mutex_);
    return book_;
}

void SharedCalibrations::Replace(CalibrationBook book) {
    auto next = std::make_shared<const CalibrationBook>(std::move(book));
    const std::lock_guard lock(mutex_);
    book_ = std::move(next);
}

double SharedCalibrations::Apply(const RomCode& rom, double raw) const {
    const std::shared_ptr<const CalibrationBook> book = Get();
    const Calibration* calibration = book->Find(rom);
    return calibration ? Corrected(*calibration, raw) : raw;
}

CalibrationDue SharedCalibrations::Due(const RomCode& rom, const LocalDateTime& today) const {
    const std::shared_ptr<const CalibrationBook> book = Get();
    const Calibration* calibration = book->Find(rom);
    return calibration ? DueState(*calibration, today) : CalibrationDue::kNotDue;
}

}  // namespace qrv::records
